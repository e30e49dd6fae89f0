#include "ChunkChecks.h"

#include "content/DocumentChunkBuilder.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace ChunkChecks {

void require(bool condition, const char* what)
{
    if (condition)
        return;
    std::fprintf(stderr, "fuzz: invariant broken: %s\n", what);
    std::abort();
}

void checkTextStyle(const TextStyle& style)
{
    require(std::isfinite(style.size) && std::isfinite(style.letterSpacing) && std::isfinite(style.baselineShift),
            "a text style has finite lengths");
    require(style.weight >= 100 && style.weight <= 900, "a font weight lies within 100..900");
}

void checkBox(const BoxStyle& box)
{
    for (const double side : { box.marginTop, box.marginBottom, box.marginLeft, box.marginRight, box.paddingTop,
                               box.paddingBottom, box.paddingLeft, box.paddingRight, box.borderTop, box.borderBottom,
                               box.borderLeft, box.borderRight })
        require(std::isfinite(side), "a box has finite sides");
}

namespace {

void checkRuns(const BlockItem& paragraph)
{
    require(!paragraph.runs.isEmpty(), "a paragraph has runs");
    require(std::isfinite(paragraph.indent) && std::isfinite(paragraph.lineHeight) && std::isfinite(paragraph.fontSize),
            "a paragraph has finite lengths");
    checkTextStyle(paragraph.style);
    for (const InlineRun& run : paragraph.runs) {
        checkTextStyle(run.style);
        if (run.kind == InlineRun::Image) {
            require(std::isfinite(run.width) && std::isfinite(run.height) && std::isfinite(run.maxWidth),
                    "an image run has a finite size");
            require(!run.url.isEmpty(), "an image run has a url");
            continue;
        }
        require(run.url.isEmpty() && run.width == -1 && run.height == -1 && run.maxWidth == -1,
                "a text or line-break run has no url and no size");
        if (run.kind == InlineRun::Text)
            require(!run.text.isEmpty(), "no text run is empty");
    }
    if (paragraph.preformatted)
        return;
    const InlineRun& first = paragraph.runs.first();
    const InlineRun& last = paragraph.runs.last();
    require(first.kind != InlineRun::Text || !first.text.startsWith(u' '), "a paragraph does not begin with a space");
    require(last.kind != InlineRun::LineBreak, "a paragraph does not end with a line break");
    require(last.kind != InlineRun::Text || !last.text.endsWith(u' '), "a paragraph does not end with a space");
}

} // namespace

void checkChunks(const QList<ContentChunk>& chunks)
{
    for (const ContentChunk& chunk : chunks) {
        require(!chunk.blocks.isEmpty(), "a chunk holds a block");
        int open = 0;
        int leadingStarts = 0;
        bool leading = true;
        int weight = 0;
        for (const BlockItem& block : chunk.blocks) {
            checkBox(block.box);
            leading = leading && block.kind == BlockItem::ContainerStart;
            if (leading)
                ++leadingStarts;
            switch (block.kind) {
            case BlockItem::ContainerStart:
                ++open;
                break;
            case BlockItem::ContainerEnd:
                require(open > 0, "a container end closes an open container");
                --open;
                break;
            case BlockItem::Paragraph:
                checkRuns(block);
                weight += DocumentChunkBuilder::paragraphWeight(block);
                break;
            case BlockItem::Rule:
                ++weight;
                break;
            default:
                require(false, "a block has a known kind");
            }
        }
        require(open == 0, "a chunk closes every container it opens");
        require(chunk.reopenedContainers >= 0 && chunk.reopenedContainers <= leadingStarts,
                "the reopened containers stand at the chunk's head");
        require(chunk.weight == weight, "a chunk weighs its text, images and rules");
    }
}

void checkReaderChunks(const QList<ContentChunk>& chunks)
{
    require(!chunks.isEmpty(), "an open reader has a chunk");
    const bool placeholder = chunks.size() == 1 && chunks.first().blocks.size() == 1
        && chunks.first().blocks.first().kind == BlockItem::Paragraph && chunks.first().blocks.first().runs.isEmpty();
    if (!placeholder)
        checkChunks(chunks);
}

} // namespace ChunkChecks
