#include "html/MathFolding.h"

namespace {

const QString& markerName()
{
    static const QString kName = QStringLiteral("-folded-math");
    return kName;
}

// Each piece is one text node of the marker: its kind ('a' for the text alternative), scale and
// shift (written so that they read back exactly), then its text.
QString pieceText(QChar kind, double scale, double shift, const QString& text)
{
    return kind + QString::number(scale, 'g', 17) + u' ' + QString::number(shift, 'g', 17) + u' ' + text;
}

bool hasContent(const QDomElement& element)
{
    for (QDomNode child = element.firstChild(); !child.isNull(); child = child.nextSibling()) {
        if (child.isElement() || ((child.isText() || child.isCDATASection()) && !child.nodeValue().isEmpty()))
            return true;
    }
    return false;
}

bool readPiece(const QString& stored, MathFolding::Formula* formula)
{
    const qsizetype afterScale = stored.indexOf(u' ', 1);
    const qsizetype afterShift = afterScale < 0 ? -1 : stored.indexOf(u' ', afterScale + 1);
    if (afterShift < 0)
        return false;
    const QString text = stored.sliced(afterShift + 1);
    if (stored.front() == u'a') {
        formula->alternative = text;
        return true;
    }
    MathPiece piece;
    piece.kind = stored.front() == u'b' ? MathPiece::Kind::LineBreak : MathPiece::Kind::Text;
    piece.scale = QStringView(stored).sliced(1, afterScale - 1).toDouble();
    piece.shift = QStringView(stored).sliced(afterScale + 1, afterShift - afterScale - 1).toDouble();
    piece.text = text;
    formula->pieces.append(piece);
    return true;
}

} // namespace

void MathFolding::fold(QDomDocument& document, QDomElement& math)
{
    if (!hasContent(math))
        return;
    QDomElement marker = document.createElement(markerName());
    const QString alternative = MathLinearizer::textAlternative(math);
    if (!alternative.isEmpty()) {
        marker.appendChild(document.createTextNode(pieceText(u'a', 1, 0, alternative)));
    } else {
        for (const MathPiece& piece : MathLinearizer::linearize(math)) {
            const QChar kind = piece.kind == MathPiece::Kind::LineBreak ? u'b' : u't';
            marker.appendChild(document.createTextNode(pieceText(kind, piece.scale, piece.shift, piece.text)));
        }
    }
    while (!math.firstChild().isNull())
        math.removeChild(math.firstChild());
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
        formula = Formula();
    }
    formula.alternative = MathLinearizer::textAlternative(math);
    if (formula.alternative.isEmpty())
        formula.pieces = MathLinearizer::linearize(math);
    return formula;
}

qsizetype MathFolding::formulaBytes(const QByteArray& markup)
{
    qsizetype inside = 0;
    for (qsizetype at = markup.indexOf("<math"); at >= 0; at = markup.indexOf("<math", at + 1)) {
        const char next = at + 5 < markup.size() ? markup.at(at + 5) : '\0';
        if (next != '>' && next != ' ' && next != '\t' && next != '\r' && next != '\n')
            continue;
        const qsizetype end = markup.indexOf("</math>", at);
        if (end < 0)
            break;
        inside += end + 7 - at;
        at = end;
    }
    return inside;
}
