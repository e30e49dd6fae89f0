#pragma once

// Chunk preparation: turns a chunk's blocks into measured Knuth-Plass items (PreparedChunk).
// Styles become fonts scaled to the reader's font size (fontSize / 16), words become boxes,
// spaces glue whose stretch and shrink follow the font's space width, soft hyphens, dashes,
// images and line breaks become the penalties and forced breaks between them.
//
// One preparer serves one prepare() call on one thread; the measurer and the image-size lookup
// it is given must be callable from that thread (ChunkLayoutEngine runs it on any thread).

#include "content/ContentModel.h"
#include "ITextMeasurer.h"
#include "PreparedChunk.h"

#include <QSizeF>
#include <QString>

#include <functional>

class ChunkPreparer {
public:
    // The natural size of an image, (-1, -1) when unknown.
    using ImageSizeLookup = std::function<QSizeF(const QString& url)>;

    ChunkPreparer(const ITextMeasurer& measurer, int fontSize, const QString& fontFamily,
                  ImageSizeLookup imageSize);

    PreparedChunk prepare(const QList<BlockItem>& blocks, int reopenedContainers,
                          const CollapsingMargin& leadingMargin);

    // Index into the chunk's styles of the style a run is drawn with; sizeOverride > 0 replaces
    // the style's own size (a paragraph's base style takes the paragraph's font size).
    int styleIndex(const TextStyle& style, double sizeOverride = 0);
    const PreparedStyle& style(int index) const { return chunk.styles[index]; }
    // The style index, or that of a copy whose metrics are grown to what text needs (glyphs from
    // a taller fallback font), so that lines holding it are as tall as their glyphs.
    int styleFor(int index, const QString& text);
    // Appends a run's text to the chunk's text; returns where it starts.
    int storeText(const QString& text);
    // The text a prepared run refers to.
    QStringView textOf(const PreparedRun& run) const { return ::textOf(chunk, run); }
    const ITextMeasurer& textMeasurer() const { return measurer; }
    double scale() const { return fontScale; }

    // The size an image run takes before it meets a column: its given size, completed from its
    // natural aspect, else its natural size, else an em square; then capped at its max width.
    QSizeF imageRunSize(const InlineRun& run);

private:
    BoxStyle scaledBox(const BoxStyle& box) const;

    const ITextMeasurer& measurer;
    const int fontSize;
    const QString fontFamily;
    const double fontScale;
    ImageSizeLookup imageSize;
    PreparedChunk chunk;
};
