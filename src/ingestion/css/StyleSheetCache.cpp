#include "css/StyleSheetCache.h"

#include "sources/ArchivePath.h"

#include <QMutexLocker>
#include <QUrl>

#include <utility>

namespace {

QString directoryOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash < 0 ? QString() : path.left(slash + 1);
}

} // namespace

StyleSheetCache::StyleSheetCache(EntryReader readEntry)
    : m_readEntry(std::move(readEntry))
{
}

const Css::StyleSheet* StyleSheetCache::sheet(const QString& path)
{
    std::shared_ptr<Slot> slot;
    {
        const QMutexLocker locker(&m_entriesMutex);
        std::shared_ptr<Slot>& found = m_entries[path];
        if (!found)
            found = std::make_shared<Slot>();
        slot = found;
    }
    const QMutexLocker locker(&slot->mutex);
    if (!slot->loaded) {
        const QByteArray bytes = m_readEntry(path);
        if (bytes.isEmpty())
            return nullptr;
        int importsLeft = kMaxImports;
        slot->sheet = parseWithImports(QString::fromUtf8(bytes), { path }, directoryOf(path), &importsLeft);
        slot->loaded = true;
    }
    return &slot->sheet;
}

Css::StyleSheet StyleSheetCache::parseInline(const QString& text, const QString& documentPath) const
{
    int importsLeft = kMaxImports;
    return parseWithImports(text, { documentPath }, directoryOf(documentPath), &importsLeft);
}

Css::StyleSheet StyleSheetCache::parseWithImports(const QString& text, const QStringList& chain,
                                                  const QString& directory, int* importsLeft) const
{
    const Css::StyleSheet::ImportLoader loadImport = [&](const QString& url) {
        const QString href = QUrl::fromPercentEncoding(url.trimmed().toUtf8());
        if (chain.size() > kMaxImportDepth || *importsLeft <= 0 || href.isEmpty() || href.contains(QLatin1String("://")))
            return Css::StyleSheet();
        --*importsLeft;
        // As chapters and images: ".." stops at the root of the book.
        const QString path = ArchivePath::resolve(href.startsWith(u'/') ? QString() : directory, href);
        if (chain.contains(path))
            return Css::StyleSheet();
        const QByteArray bytes = m_readEntry(path);
        if (bytes.isEmpty())
            return Css::StyleSheet();
        return parseWithImports(QString::fromUtf8(bytes), chain + QStringList { path }, directoryOf(path), importsLeft);
    };
    return Css::StyleSheet::parse(text, loadImport, Css::MediaContext(), directory);
}
