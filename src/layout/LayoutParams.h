#pragma once

// What a chunk layout depends on besides the prepared chunk, as the reading model passes it.
// A plain value; any thread.

#include <QString>

struct LayoutParams {
    // What no reading setting reaches. The layout engine holds every request to the maximum width
    // and line height (more only asks for lines, bands and textures no screen can show); the
    // reading model also holds its column to the minimum width, below which every word stands on
    // a line of its own.
    static constexpr double kMinWidth = 100;
    static constexpr double kMaxWidth = 20000;
    static constexpr double kMaxLineHeight = 4000; // pixels, the reader's spacing times its font's

    double width = 600;      // content width in pixels
    int fontSize = 16;       // the reader's font size in pixels
    double lineHeight = 1.0; // the reader's line-spacing factor (1.0 = the font's own line spacing)
    QString fontFamily;      // face of text that names no family; empty = the default serif face
};
