#pragma once

// A font as the layout asks for it: a plain value, so that every thread builds its own QFont
// from it. QFont caches its font engine inside the private data its copies share, so a QFont
// must not be measured or drawn with in two threads at once; passing FontRequest values instead
// keeps each thread on fonts it made itself.
//
// Any thread may use any FontRequest; toFont() returns a font no other thread holds.

#include <QFont>
#include <QHashFunctions>
#include <QString>

struct FontRequest {
    QString family;          // first CSS family; "serif", "sans-serif", "monospace" are generic
    int pixelSize = 16;
    int weight = 400;        // CSS weight 100..900
    bool italic = false;
    bool smallCaps = false;
    double letterSpacing = 0; // extra pixels after every character

    QFont toFont() const;

    friend bool operator==(const FontRequest&, const FontRequest&) = default;
};

size_t qHash(const FontRequest& request, size_t seed = 0) noexcept;
