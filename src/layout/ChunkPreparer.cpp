#include "ChunkPreparer.h"

#include "ParagraphPreparer.h"

#include <algorithm>

namespace {

bool sameLook(const PreparedStyle& a, const PreparedStyle& b)
{
    return a.request == b.request && a.baselineShift == b.baselineShift && a.colour == b.colour
        && a.background == b.background && a.link == b.link && a.underline == b.underline
        && a.lineThrough == b.lineThrough && a.overline == b.overline;
}

} // namespace

ChunkPreparer::ChunkPreparer(const ITextMeasurer& measurer, int fontSize, const QString& fontFamily,
                             ImageSizeLookup imageSize)
    : m_measurer(measurer)
    , m_fontSize(qMax(1, fontSize))
    , m_fontFamily(fontFamily)
    , m_fontScale(qMax(1, fontSize) / double(kBookFontSize))
    , m_imageSize(std::move(imageSize))
{
}

PreparedChunk ChunkPreparer::prepare(const QList<BlockItem>& blocks, int reopenedContainers,
                                     const CollapsingMargin& leadingMargin)
{
    m_chunk = PreparedChunk();
    m_chunk.fontSize = m_fontSize;
    m_chunk.fontFamily = m_fontFamily;
    m_chunk.sourceBlocks = blocks;
    m_chunk.reopenedContainers = reopenedContainers;
    m_chunk.sourceLeadingMargin = leadingMargin;
    m_chunk.leadingMargin = {leadingMargin.positive * m_fontScale, leadingMargin.negative * m_fontScale};
    m_chunk.readerMetrics = m_measurer.metrics(FontRequest{m_fontFamily, m_fontSize});

    bool leadingStarts = true;
    for (qsizetype i = 0; i < blocks.size(); ++i) {
        const BlockItem& block = blocks[i];
        leadingStarts = leadingStarts && block.kind == BlockItem::ContainerStart;
        PreparedBlock prepared;
        prepared.kind = block.kind;
        switch (block.kind) {
        case BlockItem::ContainerStart:
            prepared.reopened = leadingStarts && i < reopenedContainers;
            prepared.box = scaledBox(block.box);
            break;
        case BlockItem::ContainerEnd:
            prepared.box = scaledBox(block.box);
            break;
        case BlockItem::Rule:
            prepared.ruleColour = block.ruleColour;
            break;
        case BlockItem::Paragraph:
            if (block.runs.isEmpty())
                continue;
            prepared.paragraph = ParagraphPreparer(*this, block).prepare();
            break;
        default:
            continue; // an unknown kind draws nothing
        }
        m_chunk.blocks.append(prepared);
    }
    // The reading model keeps every chunk of a book prepared: no room to spare.
    m_chunk.blocks.squeeze();
    m_chunk.styles.squeeze();
    m_chunk.text.squeeze();
    return std::move(m_chunk);
}

int ChunkPreparer::storeText(const QString& text)
{
    const int start = int(m_chunk.text.size());
    m_chunk.text += text;
    return start;
}

int ChunkPreparer::styleIndex(const TextStyle& style, double sizeOverride)
{
    const double size = sizeOverride > 0 ? sizeOverride : style.size;
    PreparedStyle prepared;
    const QString family = style.families.isEmpty() ? QString() : style.families.first().trimmed();
    prepared.request.family = family.isEmpty() ? m_fontFamily : family;
    prepared.request.pixelSize = qMax(1, qRound(size > 0 ? size * m_fontScale : double(m_fontSize)));
    prepared.request.weight = qBound(100, style.weight, 900);
    prepared.request.italic = style.italic;
    prepared.request.smallCaps = style.smallCaps;
    prepared.request.letterSpacing = style.letterSpacing * m_fontScale;
    prepared.baselineShift = style.baselineShift * m_fontScale;
    prepared.colour = style.colour;
    prepared.background = style.background;
    prepared.link = style.link;
    prepared.underline = style.underline;
    prepared.lineThrough = style.lineThrough;
    prepared.overline = style.overline;

    for (qsizetype i = 0; i < m_chunk.styles.size(); ++i) {
        if (sameLook(m_chunk.styles[i], prepared))
            return int(i);
    }
    prepared.font = prepared.request.toFont();
    prepared.metrics = m_measurer.metrics(prepared.request);
    prepared.spaceWidth = m_measurer.advance(prepared.request, QStringLiteral(" "));
    prepared.hyphenWidth = m_measurer.advance(prepared.request, QStringLiteral("-"));
    m_chunk.styles.append(prepared);
    return int(m_chunk.styles.size()) - 1;
}

int ChunkPreparer::styleFor(int index, const QString& text)
{
    const FontMetrics needed = m_measurer.textMetrics(m_chunk.styles[index].request, text);
    const FontMetrics& own = m_chunk.styles[index].metrics;
    if (needed.ascent <= own.ascent && needed.descent <= own.descent)
        return index;
    FontMetrics grown = own;
    grown.ascent = std::max(own.ascent, needed.ascent);
    grown.descent = std::max(own.descent, needed.descent);
    grown.lineSpacing = std::max(own.lineSpacing, needed.lineSpacing);
    for (qsizetype i = 0; i < m_chunk.styles.size(); ++i) {
        const PreparedStyle& other = m_chunk.styles[i];
        if (sameLook(other, m_chunk.styles[index]) && other.metrics.ascent == grown.ascent
            && other.metrics.descent == grown.descent)
            return int(i);
    }
    PreparedStyle copy = m_chunk.styles[index];
    copy.metrics = grown;
    m_chunk.styles.append(copy);
    return int(m_chunk.styles.size()) - 1;
}

QSizeF ChunkPreparer::imageRunSize(const InlineRun& run)
{
    double width = run.width > 0 ? run.width : -1;
    double height = run.height > 0 ? run.height : -1;
    if (width < 0 || height < 0) {
        QSizeF natural(-1, -1);
        if (m_imageSize) {
            natural = m_imageSize(run.url);
            m_chunk.imageSizes.insert(run.url, natural);
        }
        const bool known = natural.width() > 0 && natural.height() > 0;
        if (width > 0)
            height = known ? width * natural.height() / natural.width() : width;
        else if (height > 0)
            width = known ? height * natural.width() / natural.height() : height;
        else if (known)
            width = natural.width(), height = natural.height();
        else
            width = height = m_fontSize; // a missing image keeps a small placeholder
    }
    if (run.maxWidth > 0 && width > run.maxWidth) {
        height *= run.maxWidth / width;
        width = run.maxWidth;
    }
    return {width, height};
}

BoxStyle ChunkPreparer::scaledBox(const BoxStyle& box) const
{
    // Spacing scales with the reader's font size like the text it surrounds; border widths are
    // hairlines and stay as given.
    BoxStyle scaled = box;
    scaled.marginTop *= m_fontScale;
    scaled.marginBottom *= m_fontScale;
    scaled.marginLeft *= m_fontScale;
    scaled.marginRight *= m_fontScale;
    scaled.paddingTop *= m_fontScale;
    scaled.paddingBottom *= m_fontScale;
    scaled.paddingLeft *= m_fontScale;
    scaled.paddingRight *= m_fontScale;
    return scaled;
}
