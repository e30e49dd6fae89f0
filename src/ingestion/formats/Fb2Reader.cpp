#include "formats/Fb2Reader.h"

#include "content/DocumentChunkBuilder.h"
#include "formats/BookMemoryBudget.h"
#include "formats/TextBookChunks.h"
#include "html/HtmlBlockParser.h"
#include "html/HtmlEntities.h"
#include "html/XmlDomParser.h"
#include "sources/Fb2ByteSource.h"
#include "text/AttributeLimit.h"
#include "text/CancelToken.h"
#include "text/TextEncoding.h"

#include <QDomDocument>
#include <QFileInfo>
#include <QStringList>
#include <QXmlStreamReader>

#include <utility>

namespace {

// FictionBook files may put their elements and attributes behind any prefix ("fb:section",
// "l:href", "xlink:href"); the readers compare local names.
QStringView localName(QStringView qualifiedName)
{
    return qualifiedName.mid(qualifiedName.lastIndexOf(QLatin1Char(':')) + 1);
}

bool isNamed(const QDomNode& node, QLatin1String name)
{
    return node.isElement() && localName(node.toElement().tagName()) == name;
}

// The embedded images are read by Fb2ByteSource; without them the text to parse is a fraction of
// the file.
QString withoutBinaries(const QString& xml)
{
    const QLatin1String open("<binary");
    const QLatin1String close("</binary>");
    qsizetype start = xml.indexOf(open, 0, Qt::CaseInsensitive);
    if (start < 0)
        return xml;
    QString result;
    result.reserve(start);
    qsizetype copied = 0;
    while (start >= 0) {
        const qsizetype end = xml.indexOf(close, start, Qt::CaseInsensitive);
        if (end < 0)
            break;
        result += QStringView(xml).mid(copied, start - copied);
        copied = end + close.size();
        start = xml.indexOf(open, copied, Qt::CaseInsensitive);
    }
    result += QStringView(xml).mid(copied);
    return result;
}

QString titleFromFileName(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    for (const QLatin1String suffix : {QLatin1String(".fb2.zip"), QLatin1String(".fbz"), QLatin1String(".fb2")}) {
        if (name.endsWith(suffix, Qt::CaseInsensitive) && name.size() > suffix.size())
            return name.chopped(suffix.size());
    }
    return QFileInfo(path).completeBaseName();
}

QString readText(QXmlStreamReader& reader)
{
    return reader.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
}

// Reads an author element to its end: "first middle last", or the nickname when it has no name.
QString readAuthor(QXmlStreamReader& reader)
{
    QString first, middle, last, nickname;
    while (reader.readNextStartElement()) {
        const QStringView name = localName(reader.name());
        if (name == QLatin1String("first-name"))
            first = readText(reader);
        else if (name == QLatin1String("middle-name"))
            middle = readText(reader);
        else if (name == QLatin1String("last-name"))
            last = readText(reader);
        else if (name == QLatin1String("nickname"))
            nickname = readText(reader);
        else
            reader.skipCurrentElement();
    }
    QStringList parts;
    for (const QString& part : {first, middle, last}) {
        if (!part.isEmpty())
            parts.append(part);
    }
    return parts.isEmpty() ? nickname : parts.join(QLatin1Char(' '));
}

// Reads a coverpage element to its end: the binary id of its first image, without "#".
QString readCoverId(QXmlStreamReader& reader)
{
    QString id;
    while (reader.readNextStartElement()) {
        if (id.isEmpty() && localName(reader.name()) == QLatin1String("image")) {
            const QXmlStreamAttributes attributes = reader.attributes();
            for (const QXmlStreamAttribute& attribute : attributes) {
                if (localName(attribute.qualifiedName()) == QLatin1String("href")) {
                    id = attribute.value().toString();
                    break;
                }
            }
        }
        reader.skipCurrentElement();
    }
    return id.startsWith(QLatin1Char('#')) ? id.mid(1) : id;
}

bool holdsContent(const QList<QDomNode>& nodes)
{
    for (const QDomNode& node : nodes) {
        if (!node.isText() || !node.nodeValue().trimmed().isEmpty())
            return true;
    }
    return false;
}

} // namespace

Fb2Reader::Fb2Reader(SourceFactory sourceFactory, QString scheme)
    : m_sourceFactory(std::move(sourceFactory))
    , m_scheme(std::move(scheme))
    , m_memoryBudget(BookMemoryBudget::defaultBudget())
{
}

bool Fb2Reader::open(const QString& path)
{
    return parseOpen(path, false);
}

bool Fb2Reader::loadMetadata(const QString& path)
{
    return parseOpen(path, true);
}

bool Fb2Reader::parseOpen(const QString& path, bool metadataOnly)
{
    m_book = BookMetadata();
    m_chunks.clear();

    std::unique_ptr<IByteSource> source = m_sourceFactory ? m_sourceFactory() : nullptr;
    auto* book = dynamic_cast<Fb2ByteSource*>(source.get());
    if (!book || !book->open(path)) {
        m_book.errorString = book && !book->errorString().isEmpty() ? book->errorString()
                                                                    : QStringLiteral("Cannot open FB2 file: ") + path;
        return false;
    }
    if (!metadataOnly)
        m_book.contentHash = book->contentHash();

    // decode() honours the encoding the prolog declares and detects it when there is none; HTML
    // entities (&nbsp;, undeclared in XML) would stop both the metadata and the body parse.
    const QString xml =
        HtmlEntities::toXmlSafe(withoutBinaries(TextEncoding::decode(book->xmlData(), QString())));
    if (CancelToken::requested()) {
        m_book.errorString = QStringLiteral("Opening was cancelled: ") + path;
        return false;
    }
    readMetadata(xml);
    if (!m_book.cover.isEmpty() && book->readEntry(m_book.cover).isEmpty())
        m_book.cover.clear(); // a cover naming no binary would only ever show a broken image
    source.reset(); // the decoded images are not needed for the text
    if (m_book.title.isEmpty())
        m_book.title = titleFromFileName(path);
    m_book.filePath = path;
    if (metadataOnly)
        return true;

    BookCostMeter meter(m_memoryBudget);
    m_params = ParseParams();
    m_params.costMeter = &meter;
    // The book's tree is paid for while its bodies are read. The whole book is one tree, held
    // while its blocks are built, and any of its elements may be a block: a book whose tree and
    // blocks together would take it past its budget is refused before the tree is built, and the
    // blocks, counted again as they are built, are given back.
    const qint64 tags = BookCostMeter::tagCount(xml);
    const qint64 tree = tags * BookCostMeter::kBytesPerElement;
    const qint64 blocks = tags * BookCostMeter::kBytesPerBlock;
    const bool fits = meter.charge(tree + blocks);
    meter.refund(blocks);
    const bool bodiesRead = !fits || appendBodies(xml);
    meter.refund(tree);
    m_params = ParseParams();
    if (!bodiesRead) {
        m_book.errorString = QStringLiteral("Invalid or malformed FictionBook XML");
        m_book.contentHash.clear();
        return false;
    }
    return TextBookChunks::settle(m_chunks, meter, QStringLiteral("Cannot open FB2 file: "), m_book);
}

void Fb2Reader::readMetadata(const QString& xml)
{
    // A stream read stops at the end of the description, and keeps what it found when the book
    // is not well-formed further on.
    QXmlStreamReader reader(AttributeLimit::apply(xml));
    reader.setNamespaceProcessing(false);
    QStringList open;
    while (!reader.atEnd() && !CancelToken::requested()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::EndElement) {
            if (localName(reader.name()) == QLatin1String("description"))
                return;
            if (!open.isEmpty())
                open.removeLast();
            continue;
        }
        if (token != QXmlStreamReader::StartElement)
            continue;
        const QString name = localName(reader.name()).toString();
        if (name == QLatin1String("body"))
            return;
        if (!open.isEmpty() && open.last() == QLatin1String("title-info")) {
            if (name == QLatin1String("book-title")) {
                const QString text = readText(reader);
                if (m_book.title.isEmpty())
                    m_book.title = text;
                continue;
            }
            if (name == QLatin1String("author")) {
                const QString text = readAuthor(reader);
                if (m_book.author.isEmpty())
                    m_book.author = text;
                continue;
            }
            if (name == QLatin1String("coverpage")) {
                const QString id = readCoverId(reader);
                if (m_book.cover.isEmpty())
                    m_book.cover = id;
                continue;
            }
        }
        open.append(name);
    }
}

bool Fb2Reader::appendBodies(const QString& xml)
{
    QDomDocument document;
    const bool wellFormed = XmlDomParser::parse(xml, &document);
    if (!wellFormed && CancelToken::requested())
        return false; // the caller that cancelled drops the book
    if (!wellFormed) {
        // Not well-formed: the text-based parse keeps every word, without the structure. A book
        // broken before its first word has nothing to keep.
        const qsizetype body = xml.indexOf(QLatin1String("<body"), 0, Qt::CaseInsensitive);
        m_chunks += HtmlBlockParser::plainTextChunks(body < 0 ? xml : xml.mid(body), m_book.filePath,
                                                    DocumentChunkBuilder::kReaderBudget, m_params);
        return !m_chunks.isEmpty();
    }

    // The main text first, then the notes and comments its links point to, whatever order the
    // file has.
    QList<std::pair<QDomElement, QString>> mainBodies, notesBodies;
    int index = 0;
    for (QDomNode node = document.documentElement().firstChild(); !node.isNull(); node = node.nextSibling()) {
        if (!isNamed(node, QLatin1String("body")))
            continue;
        const QDomElement body = node.toElement();
        const QString id = QStringLiteral("body") + QString::number(index++);
        const QString kind = body.attribute(QStringLiteral("name"));
        if (kind == QLatin1String("notes") || kind == QLatin1String("comments"))
            notesBodies.append({body, id});
        else
            mainBodies.append({body, id});
    }
    for (const auto& [body, id] : std::as_const(mainBodies))
        appendSection(body, id, 0);
    for (const auto& [body, id] : std::as_const(notesBodies))
        appendSection(body, id, 0);
    return true;
}

void Fb2Reader::appendSection(const QDomElement& section, const QString& chunkId, int depth)
{
    // The section's own content (title, epigraph, paragraphs) goes to the parser without its
    // subsections, which follow as sections of their own with their own ids and depths.
    QList<QDomNode> children;
    for (QDomNode node = section.firstChild(); !node.isNull(); node = node.nextSibling())
        children.append(node);

    QList<QDomNode> content;
    int sectionIndex = 0;
    for (const QDomNode& child : std::as_const(children)) {
        if (depth < kMaxSectionDepth && isNamed(child, QLatin1String("section"))) {
            appendContent(section, content, chunkId, depth);
            content.clear();
            appendSection(child.toElement(), chunkId + QStringLiteral("/section") + QString::number(sectionIndex++),
                          depth + 1);
        } else {
            content.append(child);
        }
    }
    appendContent(section, content, chunkId, depth);
}

void Fb2Reader::appendContent(const QDomElement& owner, const QList<QDomNode>& nodes, const QString& chunkId, int depth)
{
    if (!holdsContent(nodes))
        return;
    // A bare copy of the section (its attributes, no children) takes the nodes over: the tree is
    // read only once, so they need not stay where they were. The copy stands next to the section
    // so that the parser still sees the body it belongs to (notes are styled as notes).
    QDomElement root = owner.cloneNode(false).toElement();
    owner.parentNode().insertBefore(root, owner);
    for (const QDomNode& node : nodes)
        root.appendChild(node);
    m_chunks += HtmlBlockParser::parseChunks(root, chunkId, DocumentChunkBuilder::kReaderBudget, m_params, nullptr,
                                            m_scheme, m_book.filePath, QString(), depth);
}
