#include "CssSelector.h"
#include "AsciiDigit.h"
#include "HtmlWhiteSpace.h"

#include <QVarLengthArray>

#include <functional>

namespace Css {

namespace {

bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'-' || c == u'_' || c.unicode() >= 0x80;
}

bool startsIdentifier(QStringView s, qsizetype i)
{
    if (i >= s.size())
        return false;
    const QChar c = s[i];
    if (c == u'\\')
        return i + 1 < s.size();
    if (c == u'-')
        return i + 1 < s.size() && (isNameChar(s[i + 1]) || s[i + 1] == u'\\') && !s[i + 1].isDigit();
    return (c.isLetter() || c == u'_' || c.unicode() >= 0x80);
}

// Reads an identifier with its escapes ("\31 0", "\:") at i; false when there is none.
bool readIdentifier(QStringView s, qsizetype& i, QString* out)
{
    if (!startsIdentifier(s, i))
        return false;
    out->clear();
    while (i < s.size()) {
        const QChar c = s[i];
        if (c == u'\\') {
            if (i + 1 >= s.size())
                break;
            qsizetype j = i + 1;
            uint code = 0;
            int digits = 0;
            while (j < s.size() && digits < 6 && asciiDigitValue(s[j], 16) >= 0) {
                code = code * 16 + uint(asciiDigitValue(s[j], 16));
                ++j;
                ++digits;
            }
            if (digits > 0) {
                if (j < s.size() && isHtmlSpace(s[j]))
                    ++j;
                if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
                    code = 0xFFFD;
                *out += QString::fromUcs4(reinterpret_cast<const char32_t*>(&code), 1);
                i = j;
            } else {
                *out += s[i + 1];
                i += 2;
            }
            continue;
        }
        if (!isNameChar(c))
            break;
        *out += c;
        ++i;
    }
    return !out->isEmpty();
}

void skipSpaces(QStringView s, qsizetype& i)
{
    while (i < s.size() && isHtmlSpace(s[i]))
        ++i;
}

bool readString(QStringView s, qsizetype& i, QString* out)
{
    const QChar quote = s[i];
    out->clear();
    ++i;
    while (i < s.size()) {
        const QChar c = s[i];
        if (c == quote) {
            ++i;
            return true;
        }
        if (c == u'\\' && i + 1 < s.size()) {
            *out += s[i + 1];
            i += 2;
            continue;
        }
        *out += c;
        ++i;
    }
    return false;
}

QList<QStringView> splitTopLevelCommas(QStringView text)
{
    QList<QStringView> parts;
    int depth = 0;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\\') {
            ++i;
        } else if (c == u'"' || c == u'\'') {
            QString ignored;
            readString(text, i, &ignored);
            --i;
        } else if (c == u'(' || c == u'[') {
            ++depth;
        } else if ((c == u')' || c == u']') && depth > 0) {
            --depth;
        } else if (c == u',' && depth == 0) {
            parts.append(text.mid(start, i - start));
            start = i + 1;
        }
    }
    parts.append(text.mid(start));
    return parts;
}

} // namespace

ElementInfo ElementInfo::fromElement(const QDomElement& element)
{
    ElementInfo info;
    const QString tag = element.tagName();
    info.name = tag.mid(tag.lastIndexOf(u':') + 1).toLower();
    info.id = element.attribute(QStringLiteral("id"));
    const QString classAttribute = element.attribute(QStringLiteral("class"));
    if (!classAttribute.isEmpty()) {
        qsizetype i = 0;
        while (i < classAttribute.size()) {
            while (i < classAttribute.size() && isHtmlSpace(classAttribute[i]))
                ++i;
            const qsizetype start = i;
            while (i < classAttribute.size() && !isHtmlSpace(classAttribute[i]))
                ++i;
            if (i > start) {
                const QString name = classAttribute.mid(start, i - start);
                if (!info.classes.contains(name))
                    info.classes.append(name);
            }
        }
    }
    info.element = element;
    info.firstChild = element.previousSiblingElement().isNull();
    return info;
}

QList<Selector> Selector::parseList(QStringView text)
{
    QList<Selector> out;
    for (QStringView part : splitTopLevelCommas(text)) {
        Selector selector;
        if (parseOne(part.trimmed(), &selector))
            out.append(std::move(selector));
    }
    return out;
}

bool Selector::parseOne(QStringView s, Selector* out)
{
    qsizetype i = 0;
    bool pendingCombinator = false; // an explicit ">" or "+" awaits its right-hand compound
    Combinator combinator = Combinator::Descendant;
    int ids = 0, classes = 0, types = 0;

    while (true) {
        const qsizetype before = i;
        skipSpaces(s, i);
        const bool sawSpace = i > before;
        if (i >= s.size())
            break;
        const QChar c = s[i];
        if (c == u'>' || c == u'+') {
            if (out->compounds.isEmpty() || pendingCombinator)
                return false;
            pendingCombinator = true;
            combinator = c == u'>' ? Combinator::Child : Combinator::Adjacent;
            ++i;
            continue;
        }
        if (!out->compounds.isEmpty()) {
            if (!pendingCombinator && !sawSpace)
                return false;
            out->combinators.append(pendingCombinator ? combinator : Combinator::Descendant);
        }
        pendingCombinator = false;
        if (out->compounds.size() >= MaxCompounds)
            return false;

        Compound compound;
        int parts = 0;
        bool first = true;
        while (i < s.size() && !isHtmlSpace(s[i]) && s[i] != u'>' && s[i] != u'+') {
            if (++parts > MaxSimpleSelectors)
                return false;
            const QChar d = s[i];
            QString name;
            if (first && (d == u'*' || d == u'|' || startsIdentifier(s, i))) {
                // A type or universal selector, with an optional namespace prefix that is ignored.
                auto readTypeName = [&](QString* typeName) {
                    if (i < s.size() && s[i] == u'*') {
                        ++i;
                        typeName->clear();
                        return true;
                    }
                    return readIdentifier(s, i, typeName);
                };
                if (d == u'|') {
                    ++i;
                    if (!readTypeName(&name))
                        return false;
                } else {
                    if (!readTypeName(&name))
                        return false;
                    if (i < s.size() && s[i] == u'|' && !(i + 1 < s.size() && s[i + 1] == u'=')) {
                        ++i;
                        if (!readTypeName(&name))
                            return false;
                    }
                }
                compound.type = name.toLower();
                if (!compound.type.isEmpty())
                    ++types;
            } else if (d == u'#') {
                ++i;
                if (!readIdentifier(s, i, &name))
                    return false;
                if (!compound.id.isEmpty() && compound.id != name)
                    return false; // two different ids never match
                compound.id = name;
                ++ids;
            } else if (d == u'.') {
                ++i;
                if (!readIdentifier(s, i, &name))
                    return false;
                compound.classes.append(name);
                ++classes;
            } else if (d == u'[') {
                ++i;
                skipSpaces(s, i);
                AttributeTest test;
                // [name], [prefix|name], [|name] or [*|name]; the prefix stays part of the name.
                QString first;
                bool wildcard = false;
                if (i < s.size() && s[i] == u'*') {
                    wildcard = true;
                    ++i;
                } else {
                    readIdentifier(s, i, &first);
                }
                QString prefix;
                if (i + 1 < s.size() && s[i] == u'|' && s[i + 1] != u'=') {
                    ++i;
                    prefix = wildcard ? QString() : first;
                    if (!readIdentifier(s, i, &name))
                        return false;
                } else if (wildcard || first.isEmpty()) {
                    return false;
                } else {
                    name = first;
                }
                test.name = (prefix.isEmpty() ? name : prefix + u':' + name).toLower();
                skipSpaces(s, i);
                if (i >= s.size())
                    return false;
                if (s[i] != u']') {
                    static const struct { char16_t first; AttributeTest::Op op; } ops[] = {
                        { u'~', AttributeTest::Includes }, { u'|', AttributeTest::DashMatch },
                        { u'^', AttributeTest::Prefix },   { u'$', AttributeTest::Suffix },
                        { u'*', AttributeTest::Substring },
                    };
                    if (s[i] == u'=') {
                        test.op = AttributeTest::Equals;
                        ++i;
                    } else {
                        bool found = false;
                        for (const auto& op : ops) {
                            if (s[i] == op.first && i + 1 < s.size() && s[i + 1] == u'=') {
                                test.op = op.op;
                                i += 2;
                                found = true;
                                break;
                            }
                        }
                        if (!found)
                            return false;
                    }
                    skipSpaces(s, i);
                    if (i >= s.size())
                        return false;
                    if (s[i] == u'"' || s[i] == u'\'') {
                        if (!readString(s, i, &test.value))
                            return false;
                    } else if (!readIdentifier(s, i, &test.value)) {
                        return false;
                    }
                    skipSpaces(s, i);
                    if (i < s.size() && (s[i] == u'i' || s[i] == u'I' || s[i] == u's' || s[i] == u'S')) {
                        test.ignoreCase = s[i] == u'i' || s[i] == u'I';
                        ++i;
                        skipSpaces(s, i);
                    }
                }
                if (i >= s.size() || s[i] != u']')
                    return false;
                ++i;
                compound.attributes.append(test);
                ++classes;
            } else if (d == u':') {
                ++i;
                if (!readIdentifier(s, i, &name))
                    return false; // includes "::" pseudo-elements
                if (name.compare(u"first-child", Qt::CaseInsensitive) != 0)
                    return false;
                if (i < s.size() && s[i] == u'(')
                    return false;
                compound.firstChild = true;
                ++classes;
            } else {
                return false;
            }
            first = false;
        }
        out->compounds.append(std::move(compound));
    }
    if (pendingCombinator || out->compounds.isEmpty())
        return false;
    out->spec = (qMin(ids, 255) << 16) | (qMin(classes, 255) << 8) | qMin(types, 255);
    return true;
}

Selector::KeyKind Selector::keyKind() const
{
    const Compound& subject = compounds.last();
    if (!subject.id.isEmpty())
        return KeyKind::Id;
    if (!subject.classes.isEmpty())
        return KeyKind::Class;
    if (!subject.attributes.isEmpty())
        return KeyKind::Attribute;
    if (!subject.type.isEmpty())
        return KeyKind::Type;
    return KeyKind::Any;
}

QString Selector::key() const
{
    const Compound& subject = compounds.last();
    switch (keyKind()) {
    case KeyKind::Id:
        return subject.id;
    case KeyKind::Class:
        return subject.classes.first();
    case KeyKind::Attribute:
        return subject.attributes.first().name;
    case KeyKind::Type:
        return subject.type;
    case KeyKind::Any:
        break;
    }
    return QString();
}

bool Selector::attributeMatches(const AttributeTest& test, const QDomElement& element)
{
    if (!element.hasAttribute(test.name))
        return false;
    if (test.op == AttributeTest::Exists)
        return true;
    const QString actual = element.attribute(test.name);
    const Qt::CaseSensitivity cs = test.ignoreCase ? Qt::CaseInsensitive : Qt::CaseSensitive;
    const QString& wanted = test.value;
    switch (test.op) {
    case AttributeTest::Exists:
        return true;
    case AttributeTest::Equals:
        return actual.compare(wanted, cs) == 0;
    case AttributeTest::Includes: {
        if (wanted.isEmpty())
            return false;
        qsizetype i = 0;
        while (i < actual.size()) {
            while (i < actual.size() && isHtmlSpace(actual[i]))
                ++i;
            const qsizetype start = i;
            while (i < actual.size() && !isHtmlSpace(actual[i]))
                ++i;
            if (i > start && QStringView(actual).mid(start, i - start).compare(wanted, cs) == 0)
                return true;
        }
        return false;
    }
    case AttributeTest::DashMatch:
        return actual.compare(wanted, cs) == 0 || actual.startsWith(wanted + u'-', cs);
    case AttributeTest::Prefix:
        return !wanted.isEmpty() && actual.startsWith(wanted, cs);
    case AttributeTest::Suffix:
        return !wanted.isEmpty() && actual.endsWith(wanted, cs);
    case AttributeTest::Substring:
        return !wanted.isEmpty() && actual.contains(wanted, cs);
    }
    return false;
}

bool Selector::compoundMatches(const Compound& compound, const ElementInfo& element)
{
    if (!compound.type.isEmpty() && compound.type != element.name)
        return false;
    if (!compound.id.isEmpty() && compound.id != element.id)
        return false;
    if (compound.firstChild && !element.firstChild)
        return false;
    for (const QString& name : compound.classes) {
        if (!element.classes.contains(name))
            return false;
    }
    for (const AttributeTest& test : compound.attributes) {
        if (!attributeMatches(test, element.element))
            return false;
    }
    return true;
}

bool Selector::matches(const ElementPath& path) const
{
    if (path.isEmpty() || compounds.isEmpty())
        return false;
    const int subject = int(compounds.size()) - 1;
    const int depth = int(path.size()) - 1;
    if (!compoundMatches(compounds[subject], path[depth]))
        return false;
    if (subject == 0)
        return true;

    // onPath[j][d]: compounds 0..j match with compound j on path[d]. above[j][d]: that holds for
    // some depth below d. Each is worked out at most once, so a match costs O(compounds x depth)
    // however the descendant combinators could be fitted.
    const int width = depth + 1;
    QVarLengthArray<qint8, 256> onPath(subject * width);
    std::fill(onPath.begin(), onPath.end(), qint8(-1));
    QVarLengthArray<qint8, 256> above(subject * (width + 1));
    QVarLengthArray<bool, 32> aboveReady(subject);
    std::fill(aboveReady.begin(), aboveReady.end(), false);

    // Compound j (already known to match `element`, which stands at depth d on the path or is a
    // preceding sibling of path[d]) and everything to its left.
    std::function<bool(int, const ElementInfo&, int)> leftMatches;
    auto onPathAt = [&](int j, int d) -> bool {
        qint8& memo = onPath[j * width + d];
        if (memo < 0)
            memo = compoundMatches(compounds[j], path[d]) && leftMatches(j, path[d], d) ? 1 : 0;
        return memo == 1;
    };
    leftMatches = [&](int j, const ElementInfo& element, int d) -> bool {
        if (j == 0)
            return true;
        switch (combinators[j - 1]) {
        case Combinator::Child:
            return d > 0 && onPathAt(j - 1, d - 1);
        case Combinator::Descendant:
            if (!aboveReady[j - 1]) {
                qint8* row = above.data() + (j - 1) * (width + 1);
                row[0] = 0;
                for (int dd = 0; dd < depth; ++dd)
                    row[dd + 1] = qint8(row[dd] || onPathAt(j - 1, dd));
                aboveReady[j - 1] = true;
            }
            return above[(j - 1) * (width + 1) + d] != 0;
        case Combinator::Adjacent: {
            const QDomElement previous = element.element.previousSiblingElement();
            if (previous.isNull())
                return false;
            const ElementInfo sibling = ElementInfo::fromElement(previous);
            return compoundMatches(compounds[j - 1], sibling) && leftMatches(j - 1, sibling, d);
        }
        }
        return false;
    };
    return leftMatches(subject, path[depth], depth);
}

} // namespace Css
