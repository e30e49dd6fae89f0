#include "images/DataUrl.h"


bool DataUrl::isDataUrl(const QString& url)
{
    return url.startsWith(QLatin1String("data:"), Qt::CaseInsensitive);
}

QByteArray DataUrl::decode(const QString& url)
{
    if (!isDataUrl(url))
        return QByteArray();
    const qsizetype comma = url.indexOf(u',');
    if (comma < 0)
        return QByteArray();
    const QString header = url.mid(5, comma - 5).trimmed();
    const QStringView payload = QStringView(url).mid(comma + 1);
    // Base64 grows the data by a third, percent-encoding at most threefold: a longer payload
    // cannot decode within the cap.
    if (payload.size() > kMaxBytes * 3)
        return QByteArray();
    QByteArray bytes;
    if (header.endsWith(QLatin1String(";base64"), Qt::CaseInsensitive)) {
        // Some converters percent-encode the base64 text as well; white space is skipped.
        const QByteArray text = QByteArray::fromPercentEncoding(payload.toLatin1());
        bytes = QByteArray::fromBase64Encoding(text, QByteArray::IgnoreBase64DecodingErrors).decoded;
    } else {
        bytes = QByteArray::fromPercentEncoding(payload.toUtf8());
    }
    return bytes.size() > kMaxBytes ? QByteArray() : bytes;
}

QString DataUrl::encode(const QByteArray& bytes, const QString& mediaType)
{
    return QStringLiteral("data:") + mediaType + QStringLiteral(";base64,") + QString::fromLatin1(bytes.toBase64());
}
