#include "LayoutChecks.h"

#include "ChunkChecks.h"

#include <algorithm>
#include <cmath>

using ChunkChecks::require;

namespace LayoutChecks {

namespace {

bool finite(const QRectF& rect)
{
    return std::isfinite(rect.x()) && std::isfinite(rect.y()) && std::isfinite(rect.width())
        && std::isfinite(rect.height());
}

} // namespace

void checkLayout(const ChunkLayout& layout)
{
    require(std::isfinite(layout.height) && layout.height >= 0, "a layout has a finite height");
    double lastY = 0;
    for (const LayoutLine& line : layout.lines) {
        require(std::isfinite(line.x) && std::isfinite(line.y) && std::isfinite(line.width)
                    && std::isfinite(line.height) && std::isfinite(line.baseline),
                "a line has finite geometry");
        require(line.y >= lastY, "lines are in increasing y");
        lastY = line.y;
        for (const LayoutRun& run : line.runs) {
            require(run.style >= 0 && run.style < layout.styles.size(), "a run has a style of its layout");
            require(run.textStart >= 0 && run.textLength >= 0 && run.textStart + run.textLength <= layout.text.size(),
                    "a run's text lies in its layout's text");
            require(finite(layout.rectOf(run)) && std::isfinite(run.x) && std::isfinite(run.baseline),
                    "a run has finite geometry");
        }
    }
    for (const LayoutImage& image : layout.images) {
        require(finite(image.rect) && image.rect.width() >= 0 && image.rect.height() >= 0,
                "an image has finite geometry");
        require(image.rect.width() <= std::max(layout.width, 1.0) * (1 + 1e-9), "an image fits the column");
    }
    for (const LayoutRule& rule : layout.rules)
        require(finite(rule.rect), "a rule has finite geometry");
    for (const LayoutBox& box : layout.boxes)
        require(finite(box.rect), "a box has finite geometry");

    const QList<double> edges = layout.tileEdges();
    double previous = 0;
    for (const double edge : edges) {
        require(edge > previous && edge < layout.height, "tile edges increase within the chunk");
        require(edge - previous <= ChunkLayout::kMaxTileHeight, "no tile is taller than the limit");
        previous = edge;
    }
    require(layout.height - previous <= ChunkLayout::kMaxTileHeight, "no tile is taller than the limit");
}

} // namespace LayoutChecks
