#include "html/MathLinearizer.h"

#include "html/CellSeparator.h"
#include "text/HtmlWhiteSpace.h"

namespace {

// Scripts are set smaller, down to half the formula's size, and moved as CSS moves sub and sup.
constexpr double kScriptScale = 0.75;
constexpr double kSmallestScale = 0.5;
constexpr double kSubscriptDrop = 0.2;
constexpr double kSuperscriptRise = 0.33;

// Between the lines of two parts set side by side, below their first line.
const QString kPartGap = QStringLiteral("\u2003 ");

QString collapsedText(const QString& text)
{
    bool space = true;
    QString collapsed = collapseHtmlSpaces(text, space);
    if (collapsed.endsWith(u' '))
        collapsed.chop(1);
    return collapsed;
}

// Relations read with a space on either side.
bool isRelation(const QString& op)
{
    static const QString relations = QStringLiteral(
        "=<>\u2264\u2265\u2260\u2248\u2261\u223C\u2245\u221D\u2208\u2209\u2282\u2283\u2286\u2287"
        "\u2192\u2190\u2194\u21D2\u21D0\u21D4\u21A6");
    return op.size() == 1 && relations.contains(op[0]);
}

// Binary operators too, unless they stand first or after another operator (a sign: "-x").
bool isBinaryOperator(const QString& op)
{
    static const QString binary = QStringLiteral("+-\u2212\u00B1\u2213\u00D7\u00F7\u22C5\u00B7\u222A\u2229\u2218\u2295\u2297");
    return op.size() == 1 && binary.contains(op[0]);
}

class Linearizer {
public:
    explicit Linearizer(const MathTree& tree) : m_tree(tree) {}

    QList<MathPiece> pieces;
    qsizetype length = 0; // of the text of all pieces

    struct Place {
        double scale = 1;
        double shift = 0;

        Place script(double direction) const
        {
            return { std::max(scale * kScriptScale, kSmallestScale),
                     shift + direction * scale * (direction > 0 ? kSuperscriptRise : kSubscriptDrop) };
        }
    };

    void element(int node, Place place, int depth)
    {
        if (depth > MathLinearizer::kMaxDepth) {
            text(m_tree.text(node), place);
            text(QStringLiteral(" "), place);
            return;
        }
        const QString& name = m_tree.localName(node);
        const QList<int> children = m_tree.childElements(node);
        const auto child = [&](qsizetype i, Place at) {
            if (i < children.size())
                element(children[i], at, depth + 1);
        };
        if (name == QLatin1String("mi") || name == QLatin1String("mn") || name == QLatin1String("mtext")) {
            text(collapsedText(m_tree.text(node)), place);
        } else if (name == QLatin1String("ms")) {
            text(u'"' + collapsedText(m_tree.text(node)) + u'"', place);
        } else if (name == QLatin1String("mo")) {
            op(collapsedText(m_tree.text(node)), node, place);
        } else if (name == QLatin1String("mspace")) {
            if (!m_tree.attribute(node, u"width").trimmed().startsWith(u'-'))
                text(QStringLiteral(" "), place);
        } else if (name == QLatin1String("mglyph")) {
            text(m_tree.attribute(node, u"alt"), place);
        } else if (name == QLatin1String("msub") || name == QLatin1String("munder")) {
            child(0, place);
            child(1, place.script(-1));
        } else if (name == QLatin1String("msup") || name == QLatin1String("mover")) {
            child(0, place);
            child(1, place.script(+1));
        } else if (name == QLatin1String("msubsup") || name == QLatin1String("munderover")) {
            child(0, place);
            child(1, place.script(-1));
            child(2, place.script(+1));
        } else if (name == QLatin1String("mmultiscripts")) {
            multiscripts(children, place, depth);
        } else if (name == QLatin1String("mfrac")) {
            fraction(node, children, place, depth);
        } else if (name == QLatin1String("msqrt")) {
            root(children, place, depth);
        } else if (name == QLatin1String("mroot")) {
            child(1, place.script(+1));
            root(children.mid(0, 1), place, depth);
        } else if (name == QLatin1String("mfenced")) {
            fenced(node, children, place, depth);
        } else if (name == QLatin1String("mtable")) {
            table(children, place, depth);
        } else if (name == QLatin1String("semantics") || name == QLatin1String("maction")) {
            child(0, place); // the presentation; annotations and other actions are alternatives
        } else if (name != QLatin1String("mphantom") && name != QLatin1String("annotation") && name != QLatin1String("annotation-xml") && name != QLatin1String("none")
                   && name != QLatin1String("mprescripts")) {
            row(children, place, depth); // mrow, mstyle, mpadded, menclose, math itself, ...
        }
    }

private:
    const MathTree& m_tree;

    // Where a part of the formula starts: the piece it starts in and the offset in its text (text
    // of one size and shift joins the piece before it).
    struct Mark {
        qsizetype piece = 0;
        qsizetype offset = 0;
    };

    qsizetype lineBreaks = 0; // the LineBreak pieces among pieces

    Mark mark() const
    {
        if (!pieces.isEmpty() && pieces.last().kind == MathPiece::Kind::Text)
            return { pieces.size() - 1, pieces.last().text.size() };
        return { pieces.size(), 0 };
    }

    void lineBreak(Place place)
    {
        pieces.append({ MathPiece::Kind::LineBreak, QString(), place.scale, place.shift });
        ++lineBreaks;
    }

    void removeLast()
    {
        if (pieces.last().kind == MathPiece::Kind::LineBreak)
            --lineBreaks;
        pieces.removeLast();
    }

    // The parts of a row one after the other. When more than one of them takes several lines
    // (matrices side by side), line i holds the line i of each of them, as they stand on paper,
    // so that the rows of one never run into those of the next.
    void row(const QList<int>& children, Place place, int depth)
    {
        QList<Mark> starts;
        int tallParts = 0;
        for (const int c : children) {
            starts.append(mark());
            const qsizetype breaksBefore = lineBreaks;
            element(c, place, depth + 1);
            tallParts += lineBreaks > breaksBefore ? 1 : 0;
        }
        if (tallParts > 1)
            setSideBySide(starts, place);
    }

    void setSideBySide(const QList<Mark>& starts, Place place)
    {
        // Each part's pieces, split into its lines.
        QList<QList<QList<MathPiece>>> parts;
        for (qsizetype i = starts.size() - 1; i >= 0; --i) {
            QList<MathPiece> tail = takeFrom(starts[i]);
            QList<QList<MathPiece>> lines(1);
            for (MathPiece& piece : tail) {
                if (piece.kind == MathPiece::Kind::LineBreak)
                    lines.append(QList<MathPiece>());
                else
                    lines.last().append(std::move(piece));
            }
            parts.prepend(lines);
        }
        qsizetype height = 0;
        for (const auto& lines : std::as_const(parts))
            height = std::max(height, lines.size());
        for (qsizetype line = 0; line < height; ++line) {
            if (line > 0)
                lineBreak(place);
            bool partBefore = false;
            bool tallBefore = false;
            for (const auto& lines : std::as_const(parts)) {
                const bool tall = lines.size() > 1;
                if (line < lines.size() && !lines[line].isEmpty()) {
                    // Parts stand apart as their columns would: below the first line any two, on
                    // it two tall ones next to each other (the rest bring their own spacing).
                    if (partBefore && (line > 0 || (tall && tallBefore)))
                        text(kPartGap, place);
                    for (const MathPiece& piece : lines[line])
                        text(piece.text, { piece.scale, piece.shift });
                    partBefore = true;
                }
                tallBefore = tall;
            }
        }
    }

    // Removes and returns the pieces from start on.
    QList<MathPiece> takeFrom(Mark start)
    {
        QList<MathPiece> taken;
        if (start.piece < pieces.size() && start.offset > 0) {
            MathPiece& split = pieces[start.piece];
            MathPiece rest = split;
            rest.text = split.text.sliced(start.offset);
            split.text.truncate(start.offset);
            if (!rest.text.isEmpty())
                taken.append(rest);
            ++start.piece;
        }
        for (qsizetype i = start.piece; i < pieces.size(); ++i)
            taken.append(pieces[i]);
        while (pieces.size() > start.piece)
            removeLast();
        for (const MathPiece& piece : std::as_const(taken))
            length -= piece.text.size();
        return taken;
    }

    void text(const QString& value, Place place)
    {
        if (value.isEmpty())
            return;
        length += value.size();
        if (!pieces.isEmpty() && pieces.last().kind == MathPiece::Kind::Text && pieces.last().scale == place.scale
            && pieces.last().shift == place.shift) {
            pieces.last().text += value;
            return;
        }
        pieces.append({ MathPiece::Kind::Text, value, place.scale, place.shift });
    }

    void op(const QString& value, int node, Place place)
    {
        const int before = m_tree.previousSiblingElement(node);
        const bool sign = before == MathTree::kNone || m_tree.localName(before) == QLatin1String("mo");
        if (isRelation(value) || (isBinaryOperator(value) && !sign))
            text(u' ' + value + u' ', place);
        else if (value == QLatin1String(",") || value == QLatin1String(";"))
            text(value + u' ', place);
        else
            text(value, place);
    }

    // A part of a fraction or root needs brackets unless it is a single token.
    bool isSimple(const QList<int>& parts) const
    {
        if (parts.size() != 1)
            return false;
        const QString& name = m_tree.localName(parts.first());
        if (name == QLatin1String("mrow") || name == QLatin1String("mstyle"))
            return isSimple(m_tree.childElements(parts.first()));
        return name == QLatin1String("mi") || name == QLatin1String("mn") || name == QLatin1String("mtext") || name == QLatin1String("ms");
    }

    void grouped(const QList<int>& parts, Place place, int depth)
    {
        const bool brackets = !isSimple(parts);
        if (brackets)
            text(QStringLiteral("("), place);
        for (const int part : parts)
            element(part, place, depth + 1);
        if (brackets)
            text(QStringLiteral(")"), place);
    }

    void fraction(int node, const QList<int>& children, Place place, int depth)
    {
        if (children.size() < 2)
            return grouped(children, place, depth);
        // A fraction without a bar (a binomial coefficient) reads as its two parts side by side.
        const QString thickness = m_tree.attribute(node, u"linethickness").trimmed();
        const bool noBar = !thickness.isEmpty() && thickness.toDouble() == 0 && thickness[0] == u'0';
        grouped({ children[0] }, place, depth);
        text(noBar ? QStringLiteral(" ") : QStringLiteral("/"), place);
        grouped({ children[1] }, place, depth);
    }

    void root(const QList<int>& children, Place place, int depth)
    {
        text(QStringLiteral("\u221A"), place);
        grouped(children, place, depth);
    }

    void fenced(int node, const QList<int>& children, Place place, int depth)
    {
        const QString open = m_tree.hasAttribute(node, u"open") ? m_tree.attribute(node, u"open") : QStringLiteral("(");
        const QString close = m_tree.hasAttribute(node, u"close") ? m_tree.attribute(node, u"close") : QStringLiteral(")");
        QString separators = m_tree.hasAttribute(node, u"separators") ? m_tree.attribute(node, u"separators")
                                                                      : QStringLiteral(",");
        separators.remove(QChar(u' ')).remove(QChar(u'\t')).remove(QChar(u'\n')).remove(QChar(u'\r'));
        text(open.trimmed(), place);
        for (qsizetype i = 0; i < children.size(); ++i) {
            if (i > 0 && !separators.isEmpty()) {
                const QChar separator = separators[std::min(i - 1, separators.size() - 1)];
                text(QString(separator) + u' ', place);
            }
            element(children[i], place, depth + 1);
        }
        text(close.trimmed(), place);
    }

    void table(const QList<int>& rows, Place place, int depth)
    {
        bool rowsBefore = false;
        for (const int row : rows) {
            const QString& rowName = m_tree.localName(row);
            if (rowName != QLatin1String("mtr") && rowName != QLatin1String("mlabeledtr"))
                continue;
            const qsizetype rowText = length;
            if (rowsBefore)
                lineBreak(place);
            QList<int> cells = m_tree.childElements(row);
            if (rowName == QLatin1String("mlabeledtr") && !cells.isEmpty())
                cells.removeFirst(); // the equation's label, not one of its cells
            for (qsizetype i = 0; i < cells.size(); ++i) {
                if (i > 0) {
                    chopTrailingSpace();
                    text(cellSeparator(), place);
                }
                element(cells[i], place, depth + 1);
            }
            dropTrailingEmptyCells(rowText);
            if (length > rowText)
                rowsBefore = true;
            else if (rowsBefore && pieces.last().kind == MathPiece::Kind::LineBreak)
                removeLast(); // a row of empty cells makes no line
        }
    }

    void chopTrailingSpace()
    {
        if (pieces.isEmpty() || !pieces.last().text.endsWith(u' ') || pieces.last().text.endsWith(cellSeparator()))
            return;
        pieces.last().text.chop(1);
        --length;
        if (pieces.last().text.isEmpty())
            pieces.removeLast();
    }

    // Empty cells at the end of a row show nothing. rowText is the length of the text before the
    // row: the row's text may share a piece with it.
    void dropTrailingEmptyCells(qsizetype rowText)
    {
        const QString separator = cellSeparator().chopped(1); // without the space it ends with
        while (length > rowText && !pieces.isEmpty() && pieces.last().kind == MathPiece::Kind::Text) {
            QString& last = pieces.last().text;
            const qsizetype floor = std::max<qsizetype>(0, last.size() - (length - rowText));
            qsizetype end = last.size();
            while (end > floor && (last[end - 1] == u' ' || last[end - 1] == QChar(0x00A0)))
                --end;
            const bool separatorLast = end - floor >= separator.size() && QStringView(last).first(end).endsWith(separator);
            const qsizetype cut = separatorLast ? end - separator.size() : end;
            length -= last.size() - cut;
            last.truncate(cut);
            if (last.isEmpty())
                pieces.removeLast();
            else if (!separatorLast)
                return;
        }
    }

    // Scripts after the base in pairs of subscript and superscript; those after mprescripts go
    // before the base.
    void multiscripts(const QList<int>& children, Place place, int depth)
    {
        if (children.isEmpty())
            return;
        qsizetype prescripts = children.size();
        for (qsizetype i = 1; i < children.size(); ++i) {
            if (m_tree.localName(children[i]) == QLatin1String("mprescripts"))
                prescripts = i;
        }
        const auto scripts = [&](qsizetype from, qsizetype to) {
            for (qsizetype i = from; i < to; ++i)
                element(children[i], place.script((i - from) % 2 == 0 ? -1 : +1), depth + 1);
        };
        scripts(prescripts + 1, children.size());
        element(children[0], place, depth + 1);
        scripts(1, prescripts);
    }
};

} // namespace

QString MathLinearizer::textAlternative(const MathTree& math)
{
    const int root = MathTree::kRoot;
    const QString alttext = collapsedText(math.attribute(root, u"alttext"));
    const QString lower = alttext.toLower();
    if (!alttext.isEmpty() && !lower.contains(QLatin1String("not available")) && !lower.contains(QLatin1String("unavailable")))
        return alttext;
    for (int semantics = math.firstChildElement(root); semantics != MathTree::kNone;
         semantics = math.nextSiblingElement(semantics)) {
        if (math.localName(semantics) != QLatin1String("semantics"))
            continue;
        for (int note = math.firstChildElement(semantics); note != MathTree::kNone; note = math.nextSiblingElement(note)) {
            const QString encoding = math.attribute(note, u"encoding").trimmed().toLower();
            const bool readable = encoding.isEmpty() || encoding == QLatin1String("text/plain") || encoding.contains(u"tex");
            const QString text = collapsedText(math.text(note));
            if (math.localName(note) == QLatin1String("annotation") && readable && !text.isEmpty())
                return text;
        }
    }
    return QString();
}

QList<MathPiece> MathLinearizer::linearize(const MathTree& math)
{
    Linearizer linearizer(math);
    linearizer.element(MathTree::kRoot, {}, 0);
    return std::move(linearizer.pieces);
}
