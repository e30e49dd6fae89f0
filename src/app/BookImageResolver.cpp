#include "BookImageResolver.h"

#include "images/DataUrl.h"
#include "images/ImageDecoder.h"
#include "images/ImageUrl.h"
#include "images/SvgImageInliner.h"
#include "WebImageProvider.h"

#include <QFileInfo>

namespace {

const QString kImagePrefix = QStringLiteral("image://");
const QString kWebPrefix = QStringLiteral("image://web/");

bool isRemote(const QString& url)
{
    return url.startsWith(kWebPrefix) || url.startsWith(QLatin1String("http://"))
        || url.startsWith(QLatin1String("https://"));
}

// The provider and the parts of a book-entry URL; false for any other URL.
bool parseEntryUrl(const QString& url, QString* provider, ProviderIdParts* parts)
{
    if (!url.startsWith(kImagePrefix) || url.size() <= kImagePrefix.size())
        return false;
    const qsizetype slash = url.indexOf(QLatin1Char('/'), kImagePrefix.size());
    if (slash < 0)
        return false;
    *provider = url.mid(kImagePrefix.size(), slash - kImagePrefix.size());
    if (*provider == QLatin1String("fileicon") || *provider == QLatin1String("web"))
        return false;
    *parts = ImageUrl::parseProviderId(url.mid(slash + 1));
    return true;
}

bool known(const QSizeF& size)
{
    return size.width() > 0 && size.height() > 0;
}

} // namespace

BookImageResolver::BookImageResolver()
    : m_images(kDecodedCacheBytes)
{
}

BookImageResolver::BookImageResolver(SourceFactory factory, WebImageProvider* web)
    : m_sourceFactory(std::move(factory))
    , m_web(web)
    , m_images(kDecodedCacheBytes)
{
}

BookImageResolver::BookImageResolver(SchemeSourceFactory factory, WebImageProvider* web)
    : m_schemeSourceFactory(std::move(factory))
    , m_web(web)
    , m_images(kDecodedCacheBytes)
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

void BookImageResolver::setResolvedListener(ResolvedListener listener)
{
    const QMutexLocker lock(&m_mutex);
    m_resolvedListener = std::move(listener);
}

void BookImageResolver::clearCache()
{
    const QMutexLocker lock(&m_mutex);
    forgetLocked();
}

qsizetype BookImageResolver::decodedBytes() const
{
    const QMutexLocker lock(&m_mutex);
    return m_images.totalCost();
}

void BookImageResolver::forgetLocked()
{
    m_openProvider.clear();
    m_openBookPath.clear();
    m_openSource.reset();
    m_images.clear();
    m_sizes.clear();
    m_waiting.clear();
}

WebImageProvider* BookImageResolver::webProvider()
{
    const QMutexLocker lock(&m_mutex);
    return m_web ? m_web : WebImageProvider::defaultInstance();
}

QByteArray BookImageResolver::fetchEntryBytes(const QString& url)
{
    return fetchEntry(url, -1);
}

QByteArray BookImageResolver::fetchEntry(const QString& url, qint64 maxBytes)
{
    if (DataUrl::isDataUrl(url))
        return DataUrl::decode(url);
    QString provider;
    ProviderIdParts parts;
    if (!parseEntryUrl(url, &provider, &parts))
        return QByteArray();

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
    if (!m_openSource)
        return QByteArray();
    return maxBytes < 0 ? m_openSource->readEntry(parts.path) : m_openSource->readEntryHead(parts.path, maxBytes);
}

QByteArray BookImageResolver::imageBytes(const QString& url)
{
    const QByteArray bytes = fetchEntryBytes(url);
    if (!SvgImageInliner::looksLikeSvg(bytes))
        return bytes;
    // References inside an SVG entry are relative to that entry; an inline drawing's were resolved
    // when the book was read.
    QString provider;
    ProviderIdParts parts;
    const bool entry = parseEntryUrl(url, &provider, &parts);
    return SvgImageInliner::inlineImages(bytes, [&](const QString& href) {
        if (href.startsWith(kImagePrefix))
            return href.startsWith(kWebPrefix) ? QByteArray() : fetchEntryBytes(href);
        if (!entry || href.startsWith(QLatin1String("http:")) || href.startsWith(QLatin1String("https:")))
            return QByteArray();
        const QString directory = QFileInfo(parts.path).path();
        const QString base = directory == QLatin1String(".") ? QString() : directory + QLatin1Char('/');
        return fetchEntryBytes(ImageUrl::resolve(provider, href, parts.src, href.startsWith(u'/') ? QString() : base));
    });
}

QImage BookImageResolver::fetchWebImage(const QString& url)
{
    bool waitedAlready = false;
    {
        const QMutexLocker lock(&m_mutex);
        waitedAlready = m_waiting.contains(url);
        m_waiting.insert(url);
    }
    WebImageProvider* const web = webProvider();
    const QImage image = web->fetchImage(url.startsWith(kWebPrefix) ? url.mid(kWebPrefix.size()) : url, QSize(-1, -1));
    if (!image.isNull() && !waitedAlready) {
        const QMutexLocker lock(&m_mutex);
        m_waiting.remove(url);
    }
    return image;
}

void BookImageResolver::sizeLearnt(const QString& url, const QSize& size)
{
    ResolvedListener listener;
    {
        const QMutexLocker lock(&m_mutex);
        m_sizes.insert(url, QSizeF(size));
        if (m_waiting.remove(url))
            listener = m_resolvedListener;
    }
    if (listener)
        listener(url);
}

void BookImageResolver::webImageArrived(const QString& url)
{
    QStringList settled;
    ResolvedListener listener;
    {
        const QMutexLocker lock(&m_mutex);
        for (const QString& form : {url, kWebPrefix + url}) {
            if (m_waiting.remove(form))
                settled.append(form);
        }
        listener = m_resolvedListener;
    }
    if (!listener)
        return;
    for (const QString& form : std::as_const(settled))
        listener(form);
}

QImage BookImageResolver::resolveImage(const QString& url)
{
    return resolveImageAt(url, QSize());
}

QImage BookImageResolver::resolveImageAt(const QString& url, const QSize& pixelSize)
{
    if (url.isEmpty())
        return QImage();
    const bool remote = isRemote(url);
    if (!remote && !DataUrl::isDataUrl(url) && !url.startsWith(kImagePrefix))
        return QImage();
    {
        const QMutexLocker lock(&m_mutex);
        const QSizeF natural = m_sizes.value(url, QSizeF(-1, -1));
        if (const QImage* hit = m_images.object(url)) {
            // A smaller copy made for a smaller place is decoded again for a larger one.
            const QSize wanted = ImageDecoder::decodedSize(natural.toSize(), pixelSize);
            if (!known(natural) || hit->width() >= wanted.width())
                return *hit;
        }
    }
    QImage image;
    QSize natural(-1, -1);
    if (remote) {
        image = fetchWebImage(url);
        if (image.isNull())
            return image; // the painter hears when to try again
        natural = image.size();
        if (!image.isNull() && pixelSize.width() > 0 && pixelSize.height() > 0
            && (image.width() > pixelSize.width() || image.height() > pixelSize.height()))
            image = image.scaled(pixelSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    } else {
        const QByteArray bytes = imageBytes(url);
        natural = ImageDecoder::headerSize(bytes);
        image = ImageDecoder::decode(bytes, pixelSize);
        if (!known(QSizeF(natural)))
            natural = image.size(); // no header to tell: what the decode gave is all there is
    }
    if (image.isNull())
        return image;
    {
        const QMutexLocker lock(&m_mutex);
        m_images.insert(url, new QImage(image), std::max<qsizetype>(1, image.sizeInBytes()));
    }
    sizeLearnt(url, natural);
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
    }
    QSize size(-1, -1);
    if (isRemote(url)) {
        // Never waits for the network: an image still on its way is settled when it arrives.
        size = fetchWebImage(url).size();
    } else {
        QByteArray bytes = fetchEntry(url, ImageDecoder::kHeaderBytes);
        size = ImageDecoder::headerSize(bytes);
        if (!known(QSizeF(size)) && bytes.size() >= ImageDecoder::kHeaderBytes) {
            bytes = fetchEntryBytes(url); // a header longer than most, or an SVG, needs all of it
            size = ImageDecoder::headerSize(bytes);
        }
        if (!known(QSizeF(size)) && !bytes.isEmpty())
            size = resolveImage(url).size(); // a format whose header names no size
    }
    if (!known(QSizeF(size))) {
        if (!isRemote(url)) { // a remote one waits already
            const QMutexLocker lock(&m_mutex);
            m_waiting.insert(url);
        }
        return QSizeF(-1, -1);
    }
    sizeLearnt(url, size);
    return QSizeF(size);
}
