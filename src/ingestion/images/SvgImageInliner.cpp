#include "images/SvgImageInliner.h"

#include "images/DataUrl.h"

#include <QBuffer>
#include <QImageReader>
#include <QRegularExpression>

namespace {

QString mediaTypeOf(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    const QByteArray format = QImageReader::imageFormat(&buffer);
    if (format == "svg")
        return QStringLiteral("image/svg+xml");
    return format.isEmpty() ? QStringLiteral("image/png") : QStringLiteral("image/") + QString::fromLatin1(format);
}

} // namespace

bool SvgImageInliner::looksLikeSvg(const QByteArray& bytes)
{
    return bytes.left(4096).contains("<svg");
}

QByteArray SvgImageInliner::inlineImages(const QByteArray& svg, const Fetch& fetch)
{
    if (!fetch || !svg.contains("<image"))
        return svg;
    static const QRegularExpression reference(
        QStringLiteral("(<(?:[\\w-]+:)?image\\b[^>]*?\\b(?:xlink:)?href\\s*=\\s*)([\"'])(.*?)\\2"),
        QRegularExpression::DotMatchesEverythingOption);
    const QString text = QString::fromUtf8(svg);
    QString out;
    out.reserve(text.size());
    qsizetype done = 0;
    QRegularExpressionMatchIterator matches = reference.globalMatch(text);
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        const QString href = match.captured(3).trimmed();
        if (href.isEmpty() || DataUrl::isDataUrl(href))
            continue;
        const QByteArray bytes = fetch(href);
        if (bytes.isEmpty())
            continue;
        out += QStringView(text).mid(done, match.capturedStart(3) - done);
        out += DataUrl::encode(bytes, mediaTypeOf(bytes));
        done = match.capturedEnd(3);
    }
    if (done == 0)
        return svg;
    out += QStringView(text).mid(done);
    return out.toUtf8();
}
