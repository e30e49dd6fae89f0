#include "formats/SfntFont.h"

#include <QtEndian>

#include <algorithm>

namespace {

constexpr quint32 kCollection = SfntFont::tag("ttcf");
constexpr quint32 kHead = SfntFont::tag("head");
constexpr quint32 kName = SfntFont::tag("name");
constexpr quint32 kOs2 = SfntFont::tag("OS/2");

quint16 u16(const QByteArray& bytes, qsizetype at)
{
    return at >= 0 && at + 2 <= bytes.size() ? qFromBigEndian<quint16>(bytes.constData() + at) : 0;
}

quint32 u32(const QByteArray& bytes, qsizetype at)
{
    return at >= 0 && at + 4 <= bytes.size() ? qFromBigEndian<quint32>(bytes.constData() + at) : 0;
}

void put16(QByteArray& out, quint16 value)
{
    char bytes[2];
    qToBigEndian(value, bytes);
    out.append(bytes, 2);
}

void put32(QByteArray& out, quint32 value)
{
    char bytes[4];
    qToBigEndian(value, bytes);
    out.append(bytes, 4);
}

quint32 checksum(const QByteArray& data)
{
    quint32 sum = 0;
    for (qsizetype at = 0; at < data.size(); at += 4) {
        quint32 word = 0;
        for (qsizetype i = 0; i < 4; ++i)
            word = word << 8 | (at + i < data.size() ? quint8(data[at + i]) : 0);
        sum += word;
    }
    return sum;
}

// A name record's text: UTF-16 on the Unicode and Windows platforms, Mac Roman (read as Latin-1,
// which it matches in ASCII) on the Macintosh one.
QString nameText(quint16 platform, const QByteArray& raw)
{
    if (platform == 1)
        return QString::fromLatin1(raw);
    QString text;
    for (qsizetype at = 0; at + 1 < raw.size(); at += 2)
        text.append(QChar(u16(raw, at)));
    return text;
}

// The best record of this name id: Windows US English first, then any Windows or Unicode one,
// then a Macintosh one.
QString nameOf(const QByteArray& name, quint16 id)
{
    const quint16 count = u16(name, 2);
    const quint16 strings = u16(name, 4);
    QString best;
    int bestRank = 0;
    for (quint16 i = 0; i < count; ++i) {
        const qsizetype record = 6 + qsizetype(i) * 12;
        if (u16(name, record + 6) != id)
            continue;
        const quint16 platform = u16(name, record);
        const int rank = platform == 3 && u16(name, record + 4) == 0x409 ? 3 : platform == 3 || platform == 0 ? 2 : 1;
        const qsizetype at = qsizetype(strings) + u16(name, record + 10);
        const qsizetype length = u16(name, record + 8);
        if (rank <= bestRank || at + length > name.size())
            continue;
        const QString text = nameText(platform, name.mid(at, length)).trimmed();
        if (!text.isEmpty()) {
            best = text;
            bestRank = rank;
        }
    }
    return best;
}

} // namespace

bool SfntFont::parse(const QByteArray& bytes, SfntFont* out)
{
    qsizetype start = 0;
    if (u32(bytes, 0) == kCollection) {
        if (u32(bytes, 8) == 0)
            return false;
        start = u32(bytes, 12);
    }
    const quint32 version = u32(bytes, start);
    if (!isVersion(version))
        return false;
    const quint16 count = u16(bytes, start + 4);
    if (count == 0 || count > kMaxTables || start + 12 + qsizetype(count) * 16 > bytes.size())
        return false;
    SfntFont font;
    font.version = version;
    qint64 total = 0;
    for (quint16 i = 0; i < count; ++i) {
        const qsizetype record = start + 12 + qsizetype(i) * 16;
        const qint64 offset = u32(bytes, record + 8);
        const qint64 length = u32(bytes, record + 12);
        // Tables do not overlap: a directory whose tables add up to more than the file is hostile.
        total += length;
        if (offset + length > bytes.size() || total > bytes.size())
            return false;
        font.tables.append({ u32(bytes, record), bytes.mid(offset, length) });
    }
    // The name table is required: a font without one cannot be told its family, nor given one.
    if (font.table(kName).isEmpty())
        return false;
    *out = std::move(font);
    return true;
}

bool SfntFont::isVersion(quint32 version)
{
    return version == 0x00010000 || version == tag("OTTO") || version == tag("true");
}

QByteArray SfntFont::table(quint32 wanted) const
{
    for (const Table& t : tables) {
        if (t.tag == wanted)
            return t.data;
    }
    return QByteArray();
}

QString SfntFont::family() const
{
    const QByteArray name = table(kName);
    const QString typographic = nameOf(name, 16);
    return typographic.isEmpty() ? nameOf(name, 1) : typographic;
}

int SfntFont::weight() const
{
    const quint16 weight = u16(table(kOs2), 4);
    return weight == 0 ? 400 : std::clamp(int(weight), 1, 1000);
}

bool SfntFont::italic() const
{
    const QByteArray os2 = table(kOs2);
    if (os2.size() >= 64)
        return (u16(os2, 62) & 0x0201) != 0; // ITALIC or OBLIQUE
    return (u16(table(kHead), 44) & 0x2) != 0;
}

void SfntFont::rename(const QString& newFamily)
{
    const QByteArray old = table(kName);
    QString subfamily = nameOf(old, 17);
    if (subfamily.isEmpty())
        subfamily = nameOf(old, 2);
    if (subfamily.isEmpty())
        subfamily = QStringLiteral("Regular");
    QString postScript = newFamily + u'-' + subfamily;
    postScript.remove(u' ');
    const QString names[] = { newFamily, subfamily, newFamily + u' ' + subfamily, postScript };
    const quint16 ids[] = { 1, 2, 4, 6 };

    QByteArray strings;
    QByteArray name;
    put16(name, 0);
    put16(name, 4);
    put16(name, 6 + 4 * 12);
    for (int i = 0; i < 4; ++i) {
        put16(name, 3);      // Windows
        put16(name, 1);      // Unicode BMP
        put16(name, 0x409);  // US English
        put16(name, ids[i]);
        put16(name, quint16(names[i].size() * 2));
        put16(name, quint16(strings.size()));
        for (const QChar c : names[i])
            put16(strings, c.unicode());
    }
    name += strings;
    tables.removeIf([](const Table& t) { return t.tag == kName; });
    tables.append({ kName, name });
}

QByteArray SfntFont::toBytes() const
{
    QList<Table> sorted = tables;
    std::sort(sorted.begin(), sorted.end(), [](const Table& a, const Table& b) { return a.tag < b.tag; });
    const quint16 count = quint16(sorted.size());
    quint16 power = 1, log = 0;
    while (power * 2 <= count) {
        power *= 2;
        ++log;
    }
    QByteArray out;
    put32(out, version);
    put16(out, count);
    put16(out, quint16(power * 16));
    put16(out, log);
    put16(out, quint16(count * 16 - power * 16));
    qsizetype offset = 12 + qsizetype(count) * 16;
    qsizetype headAt = -1;
    for (Table& t : sorted) {
        if (t.tag == kHead && t.data.size() >= 12) {
            t.data.replace(8, 4, QByteArray(4, '\0')); // the adjustment is left out of every sum
            headAt = offset;
        }
        put32(out, t.tag);
        put32(out, checksum(t.data));
        put32(out, quint32(offset));
        put32(out, quint32(t.data.size()));
        offset += (t.data.size() + 3) & ~qsizetype(3);
    }
    for (const Table& t : sorted) {
        out += t.data;
        out.append((4 - t.data.size() % 4) % 4, '\0');
    }
    if (headAt >= 0)
        qToBigEndian<quint32>(0xB1B0AFBA - checksum(out), out.data() + headAt + 8);
    return out;
}
