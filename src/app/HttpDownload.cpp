#include "HttpDownload.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

#include <memory>

namespace HttpDownload {

QByteArray get(const QString& url, int timeoutMs, qint64 maxBytes)
{
    const QUrl address(url);
    const QString scheme = address.scheme().toLower();
    if (!address.isValid() || address.host().isEmpty() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return QByteArray();

    QNetworkAccessManager manager;
    QNetworkRequest request(address);
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Vellora/1.0"));
    request.setTransferTimeout(timeoutMs);
    const std::unique_ptr<QNetworkReply> reply(manager.get(request));

    bool tooLarge = false;
    const auto giveUpIfTooLarge = [&](qint64 bytes) {
        if (bytes > maxBytes && !tooLarge) {
            tooLarge = true;
            reply->abort();
        }
    };
    QObject::connect(reply.get(), &QNetworkReply::metaDataChanged, reply.get(), [&] {
        const QVariant announced = reply->header(QNetworkRequest::ContentLengthHeader);
        if (announced.isValid())
            giveUpIfTooLarge(announced.toLongLong());
    });
    QObject::connect(reply.get(), &QNetworkReply::downloadProgress, reply.get(),
                     [&](qint64 received, qint64) { giveUpIfTooLarge(received); });
    QEventLoop loop;
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();

    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (tooLarge || reply->error() != QNetworkReply::NoError || status < 200 || status > 299)
        return QByteArray();
    const QByteArray body = reply->readAll();
    return body.size() > maxBytes ? QByteArray() : body;
}

} // namespace HttpDownload
