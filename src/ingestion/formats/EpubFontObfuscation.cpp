#include "formats/EpubFontObfuscation.h"

#include "sources/ArchivePath.h"
#include "text/AsciiDigit.h"
#include "text/AttributeLimit.h"

#include <QCryptographicHash>
#include <QUrl>
#include <QXmlStreamReader>
#include <QtDebug>

namespace {

const QLatin1String kIdpfAlgorithm("http://www.idpf.org/2008/embedding");
const QLatin1String kAdobeAlgorithm("http://ns.adobe.com/pdf/enc#RC");
constexpr qsizetype kIdpfLength = 1040;
constexpr qsizetype kAdobeLength = 1024;

QByteArray idpfKeyOf(const QString& identifier)
{
    QString compact;
    for (const QChar c : identifier) {
        if (c != u' ' && c != u'\t' && c != u'\r' && c != u'\n')
            compact += c;
    }
    return compact.isEmpty() ? QByteArray() : QCryptographicHash::hash(compact.toUtf8(), QCryptographicHash::Sha1);
}

// The 16 bytes of a UUID written as "urn:uuid:" and 32 hexadecimal digits with or without dashes,
// or empty for any other identifier.
QByteArray adobeKeyOf(const QString& identifier)
{
    QString hex = identifier.trimmed();
    if (hex.startsWith(QLatin1String("urn:uuid:"), Qt::CaseInsensitive))
        hex.remove(0, 9);
    hex.remove(u'-');
    if (hex.size() != 32)
        return QByteArray();
    for (const QChar c : std::as_const(hex)) {
        if (asciiDigitValue(c, 16) < 0)
            return QByteArray();
    }
    return QByteArray::fromHex(hex.toLatin1());
}

QByteArray xorHead(QByteArray data, const QByteArray& key, qsizetype length)
{
    const qsizetype end = qMin(length, data.size());
    char* bytes = data.data();
    for (qsizetype i = 0; i < end; ++i)
        bytes[i] = char(bytes[i] ^ key.at(i % key.size()));
    return data;
}

} // namespace

EpubFontObfuscation::EpubFontObfuscation(const QByteArray& encryptionXml, const QStringList& identifiers)
{
    if (!identifiers.isEmpty())
        m_idpfKey = idpfKeyOf(identifiers.first());
    for (const QString& identifier : identifiers) {
        m_adobeKey = adobeKeyOf(identifier);
        if (!m_adobeKey.isEmpty())
            break;
    }

    // Each EncryptedData names its method before the entries it covers.
    Method method = Method::None;
    QXmlStreamReader reader(AttributeLimit::apply(encryptionXml));
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QStringView name = reader.name();
        const QXmlStreamAttributes attributes = reader.attributes();
        if (name == QLatin1String("EncryptedData")) {
            method = Method::Unsupported;
        } else if (name == QLatin1String("EncryptionMethod")) {
            const QStringView algorithm = attributes.value(QLatin1String("Algorithm"));
            method = algorithm == kIdpfAlgorithm ? Method::Idpf
                : algorithm == kAdobeAlgorithm   ? Method::Adobe
                                                : Method::Unsupported;
        } else if (name == QLatin1String("CipherReference") && method != Method::None) {
            // The URI is relative to the container's root, the folder that holds META-INF.
            const QString uri = attributes.value(QLatin1String("URI")).toString();
            const QString path = ArchivePath::resolve(QString(), QUrl::fromPercentEncoding(uri.toUtf8()));
            if (!path.isEmpty())
                m_methods.insert(path, method);
        }
    }
}

EpubFontObfuscation::Method EpubFontObfuscation::methodFor(const QString& path) const
{
    return m_methods.value(path, Method::None);
}

QByteArray EpubFontObfuscation::clearFont(const QString& path, const QByteArray& stored) const
{
    const Method method = methodFor(path);
    if (method == Method::None)
        return stored;
    if (method == Method::Unsupported) {
        qWarning("EPUB: font %s is encrypted; left out", qUtf8Printable(path));
        return QByteArray();
    }
    const bool idpf = method == Method::Idpf;
    const QByteArray& key = idpf ? m_idpfKey : m_adobeKey;
    if (key.isEmpty()) {
        qWarning("EPUB: font %s is obfuscated, but the package has no %s to undo it; left out", qUtf8Printable(path),
                 idpf ? "identifier" : "UUID identifier");
        return QByteArray();
    }
    return xorHead(stored, key, idpf ? kIdpfLength : kAdobeLength);
}
