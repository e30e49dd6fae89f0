#pragma once

// One line per log message on standard output:
//   "<UTC time> [LEVEL] [origin] message"   or, without an origin,   "<UTC time> [LEVEL] message"
// The handler may be called from any thread; it builds the whole line first and writes it at once.

#include <QDateTime>
#include <QString>
#include <QtGlobal>

class QMessageLogContext;

// The line for one message, stamped with the given time.
QString formatLogLine(QtMsgType type, const QMessageLogContext& context, const QString& message,
                      const QDateTime& utcTime);

// Installed with qInstallMessageHandler before anything else; aborts after writing a fatal message.
void myMessageHandler(QtMsgType type, const QMessageLogContext& context, const QString& message);
