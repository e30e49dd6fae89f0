#pragma once

// Css::StyleSheet: a parsed style sheet (rules, @font-face sources) and the cascade over it.
//
// A finished sheet is read-only: any number of threads may query or copy it at once (the spine
// documents of a book share its linked sheets while they are parsed in parallel).
//
// Rules are indexed by the id, first class, first attribute name or type of their subject, so that
// finding the rules of an element costs the rules that could match it, not the whole sheet.
// Identical selectors are compiled once and share what matching remembers of them.

#include "content/ContentModel.h"
#include "css/CssMatchBudget.h"
#include "css/CssParser.h"
#include "css/CssSelector.h"
#include "css/CssValues.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QVarLengthArray>

#include <functional>

namespace Css {

// An @font-face rule: the family name it declares, the face's weights and style, and its file.
struct FontFace {
    QString family;
    QString source;    // the first url() of src, as written
    QString directory; // what source is relative to: the folder of the sheet holding the rule
    int minWeight = 400; // font-weight: one weight, or a range of a variable font
    int maxWeight = 400;
    bool italic = false; // font-style italic or oblique
};

class StyleSheet {
public:
    // The sheet an @import names (its URL as written), with its own imports; an empty sheet when
    // it cannot be read. Bounding cycles and depth is the loader's work.
    using ImportLoader = std::function<StyleSheet(const QString& url)>;

    // Imported sheets come first, in the order of their @import rules. directory: the folder the
    // sheet stands in, for its @font-face sources (imported sheets have their own).
    static StyleSheet parse(const QString& text, const ImportLoader& loadImport = ImportLoader(),
                            const MediaContext& media = MediaContext(), const QString& directory = QString());
    // Appends other's rules after this sheet's, so they win ties of specificity.
    void append(const StyleSheet& other);
    QList<FontFace> fontFaces() const;
    bool isEmpty() const;
    // True when a query of this sheet or of one appended or imported names prefers-color-scheme.
    bool asksColourScheme() const { return m_colourSchemeAsked; }

    // The declarations that apply to element, in cascade order (a later one wins): the normal
    // declarations of the matching rules by specificity, then source order; then the normal ones
    // of styleAttribute (the element's style attribute); then the important ones of the rules in
    // the same order, then the important ones of styleAttribute. With a budget, the work is
    // charged to it and the rules it has cut are skipped.
    QList<Declaration> declarationsFor(const ElementFacts& element, const QString& styleAttribute = QString(),
                                       MatchBudget* budget = nullptr) const;

private:
    struct Entry {
        Selector selector;
        int rule = 0; // index into m_ruleDeclarations
    };

    // Indices into m_entries.
    using RuleIndices = QVarLengthArray<int, 64>;

    void addEntry(Entry entry);
    // The entries whose selectors match subject, in cascade order.
    RuleIndices matchingEntries(const ElementFacts& subject, MatchBudget* budget) const;
    // Appends those of candidates (entry indices in source order) that match subject.
    void collectMatches(const QList<int>& candidates, const ElementFacts& subject, MatchBudget* budget,
                        RuleIndices* matched) const;

    QList<QList<Declaration>> m_ruleDeclarations;
    QList<Entry> m_entries; // in source order
    QHash<QString, QList<int>> m_byId, m_byClass, m_byAttribute, m_byType;
    QList<int> m_anyElement;
    QList<FontFace> m_faces;
    bool m_colourSchemeAsked = false;
};

// Css::parseLength and the other value parsers are declared in CssValues.h.

} // namespace Css
