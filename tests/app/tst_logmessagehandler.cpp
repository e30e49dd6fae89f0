#include "LogMessageHandler.h"

#include <QTest>

class TestLogMessageHandler : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void lines_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QByteArray>("category");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("expected");
        const QString t = QStringLiteral("2026-01-02 03:04:05.006");
        QTest::newRow("category") << int(QtWarningMsg) << QByteArray("qt.qml.binding") << QByteArray("/x/y.cpp") << 3
                                  << t + QStringLiteral(" [WARNING] [qt.qml.binding] T");
        QTest::newRow("default, no file") << int(QtInfoMsg) << QByteArray("default") << QByteArray() << 0
                                          << t + QStringLiteral(" [INFO] T");
        QTest::newRow("default with file") << int(QtDebugMsg) << QByteArray("default") << QByteArray("/a/b/reader.cpp") << 42
                                           << t + QStringLiteral(" [DEBUG] [reader.cpp:42] T");
        QTest::newRow("empty category") << int(QtCriticalMsg) << QByteArray("") << QByteArray() << 0
                                        << t + QStringLiteral(" [CRITICAL] T");
        QTest::newRow("fatal") << int(QtFatalMsg) << QByteArray() << QByteArray() << 0
                               << t + QStringLiteral(" [FATAL] T");
    }
    void lines()
    {
        QFETCH(int, type);
        QFETCH(QByteArray, category);
        QFETCH(QByteArray, file);
        QFETCH(int, line);
        QFETCH(QString, expected);
        const QMessageLogContext context(file.isNull() ? nullptr : file.constData(), line, nullptr,
                                         category.isNull() ? nullptr : category.constData());
        const QDateTime time(QDate(2026, 1, 2), QTime(3, 4, 5, 6), Qt::UTC);
        QCOMPARE(formatLogLine(QtMsgType(type), context, QStringLiteral("T"), time), expected);
    }
};

QTEST_GUILESS_MAIN(TestLogMessageHandler)
#include "tst_logmessagehandler.moc"
