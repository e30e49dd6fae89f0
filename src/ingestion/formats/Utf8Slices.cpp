#include "formats/Utf8Slices.h"

#include "formats/ParallelFor.h"
#include "text/TextEncoding.h"

#include <QList>
#include <QtEndian>

#include <bit>
#include <cstring>

namespace {

constexpr qsizetype kMostSlices = 64;
constexpr quint64 kHighBits = 0x8080808080808080ULL;

// Each unit comes from a byte that is no continuation byte (10xxxxxx), and a lead of four bytes
// (11110xxx) gives a second one, the low surrogate.
qsizetype unitsOfEight(quint64 eight)
{
    const quint64 continuations = eight & ~(eight << 1) & kHighBits;
    const quint64 fourByteLeads = eight & (eight << 1) & (eight << 2) & (eight << 3) & kHighBits;
    return 8 - std::popcount(continuations) + std::popcount(fourByteLeads);
}

qsizetype unitsOfByte(unsigned char byte)
{
    return ((byte & 0xC0) != 0x80) + (byte >= 0xF0);
}

bool isContinuation(char byte)
{
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

// Where the slices begin and end (the last bound is size): each begins on a byte that is no
// continuation byte, or at the end.
QList<qsizetype> sliceBounds(const char* data, qsizetype size)
{
    const qsizetype count = qBound<qsizetype>(1, size / Utf8Slices::kSliceBytes, kMostSlices);
    QList<qsizetype> bounds{0};
    for (qsizetype k = 1; k < count; ++k) {
        qsizetype bound = qMax(bounds.last(), size * k / count);
        while (bound < size && isContinuation(data[bound]))
            ++bound;
        bounds.append(bound);
    }
    bounds.append(size);
    return bounds;
}

} // namespace

namespace Utf8Slices {

qsizetype unitsOfWellFormed(const char* data, qsizetype size)
{
    qsizetype units = 0;
    qsizetype i = 0;
    for (; i + 8 <= size; i += 8) {
        quint64 eight;
        std::memcpy(&eight, data + i, 8);
        units += (eight & kHighBits) == 0 ? 8 : unitsOfEight(eight);
    }
    for (; i < size; ++i)
        units += unitsOfByte(static_cast<unsigned char>(data[i]));
    return units;
}

qsizetype decodeInto(const QByteArray& text, char16_t* out, QThreadPool& pool)
{
    const qsizetype start = TextEncoding::utf8TextStart(text);
    if (start < 0)
        return -1;
    const char* const data = text.constData() + start;
    const qsizetype size = text.size() - start;
    if (size < 2 * kSliceBytes)
        return decodeWellFormedUtf8(data, size, out);
    const QList<qsizetype> bounds = sliceBounds(data, size);
    const qsizetype slices = bounds.size() - 1;
    // Counting is a small part of decoding: each slice then knows where its units go.
    QList<qsizetype> firstUnit(slices + 1, 0);
    qsizetype* const counted = firstUnit.data() + 1; // each call writes its own slice
    ParallelFor::run(pool, slices, [&](qsizetype k) {
        counted[k] = unitsOfWellFormed(data + bounds.at(k), bounds.at(k + 1) - bounds.at(k));
    });
    for (qsizetype k = 0; k < slices; ++k) {
        // Well-formed bytes never make more units than they are; the others are refused below,
        // and a count this large must not send a slice past the end of out.
        if (counted[k] > bounds.at(k + 1) - bounds.at(k))
            return -1;
        counted[k] += firstUnit.at(k);
    }
    QList<char> refused(slices, 0);
    char* const refusing = refused.data();
    ParallelFor::run(pool, slices, [&](qsizetype k) {
        const qsizetype written =
            decodeWellFormedUtf8(data + bounds.at(k), bounds.at(k + 1) - bounds.at(k), out + firstUnit.at(k));
        refusing[k] = written != firstUnit.at(k + 1) - firstUnit.at(k);
    });
    return refused.contains(1) ? -1 : firstUnit.last();
}

} // namespace Utf8Slices
