#include "FuzzBundle.h"

namespace {

constexpr char marker[] = "--- ";
constexpr qsizetype markerLength = sizeof marker - 1;

// The start of the next marker line at or after from, or -1.
qsizetype nextMarker(const QByteArray& input, qsizetype from)
{
    for (qsizetype at = input.indexOf(marker, from); at >= 0; at = input.indexOf(marker, at + 1)) {
        if (at == 0 || input.at(at - 1) == '\n')
            return at;
    }
    return -1;
}

} // namespace

namespace FuzzBundle {

QList<FuzzPart> split(const QByteArray& input)
{
    QList<FuzzPart> parts;
    qsizetype at = nextMarker(input, 0);
    if (at != 0) {
        const QByteArray head = at < 0 ? input : input.left(at);
        if (!head.isEmpty())
            parts.append({ QString(), head });
    }
    while (at >= 0) {
        const qsizetype nameEnd = input.indexOf('\n', at);
        const qsizetype nameStop = nameEnd < 0 ? input.size() : nameEnd;
        FuzzPart part;
        part.name = QString::fromUtf8(input.mid(at + markerLength, nameStop - at - markerLength));
        const qsizetype dataStart = nameEnd < 0 ? input.size() : nameEnd + 1;
        at = nextMarker(input, dataStart);
        part.data = input.mid(dataStart, (at < 0 ? input.size() : at) - dataStart);
        parts.append(part);
    }
    return parts;
}

QByteArray join(const QList<FuzzPart>& parts)
{
    QByteArray input;
    for (const FuzzPart& part : parts) {
        if (!part.name.isEmpty() || !input.isEmpty())
            input += marker + part.name.toUtf8() + '\n';
        input += part.data;
        if (!input.endsWith('\n'))
            input += '\n';
    }
    return input;
}

} // namespace FuzzBundle
