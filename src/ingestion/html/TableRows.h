#pragma once

// Table rows as the HTML block parser sets them: a row is one paragraph, its cells side by side
// with a separator between them (CellSeparator.h); a block inside a row is set inline, a space
// standing for its edges; and a row that wraps goes on standing in from its start, so that its
// second line is not taken for the next row. Keeps, for each open element, where it stands in a
// row; rows do not nest (a table in a cell goes on the cell's row).
//
// One parser's, on its thread.

#include "content/ContentModel.h"
#include "css/CssComputedStyle.h"

#include <QList>
#include <QString>

class TableRows {
public:
    static bool isTableCell(const QString& name) { return name == u"td" || name == u"th"; }

    // Before an element's frame opens: a block inside a row is made inline (true: a space stands
    // for its edge), a row outside one is a block whose text starts at its start.
    bool fitIntoRow(Css::ComputedStyle& style, const QString& name) const;

    // An element opens, or the root's parent (the first call). flattened is fitIntoRow's answer.
    void enter(const QString& name, bool flattened, const Css::ComputedStyle& style);
    bool inRow() const { return m_places.last().row; }
    bool startsRow() const { return m_places.last().startsRow; }

    // The row just entered: its box stands in by the hanging indent on the side it starts on.
    void hang(BoxStyle& box);
    // How far the row's first line reaches back out: 0 outside a row.
    double hangingIndent() const { return inRow() ? m_row.hangingIndent : 0; }

    // The cell just entered begins; true when a separator goes before it. The first cell of a
    // table nested in a cell goes on that cell's text, so nested tables read without an empty cell.
    bool startCell();
    // The style of the separator: the row's.
    const TextStyle& rowText() const { return m_row.text; }
    bool rowPreformatted() const { return m_row.preformatted; }
    // Content was added to the row; space is whether it was white space only.
    void contentAdded(bool space) { m_atCellStart = m_atCellStart && space; }

    // What leaving the innermost element asks of the text: nothing, a space for a flattened
    // block's edge, or, at the row's end, dropping the empty cells it ends with.
    enum class Leaving { Nothing, Space, RowEnd };
    Leaving leaving() const;
    void leave() { m_places.removeLast(); }

    // Cells at the end of text that hold only spaces (no-break ones too) show nothing.
    static void dropTrailingEmptyCells(QString& text);

private:
    struct Place {
        bool row = false;       // its content belongs to a row
        bool startsRow = false;
        int cellDepth = 0;      // table cells around it, itself included
        bool flattened = false;
    };
    struct Row {
        int cells = 0; // the cells started so far
        double hangingIndent = 0;
        TextStyle text;
        bool preformatted = false;
    };

    QList<Place> m_places;
    Row m_row;                  // the open row
    bool m_atCellStart = false; // nothing has been added since the last table cell began
};
