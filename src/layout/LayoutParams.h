#pragma once

// What a chunk layout depends on besides the prepared chunk, as the reading model passes it.
// A plain value; any thread.

#include <QString>

struct LayoutParams {
    double width = 600;      // content width in pixels
    int fontSize = 16;       // the reader's font size in pixels
    double lineHeight = 1.0; // the reader's line-spacing factor (1.0 = the font's own line spacing)
    QString fontFamily;      // face of text that names no family; empty = the default serif face
};
