#pragma once

// Where a book's reader stopped, with the three viewing choices kept per book. A plain value.

struct BookPosition {
    int chunkIndex = 0;          // chunk (text) or comic page (pages) at the top of the view
    double intraOffset = 0.0;    // pixel offset of the view's top inside that chunk (0 for pages)
    double progress = 0.0;       // as last reported by the view, in [0, 1]
    bool pageShift = true;       // comic pairing shifted by one page
    bool mangaRTL = true;        // comic read right to left
    bool useBookColours = false; // paint text with the book's own colours
};
