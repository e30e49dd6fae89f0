#include "TestRar.h"

#include <QFile>

#include <zlib.h>

namespace TestRar {
namespace {

quint32 crc(const QByteArray& bytes)
{
    return quint32(crc32(0, reinterpret_cast<const Bytef*>(bytes.constData()), uInt(bytes.size())));
}

void putLe(QByteArray& out, quint64 value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(char((value >> (8 * i)) & 0xff));
}

// ---- RAR 4: fixed little-endian fields, a 16-bit header CRC (the low half of a CRC32) ----

constexpr int kRar4Main = 0x73, kRar4File = 0x74, kRar4End = 0x7b;
constexpr int kRar4LongBlock = 0x8000, kRar4Unicode = 0x0200, kRar4DirectoryFlags = 0x00e0;
constexpr int kRar4HostWin32 = 2, kRar4Version = 29, kRar4Stored = 0x30;
constexpr quint32 kDosTime2020 = (40u << 25) | (1u << 21) | (1u << 16);

// type, flags, size and the body; the CRC covers everything after itself.
QByteArray rar4Block(int type, int flags, const QByteArray& body)
{
    QByteArray header;
    header.append(char(type));
    putLe(header, quint64(flags), 2);
    putLe(header, quint64(7 + body.size()), 2);
    header += body;
    QByteArray block;
    putLe(block, crc(header) & 0xffff, 2);
    return block + header;
}

// The Unicode name form: an ASCII stand-in, a zero, then every UTF-16 unit spelled out in full
// (flag 2: low byte, high byte), four units to a flag byte.
QByteArray rar4UnicodeName(const QString& name)
{
    QByteArray out;
    for (QChar c : name)
        out.append(c.unicode() < 0x80 ? char(c.unicode()) : '_');
    out.append('\0');
    out.append('\0'); // high byte, unused by flag 2
    for (qsizetype i = 0; i < name.size(); i += 4) {
        out.append(char(0xaa));
        for (qsizetype j = i; j < qMin(i + 4, name.size()); ++j)
            putLe(out, name.at(j).unicode(), 2);
    }
    return out;
}

QByteArray rar4(const QList<Entry>& entries)
{
    QByteArray out("Rar!\x1a\x07\x00", 7);
    out += rar4Block(kRar4Main, 0, QByteArray(6, '\0'));
    for (const Entry& entry : entries) {
        int flags = kRar4LongBlock;
        QByteArray name;
        if (!entry.legacyName.isEmpty()) {
            name = entry.legacyName;
        } else {
            name = entry.name.toLatin1();
            if (name != entry.name.toUtf8()) {
                name = rar4UnicodeName(entry.name);
                flags |= kRar4Unicode;
            }
        }
        if (entry.directory)
            flags |= kRar4DirectoryFlags;
        const qint64 unpacked = entry.declaredSize >= 0 ? entry.declaredSize : entry.data.size();
        QByteArray body;
        putLe(body, quint64(entry.data.size()), 4);
        putLe(body, quint64(unpacked), 4);
        body.append(char(kRar4HostWin32));
        putLe(body, crc(entry.data), 4);
        putLe(body, kDosTime2020, 4);
        body.append(char(kRar4Version));
        body.append(char(kRar4Stored));
        putLe(body, quint64(name.size()), 2);
        putLe(body, entry.directory ? 0x10 : 0x20, 4);
        body += name;
        out += rar4Block(kRar4File, flags, body) + entry.data;
    }
    out += rar4Block(kRar4End, 0x4000, QByteArray());
    return out;
}

// ---- RAR 5: variable-length integers, a CRC32 over each header ----

constexpr int kRar5Main = 1, kRar5File = 2, kRar5End = 5;
constexpr int kRar5HasData = 0x0002;
constexpr int kRar5Directory = 0x0001, kRar5HasCrc = 0x0004;

void putVint(QByteArray& out, quint64 value)
{
    do {
        char byte = char(value & 0x7f);
        value >>= 7;
        if (value)
            byte = char(byte | 0x80);
        out.append(byte);
    } while (value);
}

// CRC32, header size, then the header (type, flags, fields); the CRC covers size and header.
QByteArray rar5Block(int type, int flags, const QByteArray& fields)
{
    QByteArray header;
    putVint(header, quint64(type));
    putVint(header, quint64(flags));
    header += fields;
    QByteArray sized;
    putVint(sized, quint64(header.size()));
    sized += header;
    QByteArray block;
    putLe(block, crc(sized), 4);
    return block + sized;
}

QByteArray rar5(const QList<Entry>& entries)
{
    QByteArray out("Rar!\x1a\x07\x01\x00", 8);
    QByteArray mainFields;
    putVint(mainFields, 0); // archive flags
    out += rar5Block(kRar5Main, 0, mainFields);
    for (const Entry& entry : entries) {
        const QByteArray name = entry.name.toUtf8();
        const qint64 unpacked = entry.declaredSize >= 0 ? entry.declaredSize : entry.data.size();
        QByteArray fields;
        putVint(fields, quint64(entry.data.size()));                          // data size
        putVint(fields, entry.directory ? kRar5Directory : kRar5HasCrc);       // file flags
        putVint(fields, quint64(unpacked));
        putVint(fields, entry.directory ? 0x10 : 0x20);                       // attributes
        if (!entry.directory)
            putLe(fields, crc(entry.data), 4);
        putVint(fields, 0);                                                   // stored, version 0
        putVint(fields, 0);                                                   // host: Windows
        putVint(fields, quint64(name.size()));
        fields += name;
        out += rar5Block(kRar5File, kRar5HasData, fields) + entry.data;
    }
    QByteArray endFields;
    putVint(endFields, 0);
    out += rar5Block(kRar5End, 0, endFields);
    return out;
}

} // namespace

QByteArray build(Format format, const QList<Entry>& entries)
{
    return format == Format::Rar4 ? rar4(entries) : rar5(entries);
}

bool write(const QString& path, Format format, const QList<Entry>& entries)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray bytes = build(format, entries);
    return file.write(bytes) == bytes.size();
}

} // namespace TestRar
