#include "LogMessageHandler.h"

#include <QFileInfo>
#include <QTextStream>

#include <cstdio>
#include <cstdlib>

namespace {

QString levelWord(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg: return QStringLiteral("DEBUG");
    case QtWarningMsg: return QStringLiteral("WARNING");
    case QtCriticalMsg: return QStringLiteral("CRITICAL");
    case QtFatalMsg: return QStringLiteral("FATAL");
    case QtInfoMsg: return QStringLiteral("INFO");
    }
    return QString();
}

QString origin(const QMessageLogContext& context)
{
    if (context.category && qstrcmp(context.category, "default") != 0)
        return QString::fromUtf8(context.category);
    if (context.file)
        return QStringLiteral("%1:%2").arg(QFileInfo(QString::fromUtf8(context.file)).fileName()).arg(context.line);
    return QString();
}

} // namespace

QString formatLogLine(QtMsgType type, const QMessageLogContext& context, const QString& message,
                      const QDateTime& utcTime)
{
    const QString stamp = utcTime.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
    const QString where = origin(context);
    if (!where.isEmpty())
        return QStringLiteral("%1 [%2] [%3] %4").arg(stamp, levelWord(type), where, message);
    return QStringLiteral("%1 [%2] %3").arg(stamp, levelWord(type), message);
}

void myMessageHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    const QString line = formatLogLine(type, context, message, QDateTime::currentDateTimeUtc());
    {
        QTextStream out(stdout, QIODevice::WriteOnly);
        out << line << Qt::endl;
    }
    if (type == QtFatalMsg)
        std::abort();
}
