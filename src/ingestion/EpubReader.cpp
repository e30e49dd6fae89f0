#include "EpubReader.h"

#include "DocumentChunkBuilder.h"
#include "EmbeddedFonts.h"
#include "HtmlBlockParser.h"
#include "HtmlEntities.h"
#include "ImageUrl.h"
#include "XmlDomParser.h"

#include <QDir>
#include <QDomDocument>
#include <QFileInfo>
#include <QUrl>
#include <QXmlStreamReader>

#include <utility>

namespace {

const QString dublinCoreNamespace = QStringLiteral("http://purl.org/dc/elements/1.1/");

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

bool isDublinCore(const QXmlStreamReader& reader)
{
    return reader.namespaceUri().isEmpty() || reader.namespaceUri() == dublinCoreNamespace;
}

} // namespace

EpubReader::EpubReader(SourceFactory sourceFactory, QString scheme)
    : sourceFactory(std::move(sourceFactory))
    , scheme(std::move(scheme))
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

QString EpubReader::coverImageUrl() const
{
    return coverPath.isEmpty() ? QString() : ImageUrl::build(scheme, coverPath, filePath_);
}

bool EpubReader::parseOpen(const QString& path, bool metadataOnly)
{
    filePath_.clear();
    title_.clear();
    author_.clear();
    errorString_.clear();
    opfDirectory.clear();
    coverPath.clear();
    manifest.clear();
    spine.clear();
    chunks_.clear();
    contentHash_.clear();

    const std::unique_ptr<IByteSource> source = sourceFactory ? sourceFactory() : nullptr;
    if (!source || !source->open(path)) {
        errorString_ = QStringLiteral("Cannot open EPUB file: ") + path;
        return false;
    }
    if (!metadataOnly)
        contentHash_ = source->contentHash();

    const QByteArray container = source->readEntry(QStringLiteral("META-INF/container.xml"));
    if (container.isEmpty()) {
        errorString_ = QStringLiteral("Missing or invalid META-INF/container.xml");
        return false;
    }
    QString opfPath;
    if (!parseContainer(container, &opfPath)) {
        errorString_ = QStringLiteral("Could not find OPF rootfile path in container.xml");
        return false;
    }
    opfDirectory = directoryOf(opfPath);

    const QByteArray opf = source->readEntry(opfPath);
    if (opf.isEmpty()) {
        errorString_ = QStringLiteral("Cannot read OPF file: ") + opfPath;
        return false;
    }
    parseOpf(opf, *source, metadataOnly);

    if (title_.isEmpty())
        title_ = QFileInfo(path).completeBaseName();
    filePath_ = path;

    if (metadataOnly)
        return true;

    // Shared by all spine documents of this open: most books link one sheet from every chapter.
    QHash<QString, Css::StyleSheet> styleSheetCache;
    QSet<QString> loadedFontPaths;
    for (const QString& documentPath : std::as_const(spine)) {
        const QByteArray bytes = source->readEntry(documentPath);
        if (!bytes.isEmpty())
            appendSpineChunks(QString::fromUtf8(bytes), documentPath, *source, styleSheetCache, loadedFontPaths);
    }

    if (chunks_.isEmpty()) {
        // The reading model needs one row even for a book without readable content.
        ContentChunk empty;
        empty.id = filePath_;
        empty.blocks.append(BlockItem());
        chunks_.append(empty);
    }
    return true;
}

bool EpubReader::parseContainer(const QByteArray& bytes, QString* outPath)
{
    QXmlStreamReader reader(bytes);
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

bool EpubReader::parseOpf(const QByteArray& bytes, const IByteSource& source, bool metadataOnly)
{
    QString coverId;
    QStringList manifestOrder; // document order, so that the cover guess below is deterministic

    QXmlStreamReader reader(bytes);
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QStringView name = reader.name();
        const QXmlStreamAttributes attributes = reader.attributes();

        if (name == QLatin1String("meta")) {
            if (attributes.value(QLatin1String("name")) == QLatin1String("cover"))
                coverId = attributes.value(QLatin1String("content")).toString();
            else if (attributes.value(QLatin1String("content")) == QLatin1String("cover"))
                coverId = attributes.value(QLatin1String("name")).toString();
        } else if (name == QLatin1String("item")) {
            const QString id = attributes.value(QLatin1String("id")).toString();
            EpubManifestItem item;
            item.href = percentDecoded(attributes.value(QLatin1String("href")).toString());
            item.mediaType = attributes.value(QLatin1String("media-type")).toString().toLower();
            item.properties = attributes.value(QLatin1String("properties")).toString();
            if (id.isEmpty() || item.href.isEmpty())
                continue;
            if (!manifest.contains(id))
                manifestOrder.append(id);
            manifest.insert(id, item);
            if (item.properties.contains(QLatin1String("cover-image")))
                coverId = id;
            if (!metadataOnly && isFontMediaType(item.mediaType))
                EmbeddedFonts::add(source.readEntry(QDir::cleanPath(opfDirectory + item.href)));
        } else if (name == QLatin1String("title") && isDublinCore(reader)) {
            if (title_.isEmpty())
                title_ = reader.readElementText().trimmed();
        } else if (name == QLatin1String("creator") && isDublinCore(reader)) {
            if (author_.isEmpty())
                author_ = reader.readElementText().trimmed();
        } else if (name == QLatin1String("itemref")) {
            const auto item = manifest.constFind(attributes.value(QLatin1String("idref")).toString());
            if (item != manifest.constEnd())
                spine.append(QDir::cleanPath(opfDirectory + item->href));
        }
    }

    if (!coverId.isEmpty()) {
        const auto item = manifest.constFind(coverId);
        if (item != manifest.constEnd())
            coverPath = QDir::cleanPath(opfDirectory + item->href);
        return true;
    }
    for (const QString& id : std::as_const(manifestOrder)) {
        const EpubManifestItem& item = manifest[id];
        if (id.contains(QLatin1String("cover"), Qt::CaseInsensitive) && item.mediaType.startsWith(QLatin1String("image/"))) {
            coverPath = QDir::cleanPath(opfDirectory + item.href);
            break;
        }
    }
    return true;
}

void EpubReader::appendSpineChunks(const QString& html, const QString& path, const IByteSource& source,
                                   QHash<QString, Css::StyleSheet>& styleSheetCache, QSet<QString>& loadedFontPaths)
{
    const ParseParams params;
    QDomDocument document;
    if (!XmlDomParser::parse(HtmlEntities::toXmlSafe(html), &document)) {
        chunks_ += HtmlBlockParser::parseChunks(html, path, DocumentChunkBuilder::ReaderBudget, params);
        return;
    }
    const QString base = directoryOf(path);

    // Linked sheets come first in the cascade wherever the link elements stand.
    Css::StyleSheet sheet;
    const QDomNodeList links = document.elementsByTagName(QStringLiteral("link"));
    for (int i = 0; i < links.size(); ++i) {
        const QDomElement link = links.at(i).toElement();
        if (link.attribute(QStringLiteral("rel")).toLower() != QLatin1String("stylesheet"))
            continue;
        const QString sheetPath = QDir::cleanPath(base + percentDecoded(link.attribute(QStringLiteral("href"))));
        const auto cached = styleSheetCache.constFind(sheetPath);
        if (cached != styleSheetCache.constEnd()) {
            sheet.append(cached.value());
            continue;
        }
        const QByteArray bytes = source.readEntry(sheetPath);
        if (bytes.isEmpty())
            continue;
        const Css::StyleSheet linked = Css::StyleSheet::parse(QString::fromUtf8(bytes));
        sheet.append(linked);
        styleSheetCache.insert(sheetPath, linked);
    }
    const QDomNodeList styles = document.elementsByTagName(QStringLiteral("style"));
    for (int i = 0; i < styles.size(); ++i)
        sheet.append(Css::StyleSheet::parse(styles.at(i).toElement().text()));

    const QList<Css::FontFace> fontFaces = sheet.fontFaces();
    for (const Css::FontFace& face : fontFaces) {
        if (face.source.isEmpty())
            continue;
        const QString fontPath = QDir::cleanPath(base + percentDecoded(face.source));
        if (loadedFontPaths.contains(fontPath))
            continue;
        loadedFontPaths.insert(fontPath);
        EmbeddedFonts::add(source.readEntry(fontPath));
    }

    chunks_ += HtmlBlockParser::parseChunks(document.documentElement(), path, DocumentChunkBuilder::ReaderBudget,
                                            params, &sheet, scheme, filePath_, base, 1);
}
