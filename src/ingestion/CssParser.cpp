#include "CssParser.h"
#include "HtmlWhiteSpace.h"

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

QList<Declaration> parseDeclarationsOfCleanText(QStringView text)
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
        if (auto declaration = parseOneDeclaration(text.mid(start, end - start)))
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

void parseBlockContents(QStringView s, int mediaDepth, ParsedSheet& out)
{
    qsizetype i = 0;
    while (i < s.size()) {
        while (i < s.size() && isHtmlSpace(s[i]))
            ++i;
        if (i >= s.size())
            break;
        if (s.mid(i).startsWith(u"<!--")) {
            i += 4;
            continue;
        }
        if (s.mid(i).startsWith(u"-->")) {
            i += 3;
            continue;
        }
        const QChar c = s[i];
        if (c == u'}' || c == u';') {
            ++i; // stray: skip it
            continue;
        }
        if (c == u'@') {
            const QString name = atKeyword(s, i).toString().toLower();
            const qsizetype preludeStart = i + 1 + name.size();
            const qsizetype end = findTopLevel(s, preludeStart, u";{}");
            if (end >= s.size())
                break;
            if (s[end] != u'{') {
                i = end + 1; // a statement, or an at-rule cut short by a stray "}"
                continue;
            }
            const qsizetype close = matchingBrace(s, end);
            const QStringView body = s.mid(end + 1, close - end - 1);
            if (name == u"media") {
                if (mediaDepth < Parser::MaxMediaNesting && Parser::mediaApplies(s.mid(preludeStart, end - preludeStart)))
                    parseBlockContents(body, mediaDepth + 1, out);
            } else if (name == u"font-face") {
                out.fontFaces.append(parseDeclarationsOfCleanText(body));
            }
            i = close + 1;
            continue;
        }
        const qsizetype open = findTopLevel(s, i, u"{}");
        if (open >= s.size())
            break; // a selector without a block
        if (s[open] == u'}') {
            i = open + 1;
            continue;
        }
        const qsizetype close = matchingBrace(s, open);
        Rule rule;
        rule.selectors = s.mid(i, open - i).trimmed().toString();
        rule.declarations = parseDeclarationsOfCleanText(s.mid(open + 1, close - open - 1));
        if (!rule.selectors.isEmpty() && !rule.declarations.isEmpty())
            out.rules.append(std::move(rule));
        i = close + 1;
    }
}

} // namespace

ParsedSheet Parser::parseSheet(const QString& text)
{
    ParsedSheet out;
    const QString clean = stripComments(text);
    parseBlockContents(clean, 0, out);
    return out;
}

QList<Declaration> Parser::parseDeclarations(QStringView text)
{
    const QString clean = stripComments(text);
    return parseDeclarationsOfCleanText(clean);
}

bool Parser::mediaApplies(QStringView prelude)
{
    const QString lower = prelude.toString().toLower();
    if (lower.trimmed().isEmpty())
        return true;
    for (const QString& query : lower.split(u',')) {
        if (query.contains(u'('))
            continue; // media features are not evaluated: such a query never applies
        QStringList words = query.simplified().split(u' ', Qt::SkipEmptyParts);
        bool negated = false;
        if (!words.isEmpty() && words.first() == u"not") {
            negated = true;
            words.removeFirst();
        } else if (!words.isEmpty() && words.first() == u"only") {
            words.removeFirst();
        }
        if (words.size() != 1)
            continue; // "screen and" without a feature, or nothing after "not"
        const bool screen = words.first() == u"all" || words.first() == u"screen";
        if (screen != negated)
            return true;
    }
    return false;
}

} // namespace Css
