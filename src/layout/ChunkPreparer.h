#pragma once

// Chunk preparation: turns a chunk's blocks into measured Knuth-Plass items (PreparedChunk).
// Styles become fonts scaled to the reader's font size (fontSize / kBookFontSize), words become boxes,
// spaces glue whose stretch and shrink follow the font's space width, soft hyphens, dashes,
// images and line breaks become the penalties and forced breaks between them.
//
// One preparer serves one prepare() call on one thread; the measurer and the image-size lookup
// it is given must be callable from that thread (ChunkLayoutEngine runs it on any thread).

#include "IParagraphContext.h"

#include <QString>

#include <functional>

class ChunkPreparer : public IParagraphContext {
public:
    // The natural size of an image, (-1, -1) when unknown.
    using ImageSizeLookup = std::function<QSizeF(const QString& url)>;

    ChunkPreparer(const ITextMeasurer& measurer, int fontSize, const QString& fontFamily,
                  ImageSizeLookup imageSize);

    PreparedChunk prepare(const QList<BlockItem>& blocks, int reopenedContainers,
                          const CollapsingMargin& leadingMargin);

    // IParagraphContext: the chunk being prepared, for its paragraphs.
    int styleIndex(const TextStyle& style, double sizeOverride = 0) override;
    const PreparedStyle& style(int index) const override { return m_chunk.styles[index]; }
    int styleFor(int index, const QString& text) override;
    int storeText(const QString& text) override;
    QStringView textOf(const PreparedRun& run) const override { return ::textOf(m_chunk, run); }
    const ITextMeasurer& textMeasurer() const override { return m_measurer; }
    double scale() const override { return m_fontScale; }
    QSizeF imageRunSize(const InlineRun& run) override;

private:
    BoxStyle scaledBox(const BoxStyle& box) const;

    const ITextMeasurer& m_measurer;
    const int m_fontSize;
    const QString m_fontFamily;
    const double m_fontScale;
    ImageSizeLookup m_imageSize;
    PreparedChunk m_chunk;
};
