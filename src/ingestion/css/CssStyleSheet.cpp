#include "css/CssStyleSheet.h"

#include <QDomNamedNodeMap>
#include <QVarLengthArray>

#include <algorithm>

namespace Css {

namespace {

// The weights of a font-weight descriptor: "normal", "bold", a number or a range of two.
void parseFaceWeight(const QString& value, FontFace* face)
{
    const QStringList parts = splitValue(value);
    const int low = parts.isEmpty() ? -1 : parseFontWeight(parts.first(), 400);
    const int high = parts.size() == 2 ? parseFontWeight(parts.last(), 400) : low;
    if (low > 0 && high > 0 && parts.size() <= 2) {
        face->minWeight = qMin(low, high);
        face->maxWeight = qMax(low, high);
    }
}

FontFace parseFontFace(const QList<Declaration>& body, const QString& directory)
{
    FontFace face;
    face.directory = directory;
    for (const Declaration& declaration : body) {
        if (declaration.property == u"font-family") {
            const QStringList families = parseFontFamilies(declaration.value);
            face.family = families.isEmpty() ? QString() : families.first();
        } else if (declaration.property == u"src") {
            face.source = firstUrl(declaration.value);
        } else if (declaration.property == u"font-weight") {
            parseFaceWeight(declaration.value, &face);
        } else if (declaration.property == u"font-style") {
            const QString style = declaration.value.trimmed().toLower();
            face.italic = style.startsWith(u"italic") || style.startsWith(u"oblique");
        }
    }
    return face;
}

} // namespace

StyleSheet StyleSheet::parse(const QString& text, const ImportLoader& loadImport, const MediaContext& media,
                             const QString& directory)
{
    StyleSheet sheet;
    const ParsedSheet parsed = Parser::parseSheet(text, media);
    sheet.m_colourSchemeAsked = parsed.asksColourScheme;
    if (loadImport) {
        for (const QString& url : parsed.imports)
            sheet.append(loadImport(url));
    }
    NamespaceMap namespaces;
    for (const Namespace& declared : parsed.namespaces) {
        if (declared.prefix.isEmpty())
            namespaces.defaultUri = declared.uri;
        else
            namespaces.prefixes.insert(declared.prefix, declared.uri);
    }
    // Sheets repeat selectors; each text is compiled once, and its copies share the compiled form.
    QHash<QString, QList<Selector>> compiled;
    for (const Rule& rule : parsed.rules) {
        auto found = compiled.constFind(rule.selectors);
        if (found == compiled.constEnd())
            found = compiled.insert(rule.selectors, Selector::parseList(rule.selectors, namespaces));
        if (found->isEmpty())
            continue;
        const int index = int(sheet.m_ruleDeclarations.size());
        sheet.m_ruleDeclarations.append(rule.declarations);
        for (const Selector& selector : *found)
            sheet.addEntry({ selector, index });
    }
    for (const QList<Declaration>& body : parsed.fontFaces) {
        const FontFace face = parseFontFace(body, directory);
        if (!face.family.isEmpty() || !face.source.isEmpty())
            sheet.m_faces.append(face);
    }
    return sheet;
}

void StyleSheet::addEntry(Entry entry)
{
    const int index = int(m_entries.size());
    switch (entry.selector.keyKind()) {
    case Selector::KeyKind::Id:
        m_byId[entry.selector.key()].append(index);
        break;
    case Selector::KeyKind::Class:
        m_byClass[entry.selector.key()].append(index);
        break;
    case Selector::KeyKind::Attribute:
        m_byAttribute[entry.selector.key()].append(index);
        break;
    case Selector::KeyKind::Type:
        m_byType[entry.selector.key()].append(index);
        break;
    case Selector::KeyKind::Any:
        m_anyElement.append(index);
        break;
    }
    m_entries.append(std::move(entry));
}

void StyleSheet::append(const StyleSheet& other)
{
    if (&other == this) {
        const StyleSheet copy = other;
        append(copy);
        return;
    }
    const int ruleOffset = int(m_ruleDeclarations.size());
    m_ruleDeclarations += other.m_ruleDeclarations;
    for (const Entry& entry : other.m_entries)
        addEntry({ entry.selector, entry.rule + ruleOffset });
    m_faces += other.m_faces;
    m_colourSchemeAsked = m_colourSchemeAsked || other.m_colourSchemeAsked;
}

QList<FontFace> StyleSheet::fontFaces() const
{
    return m_faces;
}

bool StyleSheet::isEmpty() const
{
    return m_entries.isEmpty() && m_faces.isEmpty();
}

QList<Declaration> StyleSheet::declarationsFor(const ElementFacts& subject, const QString& styleAttribute,
                                               MatchBudget* budget) const
{
    const RuleIndices matched = matchingEntries(subject, budget);
    const QList<Declaration> inlineDeclarations = styleAttribute.isEmpty()
        ? QList<Declaration>() : Parser::parseDeclarations(styleAttribute);
    QList<Declaration> out;
    for (const bool important : { false, true }) {
        for (int index : matched) {
            for (const Declaration& declaration : m_ruleDeclarations[m_entries[index].rule]) {
                if (declaration.important == important)
                    out.append(declaration);
            }
        }
        for (const Declaration& declaration : inlineDeclarations) {
            if (declaration.important == important)
                out.append(declaration);
        }
    }
    return out;
}

StyleSheet::RuleIndices StyleSheet::matchingEntries(const ElementFacts& subject, MatchBudget* budget) const
{
    RuleIndices matched;
    if (m_entries.isEmpty())
        return matched;
    if (budget)
        budget->enterElement();
    // Only the entries indexed under one of the subject's keys can match it.
    if (!subject.id.isEmpty())
        collectMatches(m_byId.value(subject.id), subject, budget, &matched);
    for (const QString& name : subject.classes)
        collectMatches(m_byClass.value(name), subject, budget, &matched);
    if (!m_byAttribute.isEmpty()) {
        const QDomNamedNodeMap attributes = subject.element.attributes();
        for (int i = 0; i < attributes.length(); ++i) {
            QString name = attributes.item(i).nodeName();
            if (name.contains(u':'))
                name = name.mid(name.lastIndexOf(u':') + 1);
            const auto found = m_byAttribute.constFind(name.isLower() ? name : name.toLower());
            if (found != m_byAttribute.constEnd())
                collectMatches(*found, subject, budget, &matched);
        }
    }
    collectMatches(m_byType.value(subject.name), subject, budget, &matched);
    collectMatches(m_anyElement, subject, budget, &matched);
    // Entry indices are source order, so this orders by specificity, then source order.
    std::sort(matched.begin(), matched.end(), [&](int a, int b) {
        const int sa = m_entries[a].selector.specificity(), sb = m_entries[b].selector.specificity();
        return sa != sb ? sa < sb : a < b;
    });
    // An element may carry two attributes of one local name ("type", "epub:type").
    matched.erase(std::unique(matched.begin(), matched.end()), matched.end());
    return matched;
}

void StyleSheet::collectMatches(const QList<int>& candidates, const ElementFacts& subject, MatchBudget* budget,
                                RuleIndices* matched) const
{
    for (int index : candidates) {
        if (!budget) {
            if (m_entries[index].selector.matches(subject))
                matched->append(index);
            continue;
        }
        if (index >= budget->ruleLimit())
            break; // candidates are in source order
        if (budget->exhausted()) {
            budget->cutAt(index);
            break;
        }
        qint64 steps = 0;
        if (m_entries[index].selector.matches(subject, &steps)) {
            matched->append(index);
            steps += m_ruleDeclarations[m_entries[index].rule].size();
        }
        budget->spend(steps);
    }
}

} // namespace Css
