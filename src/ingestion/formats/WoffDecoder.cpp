#include "formats/WoffDecoder.h"

#include <QtEndian>

#include <woff2/decode.h>
#include <zlib.h>

namespace WoffDecoder {

namespace {

constexpr quint32 kWoff = SfntFont::tag("wOFF");
constexpr quint32 kWoff2 = SfntFont::tag("wOF2");
constexpr qsizetype kHeaderSize = 44;
constexpr qsizetype kEntrySize = 20;

quint32 u32(const QByteArray& bytes, qsizetype at)
{
    return at >= 0 && at + 4 <= bytes.size() ? qFromBigEndian<quint32>(bytes.constData() + at) : 0;
}

// WOFF 1.0: a header, a directory of tables and the tables, each zlib-compressed unless that
// would not make it smaller.
bool decodeWoff(const QByteArray& bytes, SfntFont* out)
{
    if (bytes.size() < kHeaderSize)
        return false;
    const quint16 count = quint16(u32(bytes, 12) >> 16);
    const quint32 sfntSize = u32(bytes, 16);
    if (count == 0 || count > SfntFont::kMaxTables || kHeaderSize + qsizetype(count) * kEntrySize > bytes.size()
        || sfntSize > kMaxFontBytes)
        return false;
    SfntFont font;
    font.version = u32(bytes, 4); // the flavour: the version of the font inside
    if (!SfntFont::isVersion(font.version))
        return false;
    qint64 total = 0;
    for (quint16 i = 0; i < count; ++i) {
        const qsizetype entry = kHeaderSize + qsizetype(i) * kEntrySize;
        const qint64 offset = u32(bytes, entry + 4);
        const qint64 stored = u32(bytes, entry + 8);
        const quint32 length = u32(bytes, entry + 12);
        total += length;
        if (offset + stored > bytes.size() || stored > length || total > sfntSize)
            return false;
        SfntFont::Table table { u32(bytes, entry), bytes.mid(offset, stored) };
        if (stored < length) {
            QByteArray plain(length, Qt::Uninitialized);
            uLongf size = length;
            if (uncompress(reinterpret_cast<Bytef*>(plain.data()), &size,
                           reinterpret_cast<const Bytef*>(table.data.constData()), uLong(stored)) != Z_OK
                || size != length)
                return false;
            table.data = std::move(plain);
        }
        font.tables.append(std::move(table));
    }
    if (font.table(SfntFont::tag("name")).isEmpty())
        return false; // as SfntFont::parse: a font must name itself
    *out = std::move(font);
    return true;
}

bool decodeWoff2(const QByteArray& bytes, SfntFont* out)
{
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.constData());
    const size_t size = woff2::ComputeWOFF2FinalSize(data, size_t(bytes.size()));
    if (size == 0 || size > size_t(kMaxFontBytes))
        return false;
    QByteArray sfnt(qsizetype(size), Qt::Uninitialized);
    if (!woff2::ConvertWOFF2ToTTF(reinterpret_cast<uint8_t*>(sfnt.data()), size, data, size_t(bytes.size())))
        return false;
    return SfntFont::parse(sfnt, out);
}

} // namespace

bool decode(const QByteArray& bytes, SfntFont* out)
{
    switch (u32(bytes, 0)) {
    case kWoff:
        return decodeWoff(bytes, out);
    case kWoff2:
        return decodeWoff2(bytes, out);
    default:
        return SfntFont::parse(bytes, out);
    }
}

qint64 decodedSize(const QByteArray& bytes)
{
    switch (u32(bytes, 0)) {
    case kWoff:
        return bytes.size() >= kHeaderSize ? qint64(u32(bytes, 16)) : -1;
    case kWoff2: {
        const size_t size = woff2::ComputeWOFF2FinalSize(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                                         size_t(bytes.size()));
        return size == 0 ? -1 : qint64(size);
    }
    default:
        return bytes.isEmpty() ? -1 : bytes.size();
    }
}

} // namespace WoffDecoder
