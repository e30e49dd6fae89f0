#pragma once

// Ruby as the HTML block parser sets it: a group (its base, its reading and the fallback
// parentheses) is one piece no line breaks inside, the reading in parentheses of ours unless the
// book gives its own (rp). Keeps, for each open element, the group it stands in; groups do not
// nest (a ruby inside one goes on the outer group).
//
// One parser's, on its thread.

#include <QDomElement>
#include <QList>
#include <QString>

class RubyGroups {
public:
    // An element opens, or the root's parent (the first call); withRuby is false for a vocabulary
    // that has none (FictionBook).
    void enter(const QString& name, const QDomElement& element, bool withRuby);
    void leave() { m_places.removeLast(); }
    bool inGroup() const { return m_places.last().inGroup; }
    // The innermost element is a reading put in parentheses of ours.
    bool parenthesised() const { return m_places.last().parenthesised; }

    // Text of the group: a word joiner wherever Chinese or Japanese text could break and at the
    // seams between its pieces, no-break spaces for its spaces, no white space at the edges.
    QString joined(const QString& text);

private:
    struct Place {
        bool inGroup = false;
        bool parenthesised = false;
    };

    QList<Place> m_places;
    bool m_hasText = false; // the open group: text has been added to it
    bool m_hasRp = false;   // the open group: the book gives its own fallback parentheses
};
