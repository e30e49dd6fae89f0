#pragma once

// Memory for the paragraphs joined from the lines of one text, taken at once: as many UTF-16 units
// as the text has, in huge pages where the system offers them and the text fills one by half. Joining keeps each line's visible
// characters and puts one space where a line end stood, so a paragraph never takes more units
// than the part of the text it was joined from: it is written where that part starts, and
// paragraphs joined on several threads are written apart. Each is handed out as a QString that
// shares the memory, which goes when the last of them does.
//
// Why: a paragraph in memory of its own costs an allocation, and a book's fresh memory costs a
// page fault at the first touch of each 4 KiB, more than the joining itself.
//
// Made and destroyed on one thread; unitsFor() and string() may be called on any thread, each
// call's units apart from every other's.

#include <QString>
#include <QStringView>

class ParagraphMemory {
public:
    explicit ParagraphMemory(QStringView text);
    ParagraphMemory(const ParagraphMemory&) = delete;
    ParagraphMemory& operator=(const ParagraphMemory&) = delete;

    // Where a paragraph joined from the text starting at part (a view into the text) is written;
    // it takes at most the units from there to the end of the text.
    char16_t* unitsFor(QStringView part) const { return m_units + (part.data() - m_text); }
    // The paragraph written at begin, size units long, sharing the memory.
    QString string(const char16_t* begin, qsizetype size) const;

private:
    QString m_whole;
    QTypedArrayData<char16_t>* m_header;
    const QChar* m_text;
    char16_t* m_units; // the unit for the text's first
    qsizetype m_size;  // units of the text
};
