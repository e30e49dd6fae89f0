#include "CssStyleSheet.h"

#include <QVarLengthArray>

#include <algorithm>

namespace Css {

StyleSheet StyleSheet::parse(const QString& text)
{
    StyleSheet sheet;
    const ParsedSheet parsed = Parser::parseSheet(text);
    for (const Rule& rule : parsed.rules) {
        const QList<Selector> selectors = Selector::parseList(rule.selectors);
        if (selectors.isEmpty())
            continue;
        const int index = int(sheet.ruleDeclarations.size());
        sheet.ruleDeclarations.append(rule.declarations);
        for (const Selector& selector : selectors)
            sheet.addEntry({ selector, index });
    }
    for (const QList<Declaration>& body : parsed.fontFaces) {
        FontFace face;
        for (const Declaration& declaration : body) {
            if (declaration.property == u"font-family") {
                const QStringList families = parseFontFamilies(declaration.value);
                face.family = families.isEmpty() ? QString() : families.first();
            } else if (declaration.property == u"src") {
                face.source = firstUrl(declaration.value);
            }
        }
        if (!face.family.isEmpty() || !face.source.isEmpty())
            sheet.faces.append(face);
    }
    return sheet;
}

void StyleSheet::addEntry(Entry entry)
{
    const int index = int(entries.size());
    switch (entry.selector.keyKind()) {
    case Selector::KeyKind::Id:
        byId[entry.selector.key()].append(index);
        break;
    case Selector::KeyKind::Class:
        byClass[entry.selector.key()].append(index);
        break;
    case Selector::KeyKind::Attribute:
        byAttribute[entry.selector.key()].append(index);
        break;
    case Selector::KeyKind::Type:
        byType[entry.selector.key()].append(index);
        break;
    case Selector::KeyKind::Any:
        anyElement.append(index);
        break;
    }
    entries.append(std::move(entry));
}

void StyleSheet::append(const StyleSheet& other)
{
    if (&other == this) {
        const StyleSheet copy = other;
        append(copy);
        return;
    }
    const int ruleOffset = int(ruleDeclarations.size());
    ruleDeclarations += other.ruleDeclarations;
    for (const Entry& entry : other.entries)
        addEntry({ entry.selector, entry.rule + ruleOffset });
    faces += other.faces;
}

QList<FontFace> StyleSheet::fontFaces() const
{
    return faces;
}

bool StyleSheet::isEmpty() const
{
    return entries.isEmpty() && faces.isEmpty();
}

QList<Declaration> StyleSheet::declarationsFor(const ElementPath& path, const QString& styleAttribute) const
{
    QList<Declaration> out;
    QVarLengthArray<int, 64> matched;
    if (!path.isEmpty() && !entries.isEmpty()) {
        const ElementInfo& subject = path.last();
        auto collect = [&](const QList<int>& candidates) {
            for (int index : candidates) {
                if (entries[index].selector.matches(path))
                    matched.append(index);
            }
        };
        if (!subject.id.isEmpty())
            collect(byId.value(subject.id));
        for (const QString& name : subject.classes)
            collect(byClass.value(name));
        if (!byAttribute.isEmpty()) {
            const QDomNamedNodeMap attributes = subject.element.attributes();
            for (int i = 0; i < attributes.length(); ++i) {
                const auto found = byAttribute.constFind(attributes.item(i).nodeName());
                if (found != byAttribute.constEnd())
                    collect(*found);
            }
        }
        collect(byType.value(subject.name));
        collect(anyElement);
        // Entry indices are source order, so this orders by specificity, then source order.
        std::sort(matched.begin(), matched.end(), [&](int a, int b) {
            const int sa = entries[a].selector.specificity(), sb = entries[b].selector.specificity();
            return sa != sb ? sa < sb : a < b;
        });
    }
    const QList<Declaration> inlineDeclarations = styleAttribute.isEmpty()
        ? QList<Declaration>() : Parser::parseDeclarations(styleAttribute);
    for (const bool important : { false, true }) {
        for (int index : matched) {
            for (const Declaration& declaration : ruleDeclarations[entries[index].rule]) {
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

} // namespace Css
