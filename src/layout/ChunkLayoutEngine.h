#pragma once

// The layout engine as the reading model uses it: prepare a chunk once (measure its words into
// Knuth-Plass items), then lay the prepared chunk out at any width into a ChunkLayout.
//
// Both operations are pure and reentrant: a prepared chunk depends only on the chunk, the font
// size and the image sizes the resolver gives; a layout only on the prepared chunk and the
// LayoutParams. Any thread may call them, any number of threads at once (the reading model lays
// out a window on the GUI thread and the rest on the global thread pool). The measurer must be
// callable from all of them; QtTextMeasurer needs a QGuiApplication. Copies of an engine share
// its measurer and are cheap to hand to tasks.

#include "ChunkLayout.h"
#include "ChunkLayouter.h"
#include "content/ContentModel.h"
#include "IBookImageResolver.h"
#include "ITextMeasurer.h"
#include "LayoutParams.h"
#include "PreparedChunk.h"

#include <memory>

class ChunkLayoutEngine {
public:
    using PreparedChunk = ::PreparedChunk;

    // Measures with Qt's fonts (QtTextMeasurer).
    ChunkLayoutEngine();
    explicit ChunkLayoutEngine(std::shared_ptr<const ITextMeasurer> measurer);

    // resolver may be null (images then keep their given sizes or a placeholder); it is asked
    // for the natural size of each image whose size the book does not give.
    PreparedChunk prepareChunk(const ContentChunk& chunk, int fontSize,
                               IBookImageResolver* resolver) const;
    PreparedChunk prepareBlocks(const QList<BlockItem>& blocks, int fontSize,
                                IBookImageResolver* resolver) const;

    // A layout for params.width, held to LayoutParams' maximum width and reader's line height
    // (the layout's width tells the width used). When params asks for another font size or family than the
    // chunk was prepared with, the chunk is measured again first (image sizes are kept).
    ChunkLayout layoutPreparedChunk(const PreparedChunk& prepared, const LayoutParams& params,
                                    const LineBreakObserver& observer = {}) const;

    // A copy of this engine whose layouts keep only their height and width: what a book holds for
    // the chunks nobody is looking at, whose lines are laid out again when they are shown.
    ChunkLayoutEngine heightsOnly() const;
    // The layout's height and width, and nothing to draw.
    static ChunkLayout heightOf(const ChunkLayout& layout);

private:
    PreparedChunk prepare(const QList<BlockItem>& blocks, int reopenedContainers,
                          const CollapsingMargin& leadingMargin, int fontSize,
                          IBookImageResolver* resolver) const;

    std::shared_ptr<const ITextMeasurer> m_measurer;
    bool m_keepsHeightsOnly = false;
};
