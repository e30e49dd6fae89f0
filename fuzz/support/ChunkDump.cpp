#include "ChunkDump.h"

#include "ChunkChecks.h"

#include <cstdio>

namespace ChunkDump {

namespace {

QString number(double value)
{
    return QString::number(value, 'g', 17);
}

QString colour(const QColor& value)
{
    return value.isValid() ? value.name(QColor::HexArgb) : QStringLiteral("none");
}

QString style(const TextStyle& s)
{
    return QStringLiteral("{%1 %2 %3 i%4 sc%5 t%6 ls%7 u%8 s%9 o%10 a%11 %12 %13 b%14}")
        .arg(s.families.join(u','), number(s.size), QString::number(s.weight), QString::number(s.italic),
             QString::number(s.smallCaps), QString::number(s.textTransform), number(s.letterSpacing),
             QString::number(s.underline), QString::number(s.lineThrough))
        .arg(QString::number(s.overline), QString::number(s.link), colour(s.colour), colour(s.background),
             number(s.baselineShift));
}

QString box(const BoxStyle& b)
{
    QStringList sides;
    for (const double side : { b.marginTop, b.marginBottom, b.marginLeft, b.marginRight, b.paddingTop, b.paddingBottom,
                               b.paddingLeft, b.paddingRight, b.borderTop, b.borderBottom, b.borderLeft, b.borderRight })
        sides.append(number(side));
    return QStringLiteral("[%1 %2 %3]").arg(sides.join(u' '), colour(b.borderColour), colour(b.background));
}

QString run(const InlineRun& r)
{
    return QStringLiteral("(%1 \"%2\" %3 %4 %5 %6 %7)")
        .arg(QString::number(r.kind), r.text, style(r.style), r.url, number(r.width), number(r.height), number(r.maxWidth));
}

} // namespace

QStringList blocks(const QList<BlockItem>& items)
{
    QStringList out;
    for (const BlockItem& item : items) {
        QString line = QStringLiteral("%1 %2 a%3 %4 %5 %6 p%7 '%8' %9 %10")
                           .arg(QString::number(item.kind), box(item.box), QString::number(int(item.align)),
                                number(item.indent), number(item.lineHeight), number(item.fontSize),
                                QString::number(item.preformatted), item.marker, style(item.style))
                           .arg(colour(item.ruleColour));
        for (const InlineRun& r : item.runs)
            line += u' ' + run(r);
        out.append(line);
    }
    return out;
}

QList<BlockItem> documentBlocks(const QList<ContentChunk>& chunks)
{
    QList<BlockItem> result;
    for (qsizetype i = 0; i < chunks.size(); ++i) {
        const QList<BlockItem>& items = chunks[i].blocks;
        const qsizetype closedByCut = i + 1 < chunks.size() ? chunks[i + 1].reopenedContainers : 0;
        const qsizetype from = qMin<qsizetype>(chunks[i].reopenedContainers, items.size());
        const qsizetype to = qMax(from, items.size() - closedByCut);
        result.append(items.mid(from, to - from));
    }
    return result;
}

void requireSame(const QStringList& expected, const QStringList& actual, const char* what)
{
    if (expected == actual)
        return;
    for (qsizetype i = 0; i < qMax(expected.size(), actual.size()); ++i) {
        const QString a = expected.value(i, QStringLiteral("<none>"));
        const QString b = actual.value(i, QStringLiteral("<none>"));
        if (a != b) {
            std::fprintf(stderr, "fuzz: entry %lld differs:\n  %s\n  %s\n", static_cast<long long>(i),
                         qPrintable(a.left(2000)), qPrintable(b.left(2000)));
            break;
        }
    }
    ChunkChecks::require(false, what);
}

} // namespace ChunkDump
