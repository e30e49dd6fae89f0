#pragma once

// White space as HTML and CSS define it: space, tab, line feed, carriage return and form feed.
// No-break and other Unicode spaces are content, so books' "&nbsp;" spacers survive. Any thread.

#include <QChar>
#include <QList>
#include <QString>
#include <QStringView>

// Every ASCII space: HTML's and the vertical tab. The chunk builder collapses these in the text it
// is handed, so that no control character of a plain-text file (or one that markup keeps as
// content) reaches a line as a glyph of its own.
inline bool isAsciiSpace(QChar c)
{
    const char16_t u = c.unicode();
    return u == u' ' || (u >= u'\t' && u <= u'\r');
}

inline bool isHtmlSpace(QChar c)
{
    return isAsciiSpace(c) && c.unicode() != u'\v';
}

// Every run of white space in text becomes one blank. `space` says whether the text follows white
// space (a leading run is then dropped) and, on return, whether the result ends in white space.
inline QString collapseHtmlSpaces(QStringView text, bool& space)
{
    QString collapsed(text.size(), Qt::Uninitialized);
    QChar* out = collapsed.data();
    for (QChar c : text) {
        if (isHtmlSpace(c)) {
            if (!space)
                *out++ = u' ';
            space = true;
        } else {
            *out++ = c;
            space = false;
        }
    }
    collapsed.truncate(out - collapsed.constData());
    return collapsed;
}

// The words of a list separated by white space (a class attribute, an "~=" attribute value).
inline QList<QStringView> htmlWords(QStringView text)
{
    QList<QStringView> words;
    qsizetype i = 0;
    while (i < text.size()) {
        while (i < text.size() && isHtmlSpace(text[i]))
            ++i;
        const qsizetype start = i;
        while (i < text.size() && !isHtmlSpace(text[i]))
            ++i;
        if (i > start)
            words.append(text.mid(start, i - start));
    }
    return words;
}
