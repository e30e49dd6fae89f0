#include "css/CssParser.h"
#include "css/CssComputedStyle.h"
#include "css/CssSelector.h"
#include "css/CssValueCheck.h"
#include "css/CssValues.h"
#include "text/HtmlWhiteSpace.h"

#include <optional>

namespace Css {

namespace {

// Index just past the string that starts with the quote at `at`. A string ends at its closing quote
// or, unclosed, at the end of its line.
qsizetype skipString(QStringView s, qsizetype at)
{
    const QChar quote = s[at];
    qsizetype i = at + 1;
    while (i < s.size()) {
        const QChar c = s[i];
        if (c == u'\\') {
            i += 2;
            continue;
        }
        if (c == quote)
            return i + 1;
        if (c == u'\n')
            return i;
        ++i;
    }
    return s.size();
}

// Index just past the string or the escape that starts at `at`; `at` itself when neither does.
// Quotes and brackets inside either never count as syntax.
qsizetype skipStringOrEscape(QStringView s, qsizetype at)
{
    const QChar c = s[at];
    if (c == u'"' || c == u'\'')
        return skipString(s, at);
    if (c == u'\\')
        return at + 2;
    return at;
}

// Comments become one space each, so that "a/**/b" stays two tokens; strings are left untouched.
QString stripComments(QStringView s)
{
    if (!s.contains(u"/*"))
        return s.toString();
    QString out;
    out.reserve(s.size());
    qsizetype i = 0;
    while (i < s.size()) {
        const QChar c = s[i];
        if (c == u'"' || c == u'\'') {
            const qsizetype end = skipString(s, i);
            out += s.mid(i, end - i);
            i = end;
        } else if (c == u'\\' && i + 1 < s.size()) {
            out += s.mid(i, 2);
            i += 2;
        } else if (c == u'/' && i + 1 < s.size() && s[i + 1] == u'*') {
            const qsizetype end = s.indexOf(u"*/", i + 2);
            out += u' ';
            i = end < 0 ? s.size() : end + 2;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

// First index at or after `from` holding one of `stops` outside strings, escapes, parentheses and
// square brackets; s.size() when there is none.
qsizetype findTopLevel(QStringView s, qsizetype from, QStringView stops)
{
    int depth = 0;
    qsizetype i = from;
    while (i < s.size()) {
        if (const qsizetype past = skipStringOrEscape(s, i); past != i) {
            i = past;
            continue;
        }
        const QChar c = s[i];
        if (c == u'(' || c == u'[') {
            ++depth;
        } else if ((c == u')' || c == u']') && depth > 0) {
            --depth;
        } else if (depth == 0 && stops.contains(c)) {
            return i;
        }
        ++i;
    }
    return s.size();
}

// Index of the "}" that closes the block opened at `open`; s.size() when the block runs to the end.
qsizetype matchingBrace(QStringView s, qsizetype open)
{
    int depth = 0;
    qsizetype i = open;
    while (i < s.size()) {
        if (const qsizetype past = skipStringOrEscape(s, i); past != i) {
            i = past;
            continue;
        }
        const QChar c = s[i];
        if (c == u'{') {
            ++depth;
        } else if (c == u'}') {
            if (--depth == 0)
                return i;
        }
        ++i;
    }
    return s.size();
}

bool isIdentifier(QStringView s)
{
    if (s.isEmpty())
        return false;
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s[i];
        const bool ok = c.isLetterOrNumber() || c == u'-' || c == u'_' || c.unicode() >= 0x80;
        if (!ok)
            return false;
    }
    return !s[0].isDigit();
}

std::optional<Declaration> parseOneDeclaration(QStringView text)
{
    const qsizetype colon = findTopLevel(text, 0, u":");
    if (colon >= text.size())
        return std::nullopt;
    const QStringView property = text.left(colon).trimmed();
    QStringView value = text.mid(colon + 1).trimmed();
    if (!isIdentifier(property))
        return std::nullopt;

    Declaration declaration;
    // The last top-level "!" may start the importance flag ("! important" is allowed).
    qsizetype bang = -1;
    for (qsizetype i = findTopLevel(value, 0, u"!"); i < value.size(); i = findTopLevel(value, i + 1, u"!"))
        bang = i;
    if (bang >= 0 && value.mid(bang + 1).trimmed().compare(u"important", Qt::CaseInsensitive) == 0) {
        declaration.important = true;
        value = value.left(bang).trimmed();
    }
    if (value.isEmpty())
        return std::nullopt;
    declaration.property = property.toString().toLower();
    declaration.value = value.toString();
    return declaration;
}

// With checkValues, a declaration whose value its property does not accept is left out too (the
// descriptors of @font-face follow other rules than the properties of the same names).
QList<Declaration> parseDeclarationsOfCleanText(QStringView text, bool checkValues = true)
{
    QList<Declaration> out;
    qsizetype start = 0;
    while (start < text.size()) {
        const qsizetype end = findTopLevel(text, start, u";{");
        if (end < text.size() && text[end] == u'{') {
            // A nested block is no declaration: drop everything up to the end of the block and
            // the declaration it belongs to.
            const qsizetype close = matchingBrace(text, end);
            const qsizetype next = findTopLevel(text, qMin(close + 1, text.size()), u";");
            start = next + 1;
            continue;
        }
        auto declaration = parseOneDeclaration(text.mid(start, end - start));
        if (declaration && (!checkValues || isValidDeclaration(*declaration)))
            out.append(*declaration);
        start = end + 1;
    }
    return out;
}

QStringView atKeyword(QStringView s, qsizetype at)
{
    qsizetype i = at + 1;
    while (i < s.size() && (s[i].isLetterOrNumber() || s[i] == u'-' || s[i] == u'_'))
        ++i;
    return s.mid(at + 1, i - at - 1);
}

// The URL of an @import or @namespace prelude: url(...) or a string; *rest is what follows it.
QString preludeUrl(QStringView prelude, QStringView* rest)
{
    const QStringView p = prelude.trimmed();
    if (p.startsWith(u"url(", Qt::CaseInsensitive)) {
        const qsizetype close = findTopLevel(p, 4, u")");
        *rest = p.mid(close + 1);
        return firstUrl(p.left(close + 1));
    }
    if (!p.isEmpty() && (p[0] == u'"' || p[0] == u'\'')) {
        const qsizetype end = skipString(p, 0);
        *rest = p.mid(end);
        return p.mid(1, end - 2).toString();
    }
    return QString();
}

struct BlockParser {
    const MediaContext& media;
    ParsedSheet& out;
    bool rulesSeen = false;      // @import and @namespace count only before any other rule
    bool namespacesSeen = false; // and @import only before @namespace

    // Reads the rules of s: a sheet, or the body of an @media or @supports block at depth.
    void parse(QStringView s, int depth)
    {
        qsizetype i = 0;
        while (i < s.size()) {
            i = skipSeparators(s, i);
            if (i >= s.size())
                break;
            // Each returns where the next rule starts, or s.size() when the rest is cut short.
            i = s[i] == u'@' ? atRule(s, i, depth) : styleRule(s, i);
        }
    }

    // Skips white space, the "<!--" and "-->" a sheet may be wrapped in and a stray "}" or ";".
    static qsizetype skipSeparators(QStringView s, qsizetype i)
    {
        while (i < s.size()) {
            if (isHtmlSpace(s[i]) || s[i] == u'}' || s[i] == u';')
                ++i;
            else if (s.mid(i).startsWith(u"<!--"))
                i += 4;
            else if (s.mid(i).startsWith(u"-->"))
                i += 3;
            else
                break;
        }
        return i;
    }

    qsizetype atRule(QStringView s, qsizetype i, int depth)
    {
        const QString name = atKeyword(s, i).toString().toLower();
        const qsizetype preludeStart = i + 1 + name.size();
        const qsizetype end = findTopLevel(s, preludeStart, u";{}");
        if (end >= s.size() && name != u"import" && name != u"namespace")
            return s.size();
        const QStringView prelude = s.mid(preludeStart, end - preludeStart);
        if (end >= s.size() || s[end] != u'{') {
            // A statement, or an at-rule cut short by a stray "}".
            statement(name, prelude, depth);
            return end + 1;
        }
        if (name != u"charset")
            rulesSeen = true;
        const qsizetype close = matchingBrace(s, end);
        blockAtRule(name, prelude, s.mid(end + 1, close - end - 1), depth);
        return close + 1;
    }

    void blockAtRule(const QString& name, QStringView prelude, QStringView body, int depth)
    {
        if (name == u"media")
            noteColourScheme(prelude);
        if (name == u"media" || name == u"supports") {
            const bool applies = name == u"media" ? Parser::mediaApplies(prelude, media)
                                                  : Parser::supportsApplies(prelude);
            if (depth < Parser::kMaxMediaNesting && applies)
                parse(body, depth + 1);
        } else if (name == u"font-face") {
            out.fontFaces.append(parseDeclarationsOfCleanText(body, false));
        }
    }

    qsizetype styleRule(QStringView s, qsizetype i)
    {
        rulesSeen = true;
        const qsizetype open = findTopLevel(s, i, u"{}");
        if (open >= s.size())
            return s.size(); // a selector without a block
        if (s[open] == u'}')
            return open + 1;
        const qsizetype close = matchingBrace(s, open);
        Rule rule;
        rule.selectors = s.mid(i, open - i).trimmed().toString();
        rule.declarations = parseDeclarationsOfCleanText(s.mid(open + 1, close - open - 1));
        if (!rule.selectors.isEmpty() && !rule.declarations.isEmpty())
            out.rules.append(std::move(rule));
        return close + 1;
    }

    // Whether the sheet would read otherwise in the other colour scheme.
    void noteColourScheme(QStringView query)
    {
        if (query.contains(u"prefers-color-scheme", Qt::CaseInsensitive))
            out.asksColourScheme = true;
    }

    void statement(const QString& name, QStringView prelude, int depth)
    {
        if (name == u"charset" || depth > 0)
            return;
        QStringView rest;
        if (name == u"import") {
            if (rulesSeen || namespacesSeen)
                return;
            const QString url = preludeUrl(prelude, &rest);
            noteColourScheme(rest);
            if (!url.isEmpty() && Parser::mediaApplies(rest, media))
                out.imports.append(url);
        } else if (name == u"namespace") {
            namespacesSeen = true;
            if (rulesSeen)
                return;
            // "@namespace prefix url(...)" or "@namespace url(...)".
            QStringView p = prelude.trimmed();
            QString prefix;
            if (!p.isEmpty() && p[0] != u'"' && p[0] != u'\'' && !p.startsWith(u"url(", Qt::CaseInsensitive)) {
                qsizetype k = 0;
                while (k < p.size() && !isHtmlSpace(p[k]))
                    ++k;
                prefix = p.left(k).toString();
                p = p.mid(k);
            }
            const QString uri = preludeUrl(p, &rest);
            if (!uri.isEmpty() || p.trimmed().startsWith(u"url(", Qt::CaseInsensitive) || p.trimmed().startsWith(u'"'))
                out.namespaces.append({ prefix, uri });
        } else {
            rulesSeen = true;
        }
    }
};

// A length of a media feature in px: the font-relative units count the initial 16px.
bool mediaLength(QStringView text, double* px)
{
    const QString value = text.trimmed().toString().toLower();
    static const struct { const char16_t* unit; double scale; } kUnits[] = {
        { u"px", 1 }, { u"rem", 16 }, { u"em", 16 }, { u"pt", 4.0 / 3 }, { u"pc", 16 },
        { u"in", 96 }, { u"cm", 96 / 2.54 }, { u"mm", 96 / 25.4 },
    };
    for (const auto& entry : kUnits) {
        const QStringView unit(entry.unit);
        if (value.endsWith(unit)) {
            bool ok = false;
            const double number = QStringView(value).chopped(unit.size()).toDouble(&ok);
            *px = number * entry.scale;
            return ok;
        }
    }
    bool ok = false;
    *px = value.toDouble(&ok);
    return ok && *px == 0;
}

bool mediaRatio(QStringView text, double* ratio)
{
    const qsizetype slash = text.indexOf(u'/');
    bool ok1 = false, ok2 = true;
    const double a = (slash < 0 ? text : text.left(slash)).trimmed().toDouble(&ok1);
    const double b = slash < 0 ? 1 : text.mid(slash + 1).trimmed().toDouble(&ok2);
    if (!ok1 || !ok2 || b <= 0)
        return false;
    *ratio = a / b;
    return true;
}

// How a media feature's value is compared: "min-" and "max-" prefixes make it a bound.
enum class FeatureBound { Exact, Min, Max };

// One "(feature)" or "(feature: value)", without its parentheses.
bool featureHolds(QStringView feature, const MediaContext& media)
{
    const qsizetype colon = feature.indexOf(u':');
    QString name = (colon < 0 ? feature : feature.left(colon)).trimmed().toString().toLower();
    const QStringView value = colon < 0 ? QStringView() : feature.mid(colon + 1).trimmed();
    FeatureBound bound = FeatureBound::Exact;
    if (name.startsWith(u"min-")) {
        bound = FeatureBound::Min;
        name.remove(0, 4);
    } else if (name.startsWith(u"max-")) {
        bound = FeatureBound::Max;
        name.remove(0, 4);
    }
    if (colon < 0 && bound != FeatureBound::Exact)
        return false;
    auto compare = [bound](double actual, double wanted) {
        return bound == FeatureBound::Min   ? actual >= wanted
            : bound == FeatureBound::Max ? actual <= wanted
                                         : qFuzzyCompare(actual + 1, wanted + 1);
    };
    if (name == u"width" || name == u"height" || name == u"device-width" || name == u"device-height") {
        const double actual = name.endsWith(u"width") ? media.width : media.height;
        if (colon < 0)
            return actual > 0;
        double px = 0;
        return mediaLength(value, &px) && compare(actual, px);
    }
    if (name == u"aspect-ratio" || name == u"device-aspect-ratio") {
        double ratio = 0;
        if (colon < 0)
            return true;
        return media.height > 0 && mediaRatio(value, &ratio) && compare(media.width / media.height, ratio);
    }
    if (name == u"orientation" && bound == FeatureBound::Exact) {
        const bool portrait = media.height >= media.width;
        return colon < 0 || value.compare(portrait ? u"portrait" : u"landscape", Qt::CaseInsensitive) == 0;
    }
    if (name == u"color" || name == u"color-index" || name == u"monochrome") {
        const double actual = name == u"color" ? 8 : name == u"color-index" ? 256 : 0;
        if (colon < 0)
            return actual > 0;
        bool ok = false;
        const double wanted = value.toDouble(&ok);
        return ok && compare(actual, wanted);
    }
    if (name == u"prefers-color-scheme" && bound == FeatureBound::Exact)
        return colon >= 0 && value.compare(media.dark ? u"dark" : u"light", Qt::CaseInsensitive) == 0;
    if (name == u"hover" || name == u"any-hover" || name == u"pointer" || name == u"any-pointer")
        return bound == FeatureBound::Exact && (colon < 0 ? false : value.compare(u"none", Qt::CaseInsensitive) == 0);
    if (name == u"grid" || name == u"scan")
        return false;
    return false;
}

// One query of a media query list.
bool queryHolds(QStringView query, const MediaContext& media)
{
    qsizetype i = 0;
    bool negated = false;
    bool typeSeen = false;
    bool typeMatches = true;
    bool expectAnd = false;
    bool holds = true;
    while (true) {
        while (i < query.size() && isHtmlSpace(query[i]))
            ++i;
        if (i >= query.size())
            break;
        if (query[i] == u'(') {
            if (expectAnd)
                return false;
            const qsizetype close = findTopLevel(query, i + 1, u")");
            if (close >= query.size())
                return false;
            holds = holds && featureHolds(query.mid(i + 1, close - i - 1), media);
            i = close + 1;
            expectAnd = true;
            continue;
        }
        qsizetype end = i;
        while (end < query.size() && !isHtmlSpace(query[end]) && query[end] != u'(')
            ++end;
        const QString word = query.mid(i, end - i).toString().toLower();
        i = end;
        if (expectAnd) {
            if (word != u"and")
                return false;
            expectAnd = false;
            continue;
        }
        if (!typeSeen && word == u"not") {
            negated = true;
            continue;
        }
        if (!typeSeen && word == u"only")
            continue;
        if (typeSeen)
            return false;
        typeSeen = true;
        typeMatches = word == u"all" || word == u"screen";
        expectAnd = true;
    }
    if (!expectAnd)
        return false; // nothing, "not" alone, or a dangling "and"
    const bool result = typeMatches && holds;
    return negated ? !result : result;
}

bool supportsCondition(QStringView s, int depth);

// Splits s at its top-level "and" or "or" into parenthesised terms (or selector(...) ones); false
// when s is no such list or mixes the two operators without parentheses.
bool splitSupportsTerms(QStringView s, QList<QStringView>* terms, QString* op)
{
    qsizetype i = 0;
    while (i < s.size()) {
        while (i < s.size() && isHtmlSpace(s[i]))
            ++i;
        if (i >= s.size())
            break;
        qsizetype termStart = i;
        if (s.mid(i).startsWith(u"selector(", Qt::CaseInsensitive))
            i += 8;
        if (i >= s.size() || s[i] != u'(')
            return false;
        const qsizetype close = findTopLevel(s, i + 1, u")");
        if (close >= s.size())
            return false;
        terms->append(s.mid(termStart, close + 1 - termStart));
        i = close + 1;
        while (i < s.size() && isHtmlSpace(s[i]))
            ++i;
        if (i >= s.size())
            break;
        qsizetype end = i;
        while (end < s.size() && s[end].isLetter())
            ++end;
        const QString word = s.mid(i, end - i).toString().toLower();
        if ((word != u"and" && word != u"or") || (!op->isEmpty() && *op != word))
            return false;
        *op = word;
        i = end;
    }
    return !terms->isEmpty();
}

// One term: "selector(...)", "(property: value)" or a parenthesised condition.
bool supportsTerm(QStringView term, int depth)
{
    if (term.startsWith(u"selector(", Qt::CaseInsensitive))
        return !Selector::parseList(term.mid(9, term.size() - 10)).isEmpty();
    const QStringView inner = term.mid(1, term.size() - 2).trimmed();
    const qsizetype colon = findTopLevel(inner, 0, u":");
    const bool nested = inner.startsWith(u'(') || inner.startsWith(u"not", Qt::CaseInsensitive);
    if (nested || colon >= inner.size())
        return supportsCondition(inner, depth + 1);
    Declaration declaration;
    declaration.property = inner.left(colon).trimmed().toString().toLower();
    declaration.value = inner.mid(colon + 1).trimmed().toString();
    return !declaration.value.isEmpty() && ComputedStyle::supports(declaration);
}

// One condition of @supports, with its operators.
bool supportsCondition(QStringView s, int depth)
{
    s = s.trimmed();
    if (s.isEmpty() || depth > 16)
        return false;
    if (s.startsWith(u"not", Qt::CaseInsensitive) && s.size() > 3 && (isHtmlSpace(s[3]) || s[3] == u'('))
        return !supportsCondition(s.mid(3), depth + 1);
    QList<QStringView> terms;
    QString op;
    if (!splitSupportsTerms(s, &terms, &op))
        return false;
    bool result = op != u"or";
    for (QStringView term : terms) {
        const bool holds = supportsTerm(term, depth);
        result = op == u"or" ? result || holds : result && holds;
    }
    return result;
}

} // namespace

ParsedSheet Parser::parseSheet(const QString& text, const MediaContext& media)
{
    ParsedSheet out;
    const QString clean = stripComments(text);
    BlockParser parser { media, out };
    parser.parse(clean, 0);
    return out;
}

QList<Declaration> Parser::parseDeclarations(QStringView text)
{
    const QString clean = stripComments(text);
    return parseDeclarationsOfCleanText(clean);
}

bool Parser::mediaApplies(QStringView prelude, const MediaContext& media)
{
    if (prelude.trimmed().isEmpty())
        return true;
    qsizetype start = 0;
    while (start <= prelude.size()) {
        const qsizetype comma = findTopLevel(prelude, start, u",");
        if (queryHolds(prelude.mid(start, comma - start), media))
            return true;
        start = comma + 1;
    }
    return false;
}

bool Parser::supportsApplies(QStringView condition)
{
    return supportsCondition(condition, 0);
}

} // namespace Css
