#pragma once

// An OpenType or TrueType font as its tables (the "sfnt" structure every TTF and OTF file has, and
// the one WOFF wraps): read from a file, told its family, weight and style, given another family
// name, and written back as a font file.
//
// A value type; any thread.

#include <QByteArray>
#include <QList>
#include <QString>

struct SfntFont {
    struct Table {
        quint32 tag = 0;
        QByteArray data;
    };

    // Fonts hold a few dozen tables; a directory of more is no font this reader takes.
    static constexpr int kMaxTables = 1024;

    quint32 version = 0; // 0x00010000 or "true" for TrueType outlines, "OTTO" for CFF
    QList<Table> tables;

    // The font of an sfnt file, or of the first font of a collection (TTC); false when bytes is
    // neither, a table lies outside it, or it has no name table.
    static bool parse(const QByteArray& bytes, SfntFont* out);
    static constexpr quint32 tag(const char (&name)[5])
    {
        return quint32(quint8(name[0])) << 24 | quint32(quint8(name[1])) << 16 | quint32(quint8(name[2])) << 8
            | quint8(name[3]);
    }

    // 0x00010000 or "true" (TrueType outlines) or "OTTO" (CFF): the versions a font file starts with.
    static bool isVersion(quint32 version);

    QByteArray table(quint32 tag) const;
    // The family name the font gives itself (the typographic family when it has one), empty when it
    // names none.
    QString family() const;
    int weight() const;  // usWeightClass of its OS/2 table, 400 without one
    bool italic() const; // italic or oblique by its OS/2 table (or by its head table without one)

    // Its name table replaced by one that calls it family (subfamily kept), so that no other font
    // answers to the names it had.
    void rename(const QString& family);
    // A font file of these tables, checksums included.
    QByteArray toBytes() const;
};
