#include "LocalHttpServer.h"

#include <QTcpServer>
#include <QTcpSocket>

LocalHttpServer::LocalHttpServer()
{
    m_context = new QObject;
    m_context->moveToThread(&m_thread);
    m_thread.start();
    QMetaObject::invokeMethod(m_context, [this] {
        m_server = new QTcpServer;
        m_server->listen(QHostAddress::LocalHost);
        m_port = m_server->serverPort();
        QObject::connect(m_server, &QTcpServer::newConnection, m_server, [this] {
            while (QTcpSocket* socket = m_server->nextPendingConnection())
                serve(socket);
        });
    }, Qt::BlockingQueuedConnection);
}

LocalHttpServer::~LocalHttpServer()
{
    QMetaObject::invokeMethod(m_context, [this] { delete m_server; }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
    delete m_context;
}

void LocalHttpServer::route(const QString& path, const Answer& answer)
{
    const QMutexLocker lock(&m_mutex);
    m_answers.insert(path, answer);
}

QString LocalHttpServer::url(const QString& path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path);
}

int LocalHttpServer::requests(const QString& path) const
{
    const QMutexLocker lock(&m_mutex);
    return m_requests.value(path);
}

QByteArray LocalHttpServer::lastUserAgent() const
{
    const QMutexLocker lock(&m_mutex);
    return m_userAgent;
}

void LocalHttpServer::serve(QTcpSocket* socket)
{
    // The socket is a child of the server, so hanging connections go with it.
    auto* received = new QByteArray;
    QObject::connect(socket, &QObject::destroyed, [received] { delete received; });
    QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, received] {
        received->append(socket->readAll());
        const qsizetype end = received->indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QList<QByteArray> lines = received->left(end).split('\n');
        const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
        const QString path = QString::fromLatin1(requestLine.value(1));
        Answer answer;
        {
            const QMutexLocker lock(&m_mutex);
            for (const QByteArray& line : lines) {
                if (line.toLower().startsWith("user-agent:"))
                    m_userAgent = line.mid(11).trimmed();
            }
            ++m_requests[path];
            answer = m_answers.value(path, Answer{404, "text/plain", "not found"});
        }
        received->clear();
        if (answer.hang)
            return;
        QByteArray head = "HTTP/1.0 " + QByteArray::number(answer.status) + " X\r\nContent-Type: "
            + answer.contentType + "\r\nConnection: close\r\n";
        if (answer.sendLength) {
            const qint64 length = answer.announcedLength >= 0 ? answer.announcedLength : answer.body.size();
            head += "Content-Length: " + QByteArray::number(length) + "\r\n";
        }
        socket->write(head + "\r\n" + answer.body);
        socket->disconnectFromHost();
    });
}
