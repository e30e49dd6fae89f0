#include "TestWoff.h"

#include "formats/SfntFont.h"

#include <QtEndian>

#include <zlib.h>

namespace {

void put32(QByteArray& out, quint32 value)
{
    char bytes[4];
    qToBigEndian(value, bytes);
    out.append(bytes, 4);
}

QByteArray compressed(const QByteArray& data)
{
    uLongf size = compressBound(uLong(data.size()));
    QByteArray packed(qsizetype(size), Qt::Uninitialized);
    if (::compress(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(data.constData()),
                   uLong(data.size())) != Z_OK)
        return data;
    return qsizetype(size) < data.size() ? packed.left(qsizetype(size)) : data;
}

} // namespace

QByteArray TestWoff::fromSfnt(const QByteArray& sfnt, bool compress)
{
    SfntFont font;
    if (!SfntFont::parse(sfnt, &font))
        return QByteArray();
    QByteArray directory, data;
    const qsizetype dataStart = 44 + font.tables.size() * 20;
    for (const SfntFont::Table& table : std::as_const(font.tables)) {
        const QByteArray stored = compress ? compressed(table.data) : table.data;
        put32(directory, table.tag);
        put32(directory, quint32(dataStart + data.size()));
        put32(directory, quint32(stored.size()));
        put32(directory, quint32(table.data.size()));
        put32(directory, 0); // checksum: not checked by readers
        data += stored;
        data.append((4 - stored.size() % 4) % 4, '\0');
    }
    QByteArray woff;
    put32(woff, SfntFont::tag("wOFF"));
    put32(woff, font.version);
    put32(woff, quint32(dataStart + data.size()));
    put32(woff, quint32(font.tables.size()) << 16);
    put32(woff, quint32(font.toBytes().size()));
    woff.append(24, '\0'); // version, metadata and private blocks: none
    return woff + directory + data;
}
