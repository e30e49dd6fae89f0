#pragma once

// What preparing one paragraph needs from the chunk it goes into: the chunk's styles and text,
// the measurer and the image sizes. ChunkPreparer provides it to each ParagraphPreparer, so the
// paragraph stage does not depend on the chunk stage that drives it.
//
// Called on the thread preparing the chunk only.

#include "content/ContentModel.h"
#include "ITextMeasurer.h"
#include "PreparedChunk.h"

#include <QSizeF>
#include <QString>
#include <QStringView>

class IParagraphContext {
public:
    virtual ~IParagraphContext() = default;

    // Index into the chunk's styles of the style a run is drawn with; sizeOverride > 0 replaces
    // the style's own size (a paragraph's base style takes the paragraph's font size).
    virtual int styleIndex(const TextStyle& style, double sizeOverride = 0) = 0;
    virtual const PreparedStyle& style(int index) const = 0;
    // The style index, or that of a copy whose metrics are grown to what text needs (glyphs from
    // a taller fallback font), so that lines holding it are as tall as their glyphs.
    virtual int styleFor(int index, const QString& text) = 0;
    // Appends a run's text to the chunk's text; returns where it starts.
    virtual int storeText(const QString& text) = 0;
    // The text a prepared run refers to.
    virtual QStringView textOf(const PreparedRun& run) const = 0;
    virtual const ITextMeasurer& textMeasurer() const = 0;
    // The reader's font size over the books' kBookFontSize.
    virtual double scale() const = 0;
    // The size an image run takes before it meets a column: its given size, completed from its
    // natural aspect, else its natural size, else an em square; then capped at its max width.
    virtual QSizeF imageRunSize(const InlineRun& run) = 0;
};
