#pragma once

// Registers the fonts embedded in books with the application font database under family names of
// their own ("Vellora Book Font 12"), never under the names inside the files: a book's subset of
// "DejaVu Sans" must not stand in for the installed DejaVu Sans in the interface or in other
// books. Only the text of the book that declares a font names its family (see BookFontFaces), so
// no other text resolves to it.
//
// Registrations stay for the life of the process, and so do the bytes of those registered from
// memory: the first 16 MB of fonts are, so that the threads that lay out text share one copy of
// each; every font past them is registered from a file of its own in a temporary folder, which
// FreeType maps only while text is drawn in it. Qt 6.4 cannot take an application font back
// while a Qt Quick window shows text: QFontDatabase::removeApplicationFont leaves the interface's
// text layouts holding FreeType faces it has freed, and the application crashes soon after. Each
// font data is registered once: reopening a book, or two books shipping the same font, reuse the
// first registration.
//
// Any thread: the table of registered fonts is process-wide and guarded by a mutex.

#include <QByteArray>
#include <QString>

class EmbeddedFonts {
public:
    struct Font {
        QString family;    // the family it is registered under; empty when the data is no font
        QString ownFamily; // the family the font file calls itself
        int weight = 400;  // by the file
        bool italic = false;
    };

    // Registers a font file: TrueType or OpenType, the first font of a collection, WOFF or WOFF2.
    // The same data again gives the same font without a second registration.
    static Font add(const QByteArray& data);
};
