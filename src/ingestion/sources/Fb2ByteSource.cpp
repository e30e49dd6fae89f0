#include "sources/Fb2ByteSource.h"

#include "sources/FileKind.h"
#include "sources/ZipByteSource.h"
#include "text/AttributeLimit.h"
#include "text/CancelToken.h"
#include "text/TextEncoding.h"

#include <QCryptographicHash>
#include <QFile>
#include <QRegularExpression>
#include <QXmlStreamReader>

namespace {

constexpr char kBinaryOpen[] = "<binary";
constexpr char kBinaryClose[] = "</binary>";

bool hasZipSuffix(const QString& path)
{
    return path.endsWith(QLatin1String(".fbz"), Qt::CaseInsensitive)
        || path.endsWith(QLatin1String(".fb2.zip"), Qt::CaseInsensitive)
        || path.endsWith(QLatin1String(".zip"), Qt::CaseInsensitive);
}

bool hasZipMagic(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(4);
    return head.size() == 4 && head[0] == 'P' && head[1] == 'K' && (head[2] == 3 || head[2] == 5 || head[2] == 7);
}

// Position of tag (ASCII, starting with "<") in data at or after from, ignoring ASCII case; -1 if
// none. Jumping from "<" to "<" keeps megabytes of base64 text cheap to pass over.
qsizetype findTag(const QByteArray& data, const char* tag, qsizetype from)
{
    const qsizetype length = qsizetype(qstrlen(tag));
    for (qsizetype at = data.indexOf('<', from); at >= 0; at = data.indexOf('<', at + 1)) {
        if (data.size() - at < length)
            return -1;
        if (qstrnicmp(data.constData() + at, tag, length) == 0)
            return at;
    }
    return -1;
}

bool isAscii(const QByteArray& bytes)
{
    for (const char c : bytes) {
        if (uchar(c) >= 0x80)
            return false;
    }
    return true;
}

struct TagAttributes {
    QString id;
    QString contentType;
};

TagAttributes readTagAttributes(const QString& tag)
{
    TagAttributes result;
    QXmlStreamReader reader(AttributeLimit::apply(tag) + QLatin1String(kBinaryClose));
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (reader.name().compare(QLatin1String("binary"), Qt::CaseInsensitive) == 0) {
            result.id = reader.attributes().value(QLatin1String("id")).toString();
            result.contentType = reader.attributes().value(QLatin1String("content-type")).toString();
        }
        break;
    }
    if (result.id.isEmpty()) {
        // Tags the XML reader rejects (capitals, undeclared prefixes) still name their binary.
        static const QRegularExpression idPattern(QStringLiteral("id\\s*=\\s*[\"']([^\"']+)[\"']"),
                                                  QRegularExpression::CaseInsensitiveOption);
        static const QRegularExpression typePattern(QStringLiteral("content-type\\s*=\\s*[\"']([^\"']+)[\"']"),
                                                    QRegularExpression::CaseInsensitiveOption);
        const QRegularExpressionMatch idMatch = idPattern.match(tag);
        if (idMatch.hasMatch())
            result.id = idMatch.captured(1);
        const QRegularExpressionMatch typeMatch = typePattern.match(tag);
        if (typeMatch.hasMatch())
            result.contentType = typeMatch.captured(1);
    }
    return result;
}

} // namespace

bool Fb2ByteSource::open(const QString& path)
{
    this->m_path = path;
    m_errorString.clear();
    m_binaries.clear();
    m_entries.clear();
    m_xmlData.clear();
    m_contentHash.clear();

    if (FileKind::isSpecial(path)) {
        m_errorString = FileKind::refusal(path);
        return false;
    }
    m_zipped = hasZipSuffix(path) || hasZipMagic(path);
    if (!(m_zipped ? openZipped() : openPlain()))
        return false;
    extractBinaries();
    return true;
}

bool Fb2ByteSource::openPlain()
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_errorString = QStringLiteral("Cannot open FB2 file: ") + m_path;
        return false;
    }
    if (file.size() > ZipByteSource::kMaxEntrySize) {
        qWarning("FB2 file too large to read (%lld bytes, at most %lld): %s", qint64(file.size()),
                 qint64(ZipByteSource::kMaxEntrySize), qUtf8Printable(m_path));
        m_errorString = QStringLiteral("Cannot open FB2 file: ") + m_path;
        return false;
    }
    m_xmlData = file.readAll();
    m_contentHash = QCryptographicHash::hash(m_xmlData, QCryptographicHash::Md5);
    return true;
}

bool Fb2ByteSource::openZipped()
{
    ZipByteSource zip;
    if (!zip.open(m_path)) {
        m_errorString = QStringLiteral("Cannot open zip archive: ") + m_path;
        return false;
    }
    m_entries = zip.listEntries();
    if (m_entries.isEmpty()) {
        m_errorString = QStringLiteral("Archive contains no readable FB2 entry");
        return false;
    }
    QString bookEntry = m_entries.first();
    for (const QString& entry : std::as_const(m_entries)) {
        if (entry.endsWith(QLatin1String(".fb2"), Qt::CaseInsensitive)) {
            bookEntry = entry;
            break;
        }
    }
    m_xmlData = zip.readEntry(bookEntry);
    if (m_xmlData.isEmpty() && zip.entryExceedsLimit(bookEntry))
        qWarning("FB2 entry too large to read: %s in %s", qUtf8Printable(bookEntry), qUtf8Printable(m_path));
    if (m_xmlData.isEmpty()) {
        m_errorString = QStringLiteral("Archive contains no readable FB2 entry");
        return false;
    }
    m_contentHash = zip.contentHash();
    return true;
}

void Fb2ByteSource::extractBinaries()
{
    // Needed only for a tag with non-ASCII bytes (an id in the book's own code page).
    std::optional<QString> encoding;

    qsizetype from = 0;
    while (!CancelToken::requested()) {
        const qsizetype start = findTag(m_xmlData, kBinaryOpen, from);
        if (start < 0)
            return;
        const qsizetype tagEnd = m_xmlData.indexOf('>', start);
        if (tagEnd < 0 || tagEnd + 1 >= m_xmlData.size())
            return;
        const qsizetype contentStart = tagEnd + 1;
        const QByteArray tagBytes = m_xmlData.mid(start, contentStart - start);
        if (tagBytes.endsWith("/>")) {
            // An empty binary: its content search would swallow the next binary.
            from = contentStart;
            continue;
        }
        const qsizetype close = findTag(m_xmlData, kBinaryClose, contentStart);
        if (close < 0)
            return;
        from = close + qsizetype(qstrlen(kBinaryClose));

        QString tag;
        if (isAscii(tagBytes)) {
            tag = QString::fromLatin1(tagBytes);
        } else {
            if (!encoding)
                encoding = TextEncoding::detectEncoding(m_xmlData);
            tag = TextEncoding::decode(tagBytes, *encoding);
        }
        const TagAttributes attributes = readTagAttributes(tag);
        QString id = attributes.id;
        if (id.startsWith(QLatin1Char('#')))
            id.remove(0, 1);
        if (id.isEmpty())
            continue;

        Fb2Binary binary;
        binary.id = id;
        if (!attributes.contentType.isEmpty())
            binary.contentType = attributes.contentType;
        binary.data = QByteArray::fromBase64(m_xmlData.mid(contentStart, close - contentStart).trimmed());
        m_binaries.insert(id, binary);
    }
}

QStringList Fb2ByteSource::listEntries() const
{
    return m_binaries.keys();
}

QByteArray Fb2ByteSource::readEntry(const QString& name) const
{
    const QString id = name.startsWith(QLatin1Char('#')) ? name.mid(1) : name;
    const auto found = m_binaries.constFind(id);
    return found == m_binaries.constEnd() ? QByteArray() : found->data;
}
