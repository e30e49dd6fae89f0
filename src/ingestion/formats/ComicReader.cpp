#include "formats/ComicReader.h"

#include "images/ImageDecoder.h"
#include "images/ImageUrl.h"
#include "text/CancelToken.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <algorithm>

namespace {

bool isPageEntry(const QString& name)
{
    if (name.endsWith(QLatin1Char('/')))
        return false;
    const QStringList parts = name.split(QLatin1Char('/'));
    // AppleDouble sidecars: "__MACOSX/..." folders and "._name" files hold metadata, not images.
    if (parts.contains(QStringLiteral("__MACOSX")) || parts.last().startsWith(QStringLiteral("._")))
        return false;
    const int dot = parts.last().lastIndexOf(QLatin1Char('.'));
    return dot >= 0 && imageFileExtensions().contains(parts.last().mid(dot + 1).toLower());
}

QString bookTitle(const QString& path)
{
    const QFileInfo info(QDir::cleanPath(path));
    return info.isDir() ? info.fileName() : info.completeBaseName();
}

// The page entries among an archive's names, in reading order, each name once.
QStringList pageEntries(const QStringList& entries)
{
    QStringList pages;
    QSet<QString> seen;
    for (const QString& name : entries) {
        if (isPageEntry(name) && !seen.contains(name)) {
            seen.insert(name);
            pages.append(name);
        }
    }
    // A fixed locale: the order of pages must not change with the user's settings, and Qt's C
    // locale collator ignores numeric mode.
    QCollator collator{QLocale(QLocale::English)};
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(pages.begin(), pages.end(),
                     [&collator](const QString& a, const QString& b) { return collator.compare(a, b) < 0; });
    return pages;
}

} // namespace

ComicReader::ComicReader(SourceFactory sourceFactory, QString scheme)
    : m_sourceFactory(std::move(sourceFactory))
    , m_scheme(std::move(scheme))
{
}

bool ComicReader::open(const QString& path)
{
    return load(path, true);
}

bool ComicReader::loadMetadata(const QString& path)
{
    return load(path, false);
}

void ComicReader::clear()
{
    m_book = BookMetadata();
    m_pages.clear();
}

bool ComicReader::load(const QString& path, bool withPages)
{
    clear();
    m_book.filePath = path;

    std::unique_ptr<IByteSource> source = m_sourceFactory ? m_sourceFactory() : nullptr;
    if (!source || !source->open(path)) {
        // A folder that can be listed fails only when it holds no file, and so no image.
        const QFileInfo info(path);
        m_book.errorString = (source && info.isDir() && info.isReadable() ? QStringLiteral("No images found: ")
                                                                     : QStringLiteral("Cannot open comic source: "))
            + path;
        return false;
    }
    const QStringList entries = pageEntries(source->listEntries());
    if (entries.isEmpty()) {
        m_book.errorString = QStringLiteral("No images found: ") + path;
        return false;
    }

    m_book.title = bookTitle(path);
    m_book.cover = entries.first();
    if (!withPages)
        return true;

    QHash<QString, QSize> sizes;
    bool anyReadable = false;
    const auto learn = [&sizes, &anyReadable](const QString& name, const QByteArray& bytes) {
        anyReadable = anyReadable || !bytes.isEmpty();
        sizes.insert(name, ImageDecoder::headerSize(bytes));
    };
    if (source->readsHeadsCheaply()) {
        // The headers alone: a page's pixels are read when it is shown.
        for (const QString& name : entries) {
            if (CancelToken::requested())
                break; // the pages are thrown away: which are learnt no longer matters
            const QByteArray head = source->readEntryHead(name, ImageDecoder::kHeaderBytes);
            learn(name, head);
            if (!sizes.value(name).isValid() && head.size() >= ImageDecoder::kHeaderBytes)
                learn(name, source->readEntry(name)); // a header longer than most (large metadata)
        }
    } else {
        source->readEntries(entries, learn);
    }
    if (CancelToken::requested()) {
        m_book.errorString = QStringLiteral("Opening was cancelled: ") + path;
        return false;
    }
    // Entries that are listed but never read (an encrypted archive, say) would show as blank pages.
    if (!anyReadable) {
        m_book.errorString = QStringLiteral("Cannot open comic source: ") + path;
        return false;
    }
    m_book.contentHash = source->contentHash();
    for (const QString& name : entries)
        m_pages.append(ComicPage{ImageUrl::build(m_scheme, name, path), sizes.value(name, QSize(-1, -1))});
    return true;
}
