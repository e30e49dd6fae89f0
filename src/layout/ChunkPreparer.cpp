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
    : measurer(measurer)
    , fontSize(qMax(1, fontSize))
    , fontFamily(fontFamily)
    , fontScale(qMax(1, fontSize) / 16.0)
    , imageSize(std::move(imageSize))
{
}

PreparedChunk ChunkPreparer::prepare(const QList<BlockItem>& blocks, int reopenedContainers,
                                     const CollapsingMargin& leadingMargin)
{
    chunk = PreparedChunk();
    chunk.fontSize = fontSize;
    chunk.fontFamily = fontFamily;
    chunk.sourceBlocks = blocks;
    chunk.reopenedContainers = reopenedContainers;
    chunk.sourceLeadingMargin = leadingMargin;
    chunk.leadingMargin = {leadingMargin.positive * fontScale, leadingMargin.negative * fontScale};
    chunk.readerMetrics = measurer.metrics(FontRequest{fontFamily, fontSize});

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
        chunk.blocks.append(prepared);
    }
    // The reading model keeps every chunk of a book prepared: no room to spare.
    chunk.blocks.squeeze();
    chunk.styles.squeeze();
    chunk.text.squeeze();
    return std::move(chunk);
}

int ChunkPreparer::storeText(const QString& text)
{
    const int start = int(chunk.text.size());
    chunk.text += text;
    return start;
}

int ChunkPreparer::styleIndex(const TextStyle& style, double sizeOverride)
{
    const double size = sizeOverride > 0 ? sizeOverride : style.size;
    PreparedStyle prepared;
    const QString family = style.families.isEmpty() ? QString() : style.families.first().trimmed();
    prepared.request.family = family.isEmpty() ? fontFamily : family;
    prepared.request.pixelSize = qMax(1, qRound(size > 0 ? size * fontScale : double(fontSize)));
    prepared.request.weight = qBound(100, style.weight, 900);
    prepared.request.italic = style.italic;
    prepared.request.smallCaps = style.smallCaps;
    prepared.request.letterSpacing = style.letterSpacing * fontScale;
    prepared.baselineShift = style.baselineShift * fontScale;
    prepared.colour = style.colour;
    prepared.background = style.background;
    prepared.link = style.link;
    prepared.underline = style.underline;
    prepared.lineThrough = style.lineThrough;
    prepared.overline = style.overline;

    for (qsizetype i = 0; i < chunk.styles.size(); ++i) {
        if (sameLook(chunk.styles[i], prepared))
            return int(i);
    }
    prepared.font = prepared.request.toFont();
    prepared.metrics = measurer.metrics(prepared.request);
    prepared.spaceWidth = measurer.advance(prepared.request, QStringLiteral(" "));
    prepared.hyphenWidth = measurer.advance(prepared.request, QStringLiteral("-"));
    chunk.styles.append(prepared);
    return int(chunk.styles.size()) - 1;
}

int ChunkPreparer::styleFor(int index, const QString& text)
{
    const FontMetrics needed = measurer.textMetrics(chunk.styles[index].request, text);
    const FontMetrics& own = chunk.styles[index].metrics;
    if (needed.ascent <= own.ascent && needed.descent <= own.descent)
        return index;
    FontMetrics grown = own;
    grown.ascent = std::max(own.ascent, needed.ascent);
    grown.descent = std::max(own.descent, needed.descent);
    grown.lineSpacing = std::max(own.lineSpacing, needed.lineSpacing);
    for (qsizetype i = 0; i < chunk.styles.size(); ++i) {
        const PreparedStyle& other = chunk.styles[i];
        if (sameLook(other, chunk.styles[index]) && other.metrics.ascent == grown.ascent
            && other.metrics.descent == grown.descent)
            return int(i);
    }
    PreparedStyle copy = chunk.styles[index];
    copy.metrics = grown;
    chunk.styles.append(copy);
    return int(chunk.styles.size()) - 1;
}

QSizeF ChunkPreparer::imageRunSize(const InlineRun& run)
{
    double width = run.width > 0 ? run.width : -1;
    double height = run.height > 0 ? run.height : -1;
    if (width < 0 || height < 0) {
        QSizeF natural(-1, -1);
        if (imageSize) {
            natural = imageSize(run.url);
            chunk.imageSizes.insert(run.url, natural);
        }
        const bool known = natural.width() > 0 && natural.height() > 0;
        if (width > 0)
            height = known ? width * natural.height() / natural.width() : width;
        else if (height > 0)
            width = known ? height * natural.width() / natural.height() : height;
        else if (known)
            width = natural.width(), height = natural.height();
        else
            width = height = fontSize; // a missing image keeps a small placeholder
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
    scaled.marginTop *= fontScale;
    scaled.marginBottom *= fontScale;
    scaled.marginLeft *= fontScale;
    scaled.marginRight *= fontScale;
    scaled.paddingTop *= fontScale;
    scaled.paddingBottom *= fontScale;
    scaled.paddingLeft *= fontScale;
    scaled.paddingRight *= fontScale;
    return scaled;
}
