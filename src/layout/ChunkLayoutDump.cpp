#include "ChunkLayoutDump.h"

namespace ChunkLayoutDump {

namespace {

QString number(double value)
{
    return QString::number(value, 'f', 2);
}

QString rect(const QRectF& r)
{
    return QStringLiteral("%1,%2 %3x%4").arg(number(r.x()), number(r.y()), number(r.width()),
                                            number(r.height()));
}

QString colour(const QColor& c)
{
    return c.isValid() ? c.name(QColor::HexArgb) : QStringLiteral("none");
}

} // namespace

QString lineText(const ChunkLayout& layout, const LayoutLine& line)
{
    QString text;
    bool gap = false;
    double previousRight = 0;
    for (const LayoutRun& run : line.runs) {
        if (!run.hasText()) {
            gap = true;
            continue;
        }
        // Word gaps are at least a shrunk space; the gaps that justify Chinese or Japanese
        // text are narrower and show no space.
        const double wordGap = 0.15 * layout.styleOf(run).font.pixelSize();
        if (!text.isEmpty() && (gap || run.x > previousRight + wordGap))
            text += u' ';
        text += layout.textOf(run);
        previousRight = run.x + run.width;
        gap = false;
    }
    const double bottom = line.y + line.height;
    for (const LayoutImage& image : layout.images) {
        const double middle = image.rect.center().y();
        if (middle >= line.y && middle < bottom) {
            if (!text.isEmpty())
                text += u' ';
            text += QStringLiteral("[image %1]").arg(image.source);
        }
    }
    return text;
}

QStringList lines(const ChunkLayout& layout, double top)
{
    QStringList out;
    out.reserve(layout.lines.size());
    for (const LayoutLine& line : layout.lines) {
        out.append(QStringLiteral("y=%1 h=%2 x=%3 w=%4 |%5|")
                       .arg(number(top + line.y), number(line.height), number(line.x), number(line.width),
                            lineText(layout, line)));
    }
    return out;
}

QStringList runs(const ChunkLayout& layout, double top)
{
    QStringList out;
    out.reserve(layout.lines.size());
    for (const LayoutLine& line : layout.lines) {
        QString text = QStringLiteral("y=%1").arg(number(top + line.y));
        for (const LayoutRun& run : line.runs) {
            QString shown = layout.textOf(run);
            if (run.hyphen)
                shown += u'-';
            text += QStringLiteral(" x=%1 w=%2 |%3|").arg(number(run.x), number(run.width), shown);
        }
        out.append(text);
    }
    return out;
}

QStringList full(const ChunkLayout& layout)
{
    QStringList out;
    out.append(QStringLiteral("chunk height=%1 width=%2").arg(number(layout.height), number(layout.width)));
    out += lines(layout);
    for (const LayoutImage& image : layout.images) {
        const QString inverted = image.invert > 0 ? QStringLiteral(" invert=%1").arg(number(image.invert)) : QString();
        out.append(QStringLiteral("image %1 %2%3").arg(rect(image.rect), image.source, inverted));
    }
    for (const LayoutRule& rule : layout.rules)
        out.append(QStringLiteral("rule %1 %2").arg(rect(rule.rect), colour(rule.colour)));
    for (const LayoutBox& box : layout.boxes) {
        out.append(QStringLiteral("box %1 bg=%2 border=%3 l=%4 t=%5 b=%6 r=%7")
                       .arg(rect(box.rect), colour(box.background), colour(box.borderColour),
                            number(box.left), number(box.top), number(box.bottom), number(box.right)));
    }
    return out;
}

} // namespace ChunkLayoutDump
