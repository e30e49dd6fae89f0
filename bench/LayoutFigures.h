#pragma once

// The layout figures of vellora-bench for one text book: the real layout path (preparation and
// layout of every chunk on the global thread pool, as the reading model runs them, after the
// first window on the calling thread) timed and summed, and the adjustment ratios of total-fit
// and first-fit breaking on the same measured items. A book too large to keep its prepared
// chunks (PreparedRetention) is measured in one pass, each chunk prepared, laid out and dropped
// by one task, and its relayout prepares every chunk again, as the reader's does.
//
// Images are measured through the given resolver, as the reading model measures them; with none
// they keep the sizes the book gives, or a placeholder. Call from the GUI thread of a QGuiApplication (the Qt measurer needs one).

#include "content/ContentModel.h"
#include "IBookImageResolver.h"

#include <QStringList>

class LayoutFigures {
public:
    struct Options {
        int width = 600;
        int fontSize = 16;
        double lineSpacing = 1.0;
        bool dumpLines = false;
        bool dumpRuns = false; // each line's runs with their x and width, in place of dumpLines

        // Takes "--width N", "--font-size N", "--line-spacing X", "--dump-lines" and "--dump-runs" out of
        // arguments; false, with a message in error, for a missing or bad value.
        static bool takeFrom(QStringList& arguments, Options& options, QString* error);
    };

    // Fields in this order: vpages, first_window_ms, prepare_ms, layout_ms, relayout_ms, lines,
    // height_px, images, image_size_ms, ratio_mean, ratio_p95, greedy_ratio_mean, greedy_ratio_p95,
    // layout_bytes ("key=value"). images counts the images laid out; image_size_ms is the time the
    // resolver spent learning sizes, summed over threads; layout_bytes estimates the heap the
    // prepared chunks and the layouts at the given width hold together (LayoutBytes), as the
    // reading model holds them: the first window's layouts whole, the others' heights only.
    // openMs is the time the book took to open; the first window adds to it. Ratios are absolute,
    // over the lines of justified paragraphs that do not end a paragraph or a forced line, and
    // leave out lines with nothing to stretch or shrink. relayout_ms lays every chunk out again
    // at four fifths of the width, once the first set of layouts is released: a reader holds one
    // set, and so does the memory high-water mark.
    static LayoutFigures measure(const QList<ContentChunk>& chunks, double openMs, const Options& options,
                                 IBookImageResolver* resolver = nullptr);

    QStringList fields;
    QStringList dump; // with dumpLines: "<chunk>.<line> y=.. h=.. x=.. w=.. |text|", one per line,
                      // y in the whole column (the chunks stacked), the words in visual order;
                      // with dumpRuns: "<chunk>.<line> y=.. x=.. w=.. |run| ...", one per line
};
