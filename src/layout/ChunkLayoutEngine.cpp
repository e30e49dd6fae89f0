#include "ChunkLayoutEngine.h"

#include "ChunkPreparer.h"
#include "QtTextMeasurer.h"

#include <algorithm>

namespace {

// The request held to what no setting reaches (LayoutParams' limits): a wider column or a taller
// reader's line would only ask for memory. A narrow column costs nothing, so only the reading
// model holds the low end.
LayoutParams withinLimits(LayoutParams params, const FontMetrics& readerFont)
{
    params.width = std::min(params.width, LayoutParams::kMaxWidth);
    if (readerFont.lineSpacing > 0 && params.lineHeight > 0)
        params.lineHeight = std::min(params.lineHeight, LayoutParams::kMaxLineHeight / readerFont.lineSpacing);
    return params;
}

} // namespace

ChunkLayoutEngine::ChunkLayoutEngine() : m_measurer(std::make_shared<QtTextMeasurer>()) {}

ChunkLayoutEngine::ChunkLayoutEngine(std::shared_ptr<const ITextMeasurer> measurer)
    : m_measurer(measurer ? std::move(measurer) : std::make_shared<QtTextMeasurer>())
{
}

ChunkLayoutEngine::PreparedChunk ChunkLayoutEngine::prepareChunk(const ContentChunk& chunk, int fontSize,
                                                                 IBookImageResolver* resolver) const
{
    return prepare(chunk.blocks, chunk.reopenedContainers, chunk.leadingMargin, fontSize, resolver);
}

ChunkLayoutEngine::PreparedChunk ChunkLayoutEngine::prepareBlocks(const QList<BlockItem>& blocks, int fontSize,
                                                                  IBookImageResolver* resolver) const
{
    return prepare(blocks, 0, CollapsingMargin(), fontSize, resolver);
}

ChunkLayoutEngine::PreparedChunk ChunkLayoutEngine::prepare(const QList<BlockItem>& blocks,
                                                            int reopenedContainers,
                                                            const CollapsingMargin& leadingMargin,
                                                            int fontSize, IBookImageResolver* resolver) const
{
    ChunkPreparer::ImageSizeLookup lookup;
    if (resolver)
        lookup = [resolver](const QString& url) { return resolver->imageSize(url); };
    return ChunkPreparer(*m_measurer, fontSize, QString(), lookup).prepare(blocks, reopenedContainers, leadingMargin);
}

ChunkLayout ChunkLayoutEngine::layoutPreparedChunk(const PreparedChunk& prepared, const LayoutParams& params,
                                                   const LineBreakObserver& observer) const
{
    const bool otherSize = params.fontSize > 0 && params.fontSize != prepared.fontSize;
    ChunkLayout layout;
    if (!prepared.isEmpty() && (otherSize || params.fontFamily != prepared.fontFamily)) {
        const QHash<QString, QSizeF> sizes = prepared.imageSizes;
        auto lookup = [sizes](const QString& url) { return sizes.value(url, QSizeF(-1, -1)); };
        const PreparedChunk remeasured =
            ChunkPreparer(*m_measurer, otherSize ? params.fontSize : prepared.fontSize, params.fontFamily, lookup)
                .prepare(prepared.sourceBlocks, prepared.reopenedContainers, prepared.sourceLeadingMargin);
        layout = ChunkLayouter(remeasured, *m_measurer, withinLimits(params, remeasured.readerMetrics), observer).layout();
    } else {
        layout = ChunkLayouter(prepared, *m_measurer, withinLimits(params, prepared.readerMetrics), observer).layout();
    }
    return m_keepsHeightsOnly ? heightOf(layout) : layout;
}

ChunkLayoutEngine ChunkLayoutEngine::heightsOnly() const
{
    ChunkLayoutEngine engine = *this;
    engine.m_keepsHeightsOnly = true;
    return engine;
}

ChunkLayout ChunkLayoutEngine::heightOf(const ChunkLayout& layout)
{
    ChunkLayout height;
    height.height = layout.height;
    height.width = layout.width;
    return height;
}
