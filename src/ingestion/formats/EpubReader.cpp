#include "formats/EpubReader.h"

#include "content/DocumentChunkBuilder.h"
#include "css/StyleSheetCache.h"
#include "formats/BookFontFaces.h"
#include "formats/BookMemoryBudget.h"
#include "formats/EmbeddedFonts.h"
#include "formats/ParallelFor.h"
#include "formats/TextBookChunks.h"
#include "formats/WoffDecoder.h"
#include "html/HtmlBlockParser.h"
#include "html/HtmlEntities.h"
#include "html/MarkupFallback.h"
#include "html/MathFolding.h"
#include "images/ImageUrl.h"
#include "sources/ArchivePath.h"
#include "text/AttributeLimit.h"
#include "text/CancelToken.h"
#include "text/HtmlWhiteSpace.h"
#include "text/MetadataDirection.h"

#include <QByteArrayMatcher>
#include <QDomDocument>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QThread>
#include <QThreadPool>
#include <QUrl>
#include <QXmlStreamReader>
#include <QtDebug>

#include <algorithm>
#include <atomic>
#include <limits>
#include <map>
#include <utility>
#include <vector>

namespace {

const QString kDublinCoreNamespace = QStringLiteral("http://purl.org/dc/elements/1.1/");

// The directory part of an archive path with its final "/", or empty at the archive root.
QString directoryOf(const QString& path)
{
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : path.left(slash + 1);
}

QString percentDecoded(const QString& href)
{
    return QUrl::fromPercentEncoding(href.toUtf8());
}

bool isFontMediaType(const QString& mediaType)
{
    return mediaType.startsWith(QLatin1String("font/")) || mediaType.startsWith(QLatin1String("application/font"))
        || mediaType.startsWith(QLatin1String("application/x-font"))
        || mediaType == QLatin1String("application/vnd.ms-opentype");
}

// What the spine can show: (X)HTML in its EPUB 2 and 3 forms, and SVG. An item without a media
// type is shown too: nothing says it is not a document, and binary bytes are still found out.
bool isContentDocument(const QString& mediaType)
{
    const QString type = mediaType.section(u';', 0, 0).trimmed();
    return type.isEmpty() || type == QLatin1String("application/xhtml+xml") || type == QLatin1String("text/html")
        || type == QLatin1String("text/x-oeb1-document") || type == QLatin1String("application/x-dtbook+xml")
        || type == QLatin1String("image/svg+xml");
}

bool isDublinCore(const QXmlStreamReader& reader)
{
    return reader.namespaceUri().isEmpty() || reader.namespaceUri() == kDublinCoreNamespace;
}

// The text of the element the reader stands on with that of all its descendants (a title may hold
// a span), read to the element's end.
QString elementText(QXmlStreamReader& reader)
{
    return reader.readElementText(QXmlStreamReader::IncludeChildElements);
}

// A dir attribute's value when it is one that states a direction ("ltr", "rtl" or "auto"),
// else empty: a value of no meaning leaves the direction to what encloses the element.
QString statedDir(const QXmlStreamAttributes& attributes)
{
    const QString dir = attributes.value(QLatin1String("dir")).toString().trimmed().toLower();
    return dir == u"ltr" || dir == u"rtl" || dir == u"auto" ? dir : QString();
}

// The direction a metadata element states: its own dir, else the package's, and its own
// language if it names one.
struct StatedDirection {
    QString dir;
    QString language;

    static StatedDirection of(const QXmlStreamAttributes& attributes, const QString& packageDir)
    {
        QString language = attributes.value(QLatin1String("http://www.w3.org/XML/1998/namespace"), QLatin1String("lang")).toString();
        const QString own = statedDir(attributes);
        return {own.isEmpty() ? packageDir : own, language.trimmed()};
    }
    QString languageOr(const QString& book) const { return language.isEmpty() ? book : language; }
};

// Runs of white space as one blank, none at either end: a title as a reader shows it.
QString collapsed(const QString& text)
{
    bool space = true;
    QString result = collapseHtmlSpaces(text, space);
    if (space && !result.isEmpty())
        result.chop(1);
    return result;
}

// Bytes no text document holds: a binary file listed as a chapter would otherwise be shown as
// thousands of pages of garbage. XML allows no control characters but tab, line feed and carriage
// return (HTML adds form feed), and binary data is full of them, zero bytes above all; one stray
// control character in a chapter's first few kilobytes does not count. Text in UTF-16, which this
// reader does not decode, is not taken for binary.
bool looksBinary(const QByteArray& bytes)
{
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        return false;
    const QByteArrayView sample = QByteArrayView(bytes).first(qMin<qsizetype>(bytes.size(), 4096));
    qsizetype controls = 0;
    for (const char c : sample) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r' && byte != '\f')
            ++controls;
    }
    return controls > qMax<qsizetype>(1, sample.size() / 64);
}

// How many tags in xml could open an element of this qualified name. Once a text is XML-safe no
// entity can expand to markup, so a document parsed from it has at most this many such elements
// (fewer when some of the tags stand in comments or CDATA).
qsizetype tagCount(const QByteArray& xml, QLatin1String name)
{
    const QByteArray open = '<' + QByteArray(name.data(), name.size());
    const QByteArrayMatcher matcher(open); // skips through a chapter instead of hashing every byte
    qsizetype count = 0;
    for (qsizetype at = matcher.indexIn(xml); at >= 0; at = matcher.indexIn(xml, at + open.size())) {
        const qsizetype after = at + open.size();
        const char next = after < xml.size() ? xml.at(after) : '\0';
        if (next == ' ' || next == '\t' || next == '\r' || next == '\n' || next == '/' || next == '>')
            ++count;
    }
    return count;
}

// What a chapter's tree costs while it is built, as ChapterTreeBudget counts it: a byte of text for
// each byte outside its formulas, a third of one for each byte inside them, whose nodes are gone
// as soon as each formula is read (MathFolding): only the text itself stays while it is read.
qint64 treeCost(const QByteArray& bytes)
{
    const qint64 formulas = MathFolding::formulaBytes(bytes);
    return bytes.size() - formulas + formulas / 3;
}

// The elements of the document with this qualified name, in document order, as
// QDomDocument::elementsByTagName finds them; but the walk stops once all the tags of that name in
// xml, the document's text, are accounted for. A chapter's links all stand in its head, so the
// large body is seldom walked, and a document without a style tag is not walked for styles at all.
// A null xml (a tree read as HTML, whose tags may be written in any case) walks the whole tree.
QList<QDomElement> elementsNamed(const QDomDocument& document, const QByteArray& xml, QLatin1String name)
{
    QList<QDomElement> found;
    const qsizetype expected = xml.isNull() ? std::numeric_limits<qsizetype>::max() : tagCount(xml, name);
    const QDomElement root = document.documentElement();
    QDomNode node = root;
    while (!node.isNull() && found.size() < expected) {
        if (node.isElement() && node.nodeName() == name)
            found.append(node.toElement());
        QDomNode next = node.firstChild();
        while (next.isNull() && node != root) {
            next = node.nextSibling();
            node = node.parentNode();
        }
        node = next;
    }
    return found;
}

// The entries of the open book read from several threads at once: each thread reads through a
// byte source of its own, made and opened on its first read, so that entries inflate side by side
// (one zip handle inflates one entry at a time). The opening thread, and a thread whose source
// cannot be opened, read through the opening thread's source in turns.
class ThreadSources {
public:
    ThreadSources(const SourceFactory& factory, const QString& path, IByteSource& shared)
        : m_factory(factory), m_path(path), m_shared(shared), m_sharedOwner(QThread::currentThread())
    {
    }

    QByteArray read(const QString& name)
    {
        if (IByteSource* own = ownSource())
            return own->readEntry(name);
        const QMutexLocker lock(&m_sharedMutex);
        return m_shared.readEntry(name);
    }

private:
    IByteSource* ownSource()
    {
        QThread* const thread = QThread::currentThread();
        if (thread == m_sharedOwner || !m_factory)
            return nullptr;
        {
            const QMutexLocker lock(&m_mutex);
            const auto found = m_sources.find(thread);
            if (found != m_sources.end())
                return found->second.get();
        }
        // Opened outside the lock: only this thread ever adds its own entry.
        std::unique_ptr<IByteSource> made = m_factory();
        if (made && !made->open(m_path))
            made.reset();
        const QMutexLocker lock(&m_mutex);
        return m_sources.emplace(thread, std::move(made)).first->second.get();
    }

    const SourceFactory& m_factory;
    const QString m_path;
    IByteSource& m_shared;
    QThread* const m_sharedOwner;
    QMutex m_mutex; // guards m_sources
    QMutex m_sharedMutex;
    std::map<QThread*, std::unique_ptr<IByteSource>> m_sources;
};

} // namespace

struct EpubReader::PackageReading {
    QStringList* fontPaths;
    QStringList* identifiers;
    QString coverId;
    QStringList manifestOrder; // document order, so that the cover guess is deterministic
    QString uniqueIdentifierId;
    bool uniqueIdentifierFound = false;
    QString packageDir; // the package element's dir: the default of its metadata's
    StatedDirection titleDirection;
    StatedDirection authorDirection;
};

struct EpubReader::SpineReading {
    SpineReading(ThreadSources& sources, const IByteSource& source, StyleSheetCache& styleSheets, qint64 treeBudget,
                 BookCostMeter& meter)
        : sources(sources), source(source), styleSheets(styleSheets), trees(treeBudget), meter(meter)
    {
    }

    ThreadSources& sources;
    const IByteSource& source; // the opening thread's
    // Shared by all spine documents of this open: most books link one sheet from every chapter.
    StyleSheetCache& styleSheets;
    ChapterTreeBudget trees;
    BookCostMeter& meter; // the book's: once it is past its budget, no more chapters are read
    std::atomic<bool> chapterTooLarge{false};
};

EpubReader::EpubReader(SourceFactory sourceFactory, QString scheme)
    : m_sourceFactory(std::move(sourceFactory))
    , m_scheme(std::move(scheme))
    , m_treeBudget(ChapterTreeBudget::kDefaultUnits)
    , m_memoryBudget(BookMemoryBudget::defaultBudget())
{
}

bool EpubReader::open(const QString& path)
{
    return parseOpen(path, false);
}

bool EpubReader::loadMetadata(const QString& path)
{
    return parseOpen(path, true);
}

void EpubReader::clear()
{
    m_book = BookMetadata();
    m_language.clear();
    m_opfDirectory.clear();
    m_manifest.clear();
    m_spine.clear();
    m_imageSpinePaths.clear();
    m_chunks.clear();
    m_followsColourScheme = false;
    m_fontObfuscation = EpubFontObfuscation();
}

bool EpubReader::parseOpen(const QString& path, bool metadataOnly)
{
    clear();
    // The container: the archive and, through META-INF/container.xml, its package document.
    const std::unique_ptr<IByteSource> source = openSource(path, metadataOnly);
    QString opfPath;
    if (!source || !findPackage(*source, &opfPath))
        return false;

    // The package: its metadata, manifest and spine.
    const QByteArray opf = source->readEntry(opfPath);
    if (opf.isEmpty() && source->entryExceedsLimit(opfPath))
        qWarning() << "Package document too large to read:" << opfPath;
    if (opf.isEmpty()) {
        m_book.errorString = QStringLiteral("Cannot read OPF file: ") + opfPath;
        return false;
    }
    QStringList manifestFontPaths;
    QStringList identifiers;
    parseOpf(opf, metadataOnly, &manifestFontPaths, &identifiers);
    if (m_book.title.isEmpty())
        m_book.title = QFileInfo(path).completeBaseName();
    m_book.filePath = path;
    if (metadataOnly)
        return true;

    // The spine documents, with the fonts they use, as chunks within the book's budget.
    m_fontObfuscation = EpubFontObfuscation(source->readEntry(QStringLiteral("META-INF/encryption.xml")), identifiers);
    BookCostMeter meter(m_memoryBudget);
    if (!readSpine(*source, path, manifestFontPaths, meter)) {
        m_book.errorString = (CancelToken::requested() ? QStringLiteral("Opening was cancelled: ")
                                                       : QStringLiteral("Cannot open EPUB file: ")) + path;
        return false;
    }
    return TextBookChunks::settle(m_chunks, meter, QStringLiteral("Cannot open EPUB file: "), m_book);
}

std::unique_ptr<IByteSource> EpubReader::openSource(const QString& path, bool metadataOnly)
{
    std::unique_ptr<IByteSource> source = m_sourceFactory ? m_sourceFactory() : nullptr;
    if (!source || !source->open(path)) {
        m_book.errorString = QStringLiteral("Cannot open EPUB file: ") + path;
        return nullptr;
    }
    if (!metadataOnly)
        m_book.contentHash = source->contentHash();
    return source;
}

bool EpubReader::findPackage(const IByteSource& source, QString* opfPath)
{
    const QByteArray container = source.readEntry(QStringLiteral("META-INF/container.xml"));
    if (container.isEmpty()) {
        m_book.errorString = QStringLiteral("Missing or invalid META-INF/container.xml");
        return false;
    }
    if (!parseContainer(container, opfPath)) {
        m_book.errorString = QStringLiteral("Could not find OPF rootfile path in container.xml");
        return false;
    }
    m_opfDirectory = directoryOf(*opfPath);
    return true;
}

bool EpubReader::parseContainer(const QByteArray& bytes, QString* outPath)
{
    QXmlStreamReader reader(AttributeLimit::apply(bytes));
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement || reader.name() != QLatin1String("rootfile"))
            continue;
        const QString fullPath = reader.attributes().value(QLatin1String("full-path")).toString();
        if (!fullPath.isEmpty()) {
            *outPath = fullPath;
            return true;
        }
    }
    return false;
}

bool EpubReader::parseOpf(const QByteArray& bytes, bool metadataOnly, QStringList* fontPaths, QStringList* identifiers)
{
    PackageReading package{fontPaths, identifiers};
    QXmlStreamReader reader(AttributeLimit::apply(bytes));
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QStringView name = reader.name();
        const QXmlStreamAttributes attributes = reader.attributes();
        if (name == QLatin1String("package")) {
            package.uniqueIdentifierId = attributes.value(QLatin1String("unique-identifier")).toString();
            package.packageDir = statedDir(attributes);
        }
        else if (name == QLatin1String("item"))
            readManifestItem(attributes, metadataOnly, package);
        else if (name == QLatin1String("itemref"))
            readSpineItem(attributes, metadataOnly);
        else
            readMetadataElement(reader, name, attributes, package);
    }

    // The language may follow the title it gives a direction to.
    m_book.title = MetadataDirection::marked(m_book.title, package.titleDirection.dir,
                                             package.titleDirection.languageOr(m_language));
    m_book.author = MetadataDirection::marked(m_book.author, package.authorDirection.dir,
                                              package.authorDirection.languageOr(m_language));
    chooseCover(package);
    return true;
}

void EpubReader::readMetadataElement(QXmlStreamReader& reader, QStringView name,
                                     const QXmlStreamAttributes& attributes, PackageReading& package)
{
    if (name == QLatin1String("meta")) {
        if (attributes.value(QLatin1String("name")) == QLatin1String("cover"))
            package.coverId = attributes.value(QLatin1String("content")).toString();
        else if (attributes.value(QLatin1String("content")) == QLatin1String("cover"))
            package.coverId = attributes.value(QLatin1String("name")).toString();
        return;
    }
    if (!isDublinCore(reader))
        return;
    if (name == QLatin1String("title")) {
        if (m_book.title.isEmpty()) {
            m_book.title = collapsed(elementText(reader));
            package.titleDirection = StatedDirection::of(attributes, package.packageDir);
        }
    } else if (name == QLatin1String("language")) {
        if (m_language.isEmpty())
            m_language = elementText(reader).trimmed();
    } else if (name == QLatin1String("creator")) {
        if (m_book.author.isEmpty()) {
            m_book.author = collapsed(elementText(reader));
            package.authorDirection = StatedDirection::of(attributes, package.packageDir);
        }
    } else if (name == QLatin1String("identifier")) {
        const bool unique = !package.uniqueIdentifierFound && !package.uniqueIdentifierId.isEmpty()
            && attributes.value(QLatin1String("id")) == package.uniqueIdentifierId;
        const QString identifier = elementText(reader).trimmed();
        if (unique) {
            package.identifiers->prepend(identifier);
            package.uniqueIdentifierFound = true;
        } else {
            package.identifiers->append(identifier);
        }
    }
}

void EpubReader::readManifestItem(const QXmlStreamAttributes& attributes, bool metadataOnly, PackageReading& package)
{
    const QString id = attributes.value(QLatin1String("id")).toString();
    EpubManifestItem item;
    item.href = percentDecoded(attributes.value(QLatin1String("href")).toString());
    item.mediaType = attributes.value(QLatin1String("media-type")).toString().toLower();
    item.properties = attributes.value(QLatin1String("properties")).toString();
    item.fallback = attributes.value(QLatin1String("fallback")).toString();
    if (id.isEmpty() || item.href.isEmpty())
        return;
    if (!m_manifest.contains(id))
        package.manifestOrder.append(id);
    m_manifest.insert(id, item);
    if (item.properties.contains(QLatin1String("cover-image")))
        package.coverId = id;
    if (!metadataOnly && isFontMediaType(item.mediaType))
        package.fontPaths->append(ArchivePath::resolve(m_opfDirectory, item.href));
}

void EpubReader::readSpineItem(const QXmlStreamAttributes& attributes, bool metadataOnly)
{
    const QString idref = attributes.value(QLatin1String("idref")).toString();
    const auto item = m_manifest.constFind(idref);
    if (item == m_manifest.constEnd())
        return;
    // A picture standing in the spine is shown as one; other items that are no content documents
    // give way to their fallback chain.
    if (item->mediaType.startsWith(QLatin1String("image/"))) {
        m_spine.append(ArchivePath::resolve(m_opfDirectory, item->href));
        m_imageSpinePaths.insert(m_spine.last());
    } else if (const EpubManifestItem* document = spineDocumentFor(idref)) {
        m_spine.append(ArchivePath::resolve(m_opfDirectory, document->href));
    } else if (!metadataOnly) {
        qWarning("EPUB: spine item %s (%s) has no content document in its fallback chain; skipped",
                 qUtf8Printable(item->href), qUtf8Printable(item->mediaType));
    }
}

// The item the package names as its cover; else, when it names none, the first image whose id
// says it is one.
void EpubReader::chooseCover(const PackageReading& package)
{
    if (!package.coverId.isEmpty()) {
        const auto item = m_manifest.constFind(package.coverId);
        if (item != m_manifest.constEnd())
            m_book.cover = ArchivePath::resolve(m_opfDirectory, item->href);
        return;
    }
    for (const QString& id : std::as_const(package.manifestOrder)) {
        const EpubManifestItem& item = m_manifest[id];
        if (id.contains(QLatin1String("cover"), Qt::CaseInsensitive) && item.mediaType.startsWith(QLatin1String("image/"))) {
            m_book.cover = ArchivePath::resolve(m_opfDirectory, item.href);
            break;
        }
    }
}

const EpubManifestItem* EpubReader::spineDocumentFor(const QString& id) const
{
    // A chain may loop back on itself: each item is visited once.
    QSet<QString> visited;
    QString at = id;
    while (!at.isEmpty() && !visited.contains(at)) {
        visited.insert(at);
        const auto item = m_manifest.constFind(at);
        if (item == m_manifest.constEnd())
            return nullptr;
        if (isContentDocument(item->mediaType))
            return &*item;
        at = item->fallback;
    }
    return nullptr;
}

bool EpubReader::readSpine(IByteSource& source, const QString& path, const QStringList& manifestFontPaths,
                           BookCostMeter& meter)
{
    // The documents are parsed in parallel; a source need not be safe to read from several
    // threads, so each thread reads through one of its own.
    ThreadSources sources(m_sourceFactory, path, source);
    const auto readEntry = [&sources](const QString& name) { return sources.read(name); };
    StyleSheetCache styleSheetCache(readEntry);
    SpineReading reading(sources, source, styleSheetCache, m_treeBudget, meter);
    std::vector<EpubSpineDocument> documents(m_spine.size());
    ParallelFor parsing(*QThreadPool::globalInstance(), m_spine.size(), [&](qsizetype index) {
        documents[index] = loadSpineDocument(m_spine.at(index), reading);
    });
    // Fonts are registered from this thread only; the package's own go while the pool parses.
    m_fontBytes = 0;
    BookFontFaces faces;
    QHash<QString, EmbeddedFonts::Font> loadedFonts; // by path
    for (const QString& fontPath : manifestFontPaths) {
        const EmbeddedFonts::Font font = registerFont(fontPath, readEntry(fontPath));
        loadedFonts.insert(fontPath, font);
        faces.addOwnName(font.ownFamily, font.weight, font.italic, font.family);
    }
    parsing.finish();
    if (CancelToken::requested())
        return false; // some chapters were never parsed: the book is thrown away
    // A chapter too large to read (a zip bomb) fails the book: left out, it would leave a book
    // without its text and without a word why.
    if (reading.chapterTooLarge)
        return false;
    if (meter.exceeded())
        return true; // refused when the chunks are settled
    for (qsizetype index = 0; index < m_spine.size(); ++index)
        appendSpineChunks(std::move(documents[index]), m_spine.at(index), source, loadedFonts, faces);
    faces.applyTo(m_chunks);
    return true;
}

EpubSpineDocument EpubReader::loadSpineDocument(const QString& path, SpineReading& reading) const
{
    EpubSpineDocument document;
    if (reading.meter.exceeded())
        return document;
    if (m_imageSpinePaths.contains(path))
        return imageSpineDocument(path);
    QByteArray bytes = reading.sources.read(path);
    if (bytes.isEmpty()) {
        // The zip source answers this under its own lock.
        if (reading.source.entryExceedsLimit(path)) {
            qWarning() << "Chapter too large to read:" << path;
            reading.chapterTooLarge = true;
        }
        return document;
    }
    if (looksBinary(bytes)) {
        document.notText = true;
        return document;
    }
    const ChapterTreeBudget::Share share(reading.trees, treeCost(bytes));
    // The chapter's tree is paid for while the chapter is read; a tree that alone would take the
    // book past its budget is never built.
    const qint64 tree = BookCostMeter::tagCount(bytes) * BookCostMeter::kBytesPerElement;
    const bool fits = reading.meter.charge(tree);
    if (fits)
        document = parseSpineDocument(std::move(bytes), path, reading.styleSheets, reading.meter);
    reading.meter.refund(tree);
    return document;
}

EpubSpineDocument EpubReader::parseSpineDocument(QByteArray xml, const QString& path,
                                                 StyleSheetCache& styleSheetCache, BookCostMeter& meter) const
{
    EpubSpineDocument result;
    ParseParams params;
    params.language = m_language;
    params.costMeter = &meter;
    QDomDocument document;
    switch (MarkupFallback::parse(xml, &document)) {
    case MarkupFallback::Reading::PlainText:
        result.chunks = HtmlBlockParser::plainTextChunks(HtmlEntities::toXmlSafe(QString::fromUtf8(xml)), path,
                                                         DocumentChunkBuilder::kReaderBudget, params);
        return result;
    case MarkupFallback::Reading::TagSoup:
        xml = QByteArray(); // its tags may be written in any case: the tree is searched whole
        break;
    case MarkupFallback::Reading::Xml:
        break;
    }
    const QString base = directoryOf(path);

    // Linked sheets come first in the cascade wherever the link elements stand.
    Css::StyleSheet sheet;
    for (const QDomElement& link : elementsNamed(document, xml, QLatin1String("link"))) {
        if (link.attribute(QStringLiteral("rel")).toLower() != QLatin1String("stylesheet"))
            continue;
        const QString sheetPath = ArchivePath::resolve(base, percentDecoded(link.attribute(QStringLiteral("href"))));
        if (const Css::StyleSheet* linked = styleSheetCache.sheet(sheetPath))
            sheet.append(*linked);
    }
    for (const QDomElement& style : elementsNamed(document, xml, QLatin1String("style")))
        sheet.append(styleSheetCache.parseInline(style.text(), path));

    // Font sources are relative to the sheet that names them.
    for (Css::FontFace face : sheet.fontFaces()) {
        if (face.source.isEmpty())
            continue;
        face.source = ArchivePath::resolve(face.directory, percentDecoded(face.source));
        result.fontFaces.append(face);
    }

    // Only the tree is read from here on: the text it was built from goes before the blocks come.
    xml = QByteArray();
    result.chunks = HtmlBlockParser::parseChunks(document.documentElement(), path, DocumentChunkBuilder::kReaderBudget,
                                                 params, &sheet, m_scheme, m_book.filePath, base, 1);
    result.asksColourScheme = sheet.asksColourScheme();
    return result;
}

EpubSpineDocument EpubReader::imageSpineDocument(const QString& path) const
{
    // Its bytes are not read here: the picture's size is learnt from its header when laid out.
    DocumentChunkBuilder builder(path, DocumentChunkBuilder::kReaderBudget);
    builder.startParagraph({.align = TextAlign::Center});
    builder.appendImage(ImageUrl::build(m_scheme, path, m_book.filePath), -1, -1, -1, TextStyle());
    builder.finishParagraph();
    EpubSpineDocument document;
    document.chunks = builder.build();
    return document;
}

void EpubReader::appendSpineChunks(EpubSpineDocument&& document, const QString& path, const IByteSource& source,
                                   QHash<QString, EmbeddedFonts::Font>& loadedFonts, BookFontFaces& faces)
{
    if (document.notText) {
        qWarning("EPUB: spine item %s is not text; skipped", qUtf8Printable(path));
        return;
    }
    for (const Css::FontFace& face : std::as_const(document.fontFaces)) {
        auto loaded = loadedFonts.find(face.source);
        if (loaded == loadedFonts.end()) {
            loaded = loadedFonts.insert(face.source, registerFont(face.source, source.readEntry(face.source)));
            faces.addOwnName(loaded->ownFamily, loaded->weight, loaded->italic, loaded->family);
        }
        faces.declare(face.family, face.minWeight, face.maxWeight, face.italic, loaded->family);
    }
    m_chunks += std::move(document.chunks);
    m_followsColourScheme = m_followsColourScheme || document.asksColourScheme;
}

EmbeddedFonts::Font EpubReader::registerFont(const QString& path, const QByteArray& stored)
{
    if (stored.isEmpty())
        return EmbeddedFonts::Font();
    const QByteArray clear = m_fontObfuscation.clearFont(path, stored);
    if (clear.isEmpty())
        return EmbeddedFonts::Font();
    const qint64 decoded = WoffDecoder::decodedSize(clear);
    if (decoded > 0 && m_fontBytes + decoded > kMaxBookFontBytes) {
        qWarning("EPUB: font %s left out: the book's fonts would take more than %lld MB", qUtf8Printable(path),
                 kMaxBookFontBytes >> 20);
        return EmbeddedFonts::Font();
    }
    m_fontBytes += std::max<qint64>(decoded, 0);
    const EmbeddedFonts::Font font = EmbeddedFonts::add(clear);
    if (font.family.isEmpty())
        qWarning("EPUB: font %s is in no format this reader can read; left out", qUtf8Printable(path));
    return font;
}
