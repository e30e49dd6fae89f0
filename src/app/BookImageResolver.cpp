#include "BookImageResolver.h"

#include "ImageUrl.h"
#include "WebImageProvider.h"

#include <QBuffer>
#include <QImageReader>

namespace {

const QString kImagePrefix = QStringLiteral("image://");
const QString kWebPrefix = QStringLiteral("image://web/");

} // namespace

BookImageResolver::BookImageResolver() = default;

BookImageResolver::BookImageResolver(SourceFactory factory, WebImageProvider* web)
    : m_sourceFactory(std::move(factory))
    , m_web(web)
{
}

BookImageResolver::BookImageResolver(SchemeSourceFactory factory, WebImageProvider* web)
    : m_schemeSourceFactory(std::move(factory))
    , m_web(web)
{
}

BookImageResolver::~BookImageResolver() = default;

void BookImageResolver::setSourceFactory(SourceFactory factory)
{
    const QMutexLocker lock(&m_mutex);
    m_sourceFactory = std::move(factory);
    m_schemeSourceFactory = nullptr;
    forgetLocked();
}

void BookImageResolver::setSchemeSourceFactory(SchemeSourceFactory factory)
{
    const QMutexLocker lock(&m_mutex);
    m_schemeSourceFactory = std::move(factory);
    m_sourceFactory = nullptr;
    forgetLocked();
}

void BookImageResolver::setWebProvider(WebImageProvider* web)
{
    const QMutexLocker lock(&m_mutex);
    m_web = web;
}

void BookImageResolver::clearCache()
{
    const QMutexLocker lock(&m_mutex);
    forgetLocked();
}

void BookImageResolver::forgetLocked()
{
    m_openProvider.clear();
    m_openBookPath.clear();
    m_openSource.reset();
    m_images.clear();
    m_sizes.clear();
}

WebImageProvider* BookImageResolver::webProvider()
{
    const QMutexLocker lock(&m_mutex);
    return m_web ? m_web : WebImageProvider::defaultInstance();
}

QByteArray BookImageResolver::fetchEntryBytes(const QString& url)
{
    if (!url.startsWith(kImagePrefix) || url.size() <= kImagePrefix.size())
        return QByteArray();
    const qsizetype slash = url.indexOf(QLatin1Char('/'), kImagePrefix.size());
    if (slash < 0)
        return QByteArray();
    const QString provider = url.mid(kImagePrefix.size(), slash - kImagePrefix.size());
    if (provider == QLatin1String("fileicon") || provider == QLatin1String("web"))
        return QByteArray();
    const ProviderIdParts parts = ImageUrl::parseProviderId(url.mid(slash + 1));

    const QMutexLocker lock(&m_mutex);
    const QString bookPath = parts.src.isEmpty() ? m_openBookPath : parts.src;
    if (bookPath.isEmpty() || parts.path.isEmpty())
        return QByteArray();
    if (provider != m_openProvider || bookPath != m_openBookPath || !m_openSource) {
        m_openSource.reset();
        if (m_schemeSourceFactory)
            m_openSource = m_schemeSourceFactory(provider);
        else if (m_sourceFactory)
            m_openSource = m_sourceFactory();
        if (m_openSource && m_openSource->open(bookPath)) {
            m_openProvider = provider;
            m_openBookPath = bookPath;
        } else {
            m_openSource.reset();
            m_openProvider.clear();
            m_openBookPath.clear();
        }
    }
    return m_openSource ? m_openSource->readEntry(parts.path) : QByteArray();
}

QImage BookImageResolver::resolveImage(const QString& url)
{
    if (url.isEmpty())
        return QImage();
    {
        const QMutexLocker lock(&m_mutex);
        const auto hit = m_images.constFind(url);
        if (hit != m_images.cend())
            return *hit;
    }
    QImage image;
    if (url.startsWith(kWebPrefix)) {
        image = webProvider()->fetchImage(url.mid(kWebPrefix.size()), QSize(-1, -1));
    } else if (url.startsWith(QLatin1String("http://")) || url.startsWith(QLatin1String("https://"))) {
        image = webProvider()->fetchImage(url, QSize(-1, -1));
    } else if (url.startsWith(kImagePrefix)) {
        const QByteArray bytes = fetchEntryBytes(url);
        if (!bytes.isEmpty() && !image.loadFromData(bytes))
            image = QImage();
    }
    if (!image.isNull()) {
        const QMutexLocker lock(&m_mutex);
        m_images.insert(url, image);
        m_sizes.insert(url, QSizeF(image.size()));
    }
    return image;
}

QSizeF BookImageResolver::imageSize(const QString& url)
{
    if (url.isEmpty())
        return QSizeF(-1, -1);
    {
        const QMutexLocker lock(&m_mutex);
        const auto size = m_sizes.constFind(url);
        if (size != m_sizes.cend())
            return *size;
        const auto image = m_images.constFind(url);
        if (image != m_images.cend())
            return QSizeF(image->size());
    }
    QByteArray bytes = fetchEntryBytes(url);
    if (!bytes.isEmpty()) {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer);
        const QSize header = reader.size();
        if (header.width() > 0 && header.height() > 0) {
            const QMutexLocker lock(&m_mutex);
            m_sizes.insert(url, QSizeF(header));
            return QSizeF(header);
        }
    }
    const QImage image = resolveImage(url);
    if (image.isNull())
        return QSizeF(-1, -1);
    const QSizeF size(image.size());
    const QMutexLocker lock(&m_mutex);
    m_sizes.insert(url, size);
    return size;
}
