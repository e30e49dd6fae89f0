#pragma once

// Registers font files embedded in books with the application font database, once per font data:
// reopening a book, or two books shipping the same font, reuse the first registration instead of
// adding the same font again (registrations are process-wide and never removed).
//
// Any thread: the table of registered fonts is process-wide and guarded by a mutex.

#include <QByteArray>

class EmbeddedFonts {
public:
    // The font id from QFontDatabase::addApplicationFontFromData, or -1 when the data is not a
    // font; the same data yields the same id without a second registration.
    static int add(const QByteArray& data);
};
