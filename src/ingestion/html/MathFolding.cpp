#include "html/MathFolding.h"

#include <QByteArrayMatcher>

#include <bit>

namespace {

const QString& markerName()
{
    static const QString kName = QStringLiteral("-folded-math");
    return kName;
}

// Each piece is one text node of the marker: its kind ('a' for the text alternative), its scale and
// shift as the bits of the numbers (read back exactly, and cheaply), then its text.
constexpr qsizetype kNumberUnits = 4;
constexpr qsizetype kTextAt = 1 + 2 * kNumberUnits;

void appendNumber(QString& out, double value)
{
    const auto bits = std::bit_cast<quint64>(value);
    for (qsizetype i = 0; i < kNumberUnits; ++i)
        out += QChar(char16_t(bits >> (16 * i)));
}

double numberAt(const QString& stored, qsizetype at)
{
    quint64 bits = 0;
    for (qsizetype i = 0; i < kNumberUnits; ++i)
        bits |= quint64(stored.at(at + i).unicode()) << (16 * i);
    return std::bit_cast<double>(bits);
}

QString pieceText(QChar kind, double scale, double shift, const QString& text)
{
    QString stored;
    stored.reserve(kTextAt + text.size());
    stored += kind;
    appendNumber(stored, scale);
    appendNumber(stored, shift);
    return stored + text;
}

bool readPiece(const QString& stored, MathFolding::Formula* formula)
{
    if (stored.size() < kTextAt)
        return false;
    if (stored.front() == u'a') {
        formula->alternative = stored.sliced(kTextAt);
        return true;
    }
    MathPiece piece;
    piece.kind = stored.front() == u'b' ? MathPiece::Kind::LineBreak : MathPiece::Kind::Text;
    piece.scale = numberAt(stored, 1);
    piece.shift = numberAt(stored, 1 + kNumberUnits);
    piece.text = stored.sliced(kTextAt);
    formula->pieces.append(piece);
    return true;
}

bool holdsText(const QList<MathPiece>& pieces)
{
    for (const MathPiece& piece : pieces) {
        if (piece.kind == MathPiece::Kind::Text && !piece.text.trimmed().isEmpty())
            return true;
    }
    return false;
}

// The markup set as it stands wherever it can be; the book's text alternative only where it
// cannot (content markup, an empty formula), since an alttext is often a stand-in or TeX source.
MathFolding::Formula formulaFromMarkup(const MathTree& math)
{
    MathFolding::Formula formula;
    formula.pieces = MathLinearizer::linearize(math);
    if (!holdsText(formula.pieces)) {
        formula.pieces.clear();
        formula.alternative = MathLinearizer::textAlternative(math);
    }
    return formula;
}

} // namespace

void MathFolding::fold(QDomDocument& document, QDomElement& math, const MathTree& formulaTree)
{
    if (!formulaTree.rootHasContent()) {
        formulaTree.appendContentTo(document, math);
        return;
    }
    QDomElement marker = document.createElement(markerName());
    const Formula formula = formulaFromMarkup(formulaTree);
    if (!formula.alternative.isEmpty())
        marker.appendChild(document.createTextNode(pieceText(u'a', 1, 0, formula.alternative)));
    for (const MathPiece& piece : formula.pieces) {
        const QChar kind = piece.kind == MathPiece::Kind::LineBreak ? u'b' : u't';
        marker.appendChild(document.createTextNode(pieceText(kind, piece.scale, piece.shift, piece.text)));
    }
    math.appendChild(marker);
}

MathFolding::Formula MathFolding::formulaOf(const QDomElement& math)
{
    Formula formula;
    const QDomElement marker = math.firstChildElement();
    if (!marker.isNull() && marker.tagName() == markerName() && math.firstChild() == marker
        && math.lastChild() == marker) {
        bool read = true;
        for (QDomNode piece = marker.firstChild(); read && !piece.isNull(); piece = piece.nextSibling())
            read = piece.isText() && readPiece(piece.nodeValue(), &formula);
        if (read)
            return formula;
    }
    return formulaFromMarkup(MathTree::fromDom(math));
}

qsizetype MathFolding::formulaBytes(const QByteArray& markup)
{
    static const QByteArrayMatcher start("<math");
    static const QByteArrayMatcher stop("</math>");
    qsizetype inside = 0;
    for (qsizetype at = start.indexIn(markup); at >= 0; at = start.indexIn(markup, at + 1)) {
        const char next = at + 5 < markup.size() ? markup.at(at + 5) : '\0';
        if (next != '>' && next != ' ' && next != '\t' && next != '\r' && next != '\n')
            continue;
        const qsizetype end = stop.indexIn(markup, at);
        if (end < 0)
            break;
        inside += end + 7 - at;
        at = end;
    }
    return inside;
}
