#pragma once

// A tiny HTTP/1.0 server on 127.0.0.1 for the tests of remote images: canned answers by path,
// served from a thread of its own, so a test may block waiting for a download. Counts requests and
// keeps the last User-Agent it was sent. Every member may be used from any thread.

#include <QByteArray>
#include <QHash>
#include <QMetaType>
#include <QMutex>
#include <QString>
#include <QThread>

class QTcpServer;
class QTcpSocket;

class LocalHttpServer {
public:
    struct Answer {
        int status = 200;
        QByteArray contentType = "image/png";
        QByteArray body;
        bool sendLength = true;     // without it the body ends when the connection closes
        qint64 announcedLength = -1; // a Content-Length other than the body's size
        bool hang = false;          // read the request, never answer
    };

    LocalHttpServer();
    ~LocalHttpServer();

    void route(const QString& path, const Answer& answer);
    QString url(const QString& path) const;
    int requests(const QString& path) const;
    QByteArray lastUserAgent() const;

private:
    void serve(QTcpSocket* socket);

    mutable QMutex m_mutex;
    QHash<QString, Answer> m_answers;
    QHash<QString, int> m_requests;
    QByteArray m_userAgent;
    QThread m_thread;
    QObject* m_context = nullptr; // lives in m_thread
    QTcpServer* m_server = nullptr;
    quint16 m_port = 0;
};

// Declared beside the type, so that every test sees it before its first use in a data table.
Q_DECLARE_METATYPE(LocalHttpServer::Answer)
