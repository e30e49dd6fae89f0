#include "css/CssSelector.h"
#include "text/AsciiDigit.h"
#include "text/HtmlWhiteSpace.h"
#include "text/SaturatedInteger.h"

#include <QDomNamedNodeMap>
#include <QVarLengthArray>

#include <algorithm>


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

// A type name or "*" (read as empty) at i.
bool readTypeName(QStringView s, qsizetype& i, QString* name)
{
    if (i < s.size() && s[i] == u'*') {
        ++i;
        name->clear();
        return true;
    }
    return readIdentifier(s, i, name);
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


// Index of the ")" that closes the "(" at open, skipping strings and escapes; -1 when none does.
qsizetype closingParenthesis(QStringView s, qsizetype open)
{
    int depth = 0;
    for (qsizetype i = open; i < s.size(); ++i) {
        const QChar c = s[i];
        if (c == u'\\') {
            ++i;
        } else if (c == u'"' || c == u'\'') {
            QString ignored;
            if (!readString(s, i, &ignored))
                return -1;
            --i;
        } else if (c == u'(') {
            ++depth;
        } else if (c == u')' && --depth == 0) {
            return i;
        }
    }
    return -1;
}

// The an+b of :nth-child() and its kin: "odd", "even", "3", "-n+3", "2n + 1".
bool parseNth(QStringView argument, int* a, int* b)
{
    QString text;
    for (QChar c : argument) {
        if (!isHtmlSpace(c))
            text += c.toLower();
    }
    if (text == u"odd") {
        *a = 2;
        *b = 1;
        return true;
    }
    if (text == u"even") {
        *a = 2;
        *b = 0;
        return true;
    }
    const qsizetype n = text.indexOf(u'n');
    if (n < 0) {
        *a = 0;
        return parseSaturatedInt(text, b);
    }
    const QStringView coefficient = QStringView(text).left(n);
    if (coefficient.isEmpty() || coefficient == u"+")
        *a = 1;
    else if (coefficient == u"-")
        *a = -1;
    else if (!parseSaturatedInt(coefficient, a))
        return false;
    const QStringView offset = QStringView(text).mid(n + 1);
    if (offset.isEmpty()) {
        *b = 0;
        return true;
    }
    if (offset[0] != u'+' && offset[0] != u'-')
        return false;
    return parseSaturatedInt(offset, b);
}

// Whether some n >= 0 gives a * n + b == index.
bool nthMatches(int a, int b, int index)
{
    const qint64 difference = qint64(index) - b;
    if (a == 0)
        return difference == 0;
    return difference % a == 0 && difference / a >= 0;
}

bool isFormElement(const QString& name)
{
    return name == u"input" || name == u"button" || name == u"select" || name == u"textarea"
        || name == u"option" || name == u"optgroup" || name == u"fieldset";
}

} // namespace

QList<Selector> Selector::parseList(QStringView text, const NamespaceMap& namespaces)
{
    QList<Selector> out;
    for (QStringView part : splitTopLevelCommas(text)) {
        Selector selector;
        if (parseOne(part.trimmed(), namespaces, 0, &selector) && !selector.m_never)
            out.append(std::move(selector));
    }
    return out;
}

bool Selector::parseOne(QStringView s, const NamespaceMap& namespaces, int notDepth, Selector* out)
{
    qsizetype i = 0;
    bool pendingCombinator = false; // an explicit combinator awaits its right-hand compound
    Combinator combinator = Combinator::Descendant;
    int ids = 0, classes = 0, types = 0;

    while (true) {
        const qsizetype before = i;
        skipSpaces(s, i);
        const bool sawSpace = i > before;
        if (i >= s.size())
            break;
        const QChar c = s[i];
        if (c == u'>' || c == u'+' || c == u'~') {
            if (out->m_compounds.isEmpty() || pendingCombinator)
                return false;
            pendingCombinator = true;
            combinator = c == u'>' ? Combinator::Child : c == u'+' ? Combinator::Adjacent : Combinator::Sibling;
            ++i;
            continue;
        }
        if (!out->m_compounds.isEmpty()) {
            if (!pendingCombinator && !sawSpace)
                return false;
            out->m_combinators.append(pendingCombinator ? combinator : Combinator::Descendant);
        }
        pendingCombinator = false;
        if (out->m_compounds.size() >= kMaxCompounds)
            return false;
        Compound compound;
        if (!parseCompound(s, i, namespaces, notDepth, &compound, &ids, &classes, &types))
            return false;
        for (const PseudoTest& pseudo : compound.pseudos)
            out->m_never = out->m_never || pseudo.kind == Pseudo::Never;
        out->m_compounds.append(std::move(compound));
    }
    if (pendingCombinator || out->m_compounds.isEmpty())
        return false;
    out->m_spec = (qMin(ids, 255) << 16) | (qMin(classes, 255) << 8) | qMin(types, 255);
    return true;
}

bool Selector::parseCompound(QStringView s, qsizetype& i, const NamespaceMap& namespaces, int notDepth,
                             Compound* compound, int* ids, int* classes, int* types)
{
    int parts = 0;
    if (!namespaces.defaultUri.isEmpty()) {
        compound->anyNamespace = false;
        compound->namespaceUri = namespaces.defaultUri;
    }
    while (i < s.size() && !isHtmlSpace(s[i]) && s[i] != u'>' && s[i] != u'+' && s[i] != u'~') {
        if (++parts > kMaxSimpleSelectors)
            return false;
        const QChar d = s[i];
        QString name;
        if (parts == 1 && (d == u'*' || d == u'|' || startsIdentifier(s, i))) {
            // Only the first part may be a type or universal selector.
            if (!parseTypeSelector(s, i, namespaces, compound))
                return false;
            if (!compound->type.isEmpty())
                ++*types;
        } else if (d == u'#') {
            ++i;
            if (!readIdentifier(s, i, &name))
                return false;
            if (!compound->id.isEmpty() && compound->id != name)
                return false; // two different ids never match
            compound->id = name;
            ++*ids;
        } else if (d == u'.') {
            ++i;
            if (!readIdentifier(s, i, &name))
                return false;
            compound->classes.append(name);
            ++*classes;
        } else if (d == u'[') {
            AttributeTest test;
            if (!parseAttributeSelector(s, i, namespaces, &test))
                return false;
            compound->attributes.append(test);
            ++*classes;
        } else if (d == u':') {
            ++i;
            if (!parsePseudo(s, i, namespaces, notDepth, compound, ids, classes, types))
                return false;
        } else {
            return false;
        }
    }
    return parts > 0;
}

// A type or universal selector at i, with an optional namespace prefix: "name", "*", "|name",
// "*|name" or "prefix|name".
bool Selector::parseTypeSelector(QStringView s, qsizetype& i, const NamespaceMap& namespaces, Compound* compound)
{
    QString name;
    if (s[i] == u'|') {
        ++i;
        if (!readTypeName(s, i, &name))
            return false;
        compound->anyNamespace = false;
        compound->namespaceUri.clear();
    } else {
        const bool star = s[i] == u'*';
        if (!readTypeName(s, i, &name))
            return false;
        if (i < s.size() && s[i] == u'|' && !(i + 1 < s.size() && s[i + 1] == u'=')) {
            ++i;
            const QString prefix = name;
            if (!readTypeName(s, i, &name))
                return false;
            const auto uri = namespaces.prefixes.constFind(prefix);
            // "*|" and a prefix the sheet does not declare match in any namespace.
            compound->anyNamespace = star || uri == namespaces.prefixes.constEnd();
            compound->namespaceUri = compound->anyNamespace ? QString() : *uri;
        }
    }
    compound->type = name.toLower();
    return true;
}

// An attribute selector from its "[" to its "]".
bool Selector::parseAttributeSelector(QStringView s, qsizetype& i, const NamespaceMap& namespaces,
                                      AttributeTest* test)
{
    ++i;
    skipSpaces(s, i);
    if (!parseAttributeName(s, i, namespaces, test))
        return false;
    skipSpaces(s, i);
    if (i >= s.size())
        return false;
    if (s[i] != u']' && !parseAttributeMatcher(s, i, test))
        return false;
    if (i >= s.size() || s[i] != u']')
        return false;
    ++i;
    return true;
}

// [name], [prefix|name], [|name] or [*|name].
bool Selector::parseAttributeName(QStringView s, qsizetype& i, const NamespaceMap& namespaces, AttributeTest* test)
{
    QString first;
    QString name;
    bool wildcard = false;
    if (i < s.size() && s[i] == u'*') {
        wildcard = true;
        ++i;
    } else {
        readIdentifier(s, i, &first);
    }
    if (i + 1 < s.size() && s[i] == u'|' && s[i + 1] != u'=') {
        ++i;
        if (!readIdentifier(s, i, &name))
            return false;
        if (wildcard) {
            test->space = AttributeTest::Space::Any;
        } else if (!first.isEmpty()) {
            const auto uri = namespaces.prefixes.constFind(first);
            test->space = uri == namespaces.prefixes.constEnd() ? AttributeTest::Space::Prefix
                                                                : AttributeTest::Space::Uri;
            test->namespaceUri = uri == namespaces.prefixes.constEnd() ? QString() : *uri;
            test->prefix = first;
        }
    } else if (wildcard || first.isEmpty()) {
        return false;
    } else {
        name = first;
    }
    test->name = name.toLower();
    return true;
}

// The operator, value and case flag after an attribute's name, up to (not including) the "]".
bool Selector::parseAttributeMatcher(QStringView s, qsizetype& i, AttributeTest* test)
{
    static const struct { char16_t first; AttributeTest::Op op; } kOperators[] = {
        { u'~', AttributeTest::Includes }, { u'|', AttributeTest::DashMatch },
        { u'^', AttributeTest::Prefix },   { u'$', AttributeTest::Suffix },
        { u'*', AttributeTest::Substring },
    };
    if (s[i] == u'=') {
        test->op = AttributeTest::Equals;
        ++i;
    } else {
        const auto* op = std::find_if(std::begin(kOperators), std::end(kOperators), [&](const auto& entry) {
            return s[i] == entry.first && i + 1 < s.size() && s[i + 1] == u'=';
        });
        if (op == std::end(kOperators))
            return false;
        test->op = op->op;
        i += 2;
    }
    skipSpaces(s, i);
    if (i >= s.size())
        return false;
    if (s[i] == u'"' || s[i] == u'\'') {
        if (!readString(s, i, &test->value))
            return false;
    } else if (!readIdentifier(s, i, &test->value)) {
        return false;
    }
    skipSpaces(s, i);
    if (i < s.size() && (s[i] == u'i' || s[i] == u'I' || s[i] == u's' || s[i] == u'S')) {
        test->ignoreCase = s[i] == u'i' || s[i] == u'I';
        ++i;
        skipSpaces(s, i);
    }
    return true;
}

bool Selector::parsePseudo(QStringView s, qsizetype& i, const NamespaceMap& namespaces, int notDepth,
                           Compound* compound, int* ids, int* classes, int* types)
{
    QString name;
    if (!readIdentifier(s, i, &name))
        return false; // includes "::" pseudo-elements
    name = name.toLower();
    PseudoTest test;
    if (i < s.size() && s[i] == u'(') {
        const qsizetype close = closingParenthesis(s, i);
        if (close < 0)
            return false;
        const QStringView argument = s.mid(i + 1, close - i - 1).trimmed();
        i = close + 1;
        if (name == u"not")
            return parseNegation(argument, namespaces, notDepth, compound, ids, classes, types);
        if (!parseFunctionalPseudo(name, argument, &test))
            return false;
    } else if (!parseSimplePseudo(name, &test)) {
        return false; // a pseudo-element in the old one-colon form, or unknown
    }
    compound->pseudos.append(test);
    ++*classes;
    return true;
}

bool Selector::parseNegation(QStringView argument, const NamespaceMap& namespaces, int notDepth,
                             Compound* compound, int* ids, int* classes, int* types)
{
    if (notDepth >= kMaxNotNesting)
        return false;
    int best = -1;
    for (QStringView part : splitTopLevelCommas(argument)) {
        Selector negation;
        if (!parseOne(part.trimmed(), namespaces, notDepth + 1, &negation))
            return false;
        best = std::max(best, negation.m_spec);
        compound->negations.push_back(std::move(negation));
    }
    // A negation counts as its most specific argument.
    *ids += best >> 16;
    *classes += (best >> 8) & 0xFF;
    *types += best & 0xFF;
    return true;
}

// The nth-* pseudo-classes and :lang(), with their argument.
bool Selector::parseFunctionalPseudo(const QString& name, QStringView argument, PseudoTest* test)
{
    static const struct { const char16_t* name; Pseudo kind; } kNth[] = {
        { u"nth-child", Pseudo::NthChild }, { u"nth-last-child", Pseudo::NthLastChild },
        { u"nth-of-type", Pseudo::NthOfType }, { u"nth-last-of-type", Pseudo::NthLastOfType },
    };
    for (const auto& entry : kNth) {
        if (name == QStringView(entry.name)) {
            test->kind = entry.kind;
            return parseNth(argument, &test->a, &test->b);
        }
    }
    if (name != u"lang" || argument.isEmpty())
        return false;
    qsizetype at = 0;
    if (argument[0] == u'"' || argument[0] == u'\'') {
        if (!readString(argument, at, &test->lang))
            return false;
    } else if (!readIdentifier(argument, at, &test->lang)) {
        return false;
    }
    test->kind = Pseudo::Lang;
    return true;
}

// The pseudo-classes without an argument; first-child and its kin are nth tests of 1.
bool Selector::parseSimplePseudo(const QString& name, PseudoTest* test)
{
    static const struct { const char16_t* name; Pseudo kind; int a, b; } kSimple[] = {
        { u"root", Pseudo::Root, 0, 0 },           { u"empty", Pseudo::Empty, 0, 0 },
        { u"first-child", Pseudo::NthChild, 0, 1 }, { u"last-child", Pseudo::NthLastChild, 0, 1 },
        { u"first-of-type", Pseudo::NthOfType, 0, 1 }, { u"last-of-type", Pseudo::NthLastOfType, 0, 1 },
        { u"only-child", Pseudo::OnlyChild, 0, 0 }, { u"only-of-type", Pseudo::OnlyOfType, 0, 0 },
        { u"link", Pseudo::Link, 0, 0 },           { u"any-link", Pseudo::Link, 0, 0 },
        { u"enabled", Pseudo::Enabled, 0, 0 },     { u"disabled", Pseudo::Disabled, 0, 0 },
        { u"checked", Pseudo::Checked, 0, 0 },
        { u"visited", Pseudo::Never, 0, 0 },       { u"hover", Pseudo::Never, 0, 0 },
        { u"active", Pseudo::Never, 0, 0 },        { u"focus", Pseudo::Never, 0, 0 },
        { u"target", Pseudo::Never, 0, 0 },
    };
    for (const auto& entry : kSimple) {
        if (name == QStringView(entry.name)) {
            test->kind = entry.kind;
            test->a = entry.a;
            test->b = entry.b;
            return true;
        }
    }
    return false;
}

Selector::KeyKind Selector::keyKind() const
{
    const Compound& subject = m_compounds.last();
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
    const Compound& subject = m_compounds.last();
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

bool Selector::valueMatches(const AttributeTest& test, const QString& actual)
{
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
        for (QStringView word : htmlWords(actual)) {
            if (word.compare(wanted, cs) == 0)
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

bool Selector::attributeMatches(const AttributeTest& test, const ElementFacts& element)
{
    if (test.space == AttributeTest::Space::None) {
        // Unprefixed names are looked up as written: the DOM keeps qualified names.
        return element.element.hasAttribute(test.name) && valueMatches(test, element.element.attribute(test.name));
    }
    const QDomNamedNodeMap attributes = element.element.attributes();
    for (int i = 0; i < attributes.length(); ++i) {
        const QDomNode attribute = attributes.item(i);
        const QString qualified = attribute.nodeName();
        const qsizetype colon = qualified.indexOf(u':');
        if (QStringView(qualified).mid(colon + 1).compare(test.name, Qt::CaseInsensitive) != 0)
            continue;
        const QString prefix = colon < 0 ? QString() : qualified.left(colon);
        if (prefix == u"xmlns")
            continue;
        bool inSpace = true;
        if (test.space != AttributeTest::Space::Any) {
            if (prefix.isEmpty())
                continue;
            const auto bound = element.prefixes.constFind(prefix);
            if (test.space == AttributeTest::Space::Uri && bound != element.prefixes.constEnd())
                inSpace = *bound == test.namespaceUri;
            else
                inSpace = prefix == test.prefix; // the document does not bind it: as written
        }
        if (inSpace && valueMatches(test, attribute.nodeValue()))
            return true;
    }
    return false;
}

bool Selector::pseudoMatches(const PseudoTest& test, const ElementFacts& element)
{
    switch (test.kind) {
    case Pseudo::Root:
        return element.root;
    case Pseudo::Empty:
        return element.empty();
    case Pseudo::NthChild:
        return nthMatches(test.a, test.b, element.index);
    case Pseudo::NthLastChild:
        return nthMatches(test.a, test.b, element.followingSiblings() + 1);
    case Pseudo::NthOfType:
        return nthMatches(test.a, test.b, element.indexOfType);
    case Pseudo::NthLastOfType:
        return nthMatches(test.a, test.b, element.followingOfType() + 1);
    case Pseudo::OnlyChild:
        return element.index == 1 && element.followingSiblings() == 0;
    case Pseudo::OnlyOfType:
        return element.indexOfType == 1 && element.followingOfType() == 0;
    case Pseudo::Link:
        return (element.name == u"a" || element.name == u"area" || element.name == u"link")
            && element.element.hasAttribute(QStringLiteral("href"));
    case Pseudo::Lang:
        return element.lang.compare(test.lang, Qt::CaseInsensitive) == 0
            || element.lang.startsWith(test.lang + u'-', Qt::CaseInsensitive);
    case Pseudo::Enabled:
        return isFormElement(element.name) && !element.element.hasAttribute(QStringLiteral("disabled"));
    case Pseudo::Disabled:
        return isFormElement(element.name) && element.element.hasAttribute(QStringLiteral("disabled"));
    case Pseudo::Checked:
        return (element.name == u"input" && element.element.hasAttribute(QStringLiteral("checked")))
            || (element.name == u"option" && element.element.hasAttribute(QStringLiteral("selected")));
    case Pseudo::Never:
        break;
    }
    return false;
}

bool Selector::compoundMatches(int j, const ElementFacts& element, qint64* steps) const
{
    if (steps)
        ++*steps;
    const Compound& compound = m_compounds[j];
    if (!compound.type.isEmpty() && compound.type != element.name)
        return false;
    if (!compound.anyNamespace && compound.namespaceUri != element.namespaceUri)
        return false;
    if (!compound.id.isEmpty() && compound.id != element.id)
        return false;
    for (const QString& name : compound.classes) {
        if (!element.classes.contains(name))
            return false;
    }
    for (const AttributeTest& test : compound.attributes) {
        if (!attributeMatches(test, element))
            return false;
    }
    for (const PseudoTest& test : compound.pseudos) {
        if (!pseudoMatches(test, element))
            return false;
    }
    for (const Selector& negation : compound.negations) {
        if (negation.matches(element, steps))
            return false;
    }
    return true;
}

bool Selector::matches(const ElementFacts& element, qint64* steps) const
{
    if (m_compounds.isEmpty())
        return false;
    return matchesAt(int(m_compounds.size()) - 1, element, steps);
}

bool Selector::matchesAt(int j, const ElementFacts& element, qint64* steps) const
{
    if (!compoundMatches(j, element, steps))
        return false;
    if (j == 0)
        return true;
    switch (m_combinators[j - 1]) {
    case Combinator::Child:
        return element.parent && matchesAt(j - 1, *element.parent, steps);
    case Combinator::Adjacent:
        return element.previous && matchesAt(j - 1, *element.previous, steps);
    case Combinator::Descendant:
        return matchesAlong(j - 1, true, element, steps);
    case Combinator::Sibling:
        return matchesAlong(j - 1, false, element, steps);
    }
    return false;
}

// The answer for an element is the answer for the next one along the walk (its parent, or its
// preceding sibling) or'ed with a match at that next one. It is kept in each element walked, so
// the walk from any element stops at the first one already answered: every element is answered
// once per selector and step. The walk is a loop, not a recursion, however long it is.
bool Selector::matchesAlong(int j, bool ancestors, const ElementFacts& start, qint64* steps) const
{
    const auto next = [ancestors](const ElementFacts* e) { return ancestors ? e->parent : e->previous; };
    // Copies of a selector share their compounds, and so their answers.
    const void* selector = m_compounds.constData();
    const int step = j * 2 + (ancestors ? 0 : 1);
    QVarLengthArray<const ElementFacts*, 64> unanswered;
    bool answer = false;
    for (const ElementFacts* at = &start; at; at = next(at)) {
        if (steps)
            ++*steps;
        if (const bool* known = at->findAnswer(selector, step)) {
            answer = *known;
            break;
        }
        unanswered.append(at);
    }
    for (qsizetype k = unanswered.size() - 1; k >= 0; --k) {
        const ElementFacts* at = unanswered[k];
        const ElementFacts* along = next(at);
        answer = along && (answer || matchesAt(j, *along, steps));
        at->keepAnswer(selector, step, answer);
    }
    return answer;
}

} // namespace Css
