#include "html/TableRows.h"

#include "html/CellSeparator.h"

namespace {

// Of the row's font size: the lines after the first of a wrapped table row stand in this far.
constexpr double kRowHangingIndent = 1.5;

} // namespace

bool TableRows::fitIntoRow(Css::ComputedStyle& style, const QString& name) const
{
    const bool parentInRow = !m_places.isEmpty() && inRow();
    if (parentInRow && style.display != Css::Display::Inline) {
        style.display = Css::Display::Inline;
        return true;
    }
    if (!parentInRow && name == u"tr") {
        style.display = Css::Display::Block;
        if (style.align == Css::Align::Justify)
            style.align = Css::Align::Start;
    }
    return false;
}

void TableRows::enter(const QString& name, bool flattened, const Css::ComputedStyle& style)
{
    const Place parent = m_places.isEmpty() ? Place() : m_places.last();
    Place place;
    place.flattened = flattened;
    place.startsRow = !parent.row && name == u"tr" && !m_places.isEmpty();
    place.row = parent.row || place.startsRow;
    place.cellDepth = parent.cellDepth + (isTableCell(name) ? 1 : 0);
    if (place.startsRow)
        m_row = {0, 0, style.text, style.preformatted};
    m_places.append(place);
}

void TableRows::hang(BoxStyle& box)
{
    m_row.hangingIndent = kRowHangingIndent * m_row.text.size;
    if (m_row.text.direction == TextDirection::RightToLeft)
        box.paddingRight += m_row.hangingIndent;
    else
        box.paddingLeft += m_row.hangingIndent;
}

bool TableRows::startCell()
{
    const bool continuesCell = m_places.last().cellDepth > 1 && m_atCellStart;
    const bool separated = m_row.cells > 0 && !continuesCell;
    ++m_row.cells;
    m_atCellStart = true;
    return separated;
}

TableRows::Leaving TableRows::leaving() const
{
    if (m_places.last().flattened)
        return Leaving::Space;
    return m_places.last().startsRow ? Leaving::RowEnd : Leaving::Nothing;
}

void TableRows::dropTrailingEmptyCells(QString& text)
{
    const QString separator = cellSeparator().chopped(1); // without the space it ends with
    for (;;) {
        qsizetype end = text.size();
        while (end > 0 && (text[end - 1] == u' ' || text[end - 1] == QChar(0x00A0)))
            --end;
        if (!QStringView(text).first(end).endsWith(separator))
            return;
        text.truncate(end - separator.size());
    }
}
