#include "css/CssValueCheck.h"

#include "css/CssValues.h"

#include <QHash>

#include <initializer_list>

namespace Css {

namespace {

using Check = bool (*)(QStringView value);

bool isOneOf(QStringView value, std::initializer_list<const char16_t*> keywords)
{
    for (const char16_t* keyword : keywords) {
        if (value.compare(QStringView(keyword), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// Every white-space separated word of value is one of the keywords, each at most once.
bool isKeywordSet(QStringView value, std::initializer_list<const char16_t*> keywords)
{
    const QStringList words = splitValue(value);
    for (qsizetype i = 0; i < words.size(); ++i) {
        if (!isOneOf(words[i], keywords))
            return false;
        for (qsizetype j = 0; j < i; ++j) {
            if (words[j].compare(words[i], Qt::CaseInsensitive) == 0)
                return false;
        }
    }
    return !words.isEmpty();
}

enum Sign { AnySign, NotNegative };

// A length (a bare number only when zero) or, with percent, a percentage.
bool isLength(QStringView value, Sign sign, bool percent = true)
{
    double number;
    QStringView unit;
    if (!splitNumber(value.trimmed(), &number, &unit) || (sign == NotNegative && number < 0))
        return false;
    if (unit.isEmpty())
        return number == 0;
    if (unit == u"%")
        return percent;
    return isOneOf(unit, { u"px", u"pt", u"pc", u"in", u"cm", u"mm", u"q", u"em", u"rem", u"ex", u"rex", u"ch",
                           u"rch", u"cap", u"rcap", u"ic", u"ric", u"lh", u"rlh", u"vw", u"vh", u"vi", u"vb",
                           u"vmin", u"vmax", u"svw", u"svh", u"lvw", u"lvh", u"dvw", u"dvh" });
}

bool isNumber(QStringView value, Sign sign)
{
    double number;
    QStringView unit;
    return splitNumber(value.trimmed(), &number, &unit) && unit.isEmpty() && (sign == AnySign || number >= 0);
}

bool isColour(QStringView value)
{
    QColor ignored;
    // The system colours name the reading system's own; the computed style leaves them to it.
    return parseColour(value, QColor(), &ignored)
        || isOneOf(value.trimmed(), { u"canvas", u"canvastext", u"linktext", u"visitedtext", u"activetext",
                                      u"buttonface", u"buttontext", u"buttonborder", u"field", u"fieldtext",
                                      u"highlight", u"highlighttext", u"selecteditem", u"selecteditemtext",
                                      u"mark", u"marktext", u"graytext", u"accentcolor", u"accentcolortext" });
}

// One family of a font-family list: a string, or identifiers separated by white space.
bool isFamily(QStringView family)
{
    family = family.trimmed();
    if (family.isEmpty())
        return false;
    if (family.front() == u'"' || family.front() == u'\'')
        return family.size() >= 2 && family.back() == family.front() && family.indexOf(family.front(), 1) == family.size() - 1;
    for (const QString& word : splitValue(family)) {
        if (word.front().isDigit() || (word.size() > 1 && word[0] == u'-' && word[1].isDigit()))
            return false;
        for (const QChar c : word) {
            if (!c.isLetterOrNumber() && c != u'-' && c != u'_' && c != u'\\' && c.unicode() < 0x80)
                return false;
        }
    }
    return true;
}

bool isFamilyList(QStringView value)
{
    // Commas inside strings do not separate families.
    qsizetype start = 0;
    QChar quote;
    for (qsizetype i = 0; i <= value.size(); ++i) {
        const QChar c = i < value.size() ? value[i] : QChar(u',');
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            else if (i == value.size())
                return false;
            continue;
        }
        if (c == u'"' || c == u'\'') {
            quote = c;
        } else if (c == u',') {
            if (!isFamily(value.mid(start, i - start)))
                return false;
            start = i + 1;
        }
    }
    return true;
}

bool isFontSize(QStringView value)
{
    double ignored;
    return parseFontSize(value, kBookFontSize, ParseParams(), &ignored) || value.trimmed().compare(u"math", Qt::CaseInsensitive) == 0;
}

bool isFontStyle(QStringView value)
{
    const QStringList words = splitValue(value);
    if (words.size() == 1)
        return isOneOf(words[0], { u"normal", u"italic", u"oblique" });
    double angle;
    QStringView unit;
    return words.size() == 2 && words[0].compare(u"oblique", Qt::CaseInsensitive) == 0
        && splitNumber(words[1], &angle, &unit) && isOneOf(unit, { u"deg", u"grad", u"rad", u"turn" });
}

bool isMargin(QStringView value)
{
    return isLength(value, AnySign) || isOneOf(value, { u"auto" });
}

bool isPadding(QStringView value)
{
    return isLength(value, NotNegative);
}

bool isBorderWidthValue(QStringView value)
{
    double ignored;
    return parseBorderWidth(value, kBookFontSize, ParseParams(), &ignored);
}

bool isBoxSize(QStringView value)
{
    return isLength(value, NotNegative) || isOneOf(value, { u"auto", u"min-content", u"max-content", u"fit-content" });
}

bool isMaxSize(QStringView value)
{
    return isLength(value, NotNegative) || isOneOf(value, { u"none", u"min-content", u"max-content", u"fit-content" });
}

bool isTextIndent(QStringView value)
{
    QStringList words = splitValue(value);
    const qsizetype lengths = std::count_if(words.cbegin(), words.cend(), [](const QString& w) { return isLength(w, AnySign); });
    words.removeIf([](const QString& w) { return isLength(w, AnySign); });
    return lengths == 1 && (words.isEmpty() || isKeywordSet(words.join(u' '), { u"hanging", u"each-line" }));
}

bool isLineHeight(QStringView value)
{
    return isOneOf(value, { u"normal" }) || isNumber(value, NotNegative) || isLength(value, NotNegative);
}

bool isLetterSpacing(QStringView value)
{
    return isOneOf(value, { u"normal" }) || isLength(value, AnySign);
}

bool isVerticalAlign(QStringView value)
{
    return isOneOf(value, { u"baseline", u"sub", u"super", u"text-top", u"text-bottom", u"middle", u"top", u"bottom" })
        || isLength(value, AnySign);
}

bool isTextAlign(QStringView value)
{
    // The -webkit- forms are what older WebKit books centre with; they mean the plain keywords.
    return isOneOf(value, { u"start", u"end", u"left", u"right", u"center", u"justify", u"match-parent",
                            u"justify-all", u"-webkit-left", u"-webkit-right", u"-webkit-center" });
}

bool isTextTransform(QStringView value)
{
    if (isOneOf(value, { u"none" }))
        return true;
    QStringList words = splitValue(value);
    const qsizetype cases = std::count_if(words.cbegin(), words.cend(), [](const QString& w) {
        return isOneOf(w, { u"capitalize", u"uppercase", u"lowercase" });
    });
    words.removeIf([](const QString& w) { return isOneOf(w, { u"capitalize", u"uppercase", u"lowercase" }); });
    return cases <= 1 && (words.isEmpty() ? cases == 1 : isKeywordSet(words.join(u' '), { u"full-width", u"full-size-kana" }));
}

bool isDecorationLine(QStringView value)
{
    return isOneOf(value, { u"none" })
        || isKeywordSet(value, { u"underline", u"overline", u"line-through", u"blink", u"spelling-error", u"grammar-error" });
}

bool isWhiteSpace(QStringView value)
{
    return isOneOf(value, { u"normal", u"pre", u"nowrap", u"pre-wrap", u"break-spaces", u"pre-line" })
        || isKeywordSet(value, { u"collapse", u"preserve", u"preserve-breaks", u"preserve-spaces", u"wrap" });
}

bool isDisplay(QStringView value)
{
    return isOneOf(value, { u"none", u"contents", u"inline-block", u"inline-table", u"inline-flex", u"inline-grid",
                            u"inline-list-item", u"table-row-group", u"table-header-group", u"table-footer-group",
                            u"table-row", u"table-cell", u"table-column-group", u"table-column", u"table-caption",
                            u"ruby-base", u"ruby-text", u"ruby-base-container", u"ruby-text-container" })
        || isKeywordSet(value, { u"block", u"inline", u"run-in", u"flow", u"flow-root", u"table", u"flex", u"grid",
                                 u"ruby", u"list-item" });
}

bool isListStyleType(QStringView value)
{
    const QStringView v = value.trimmed();
    if (v.size() >= 2 && (v.front() == u'"' || v.front() == u'\''))
        return v.back() == v.front();
    // Any identifier may name a counter style.
    return splitValue(v).size() == 1 && isFamily(v) && !v.startsWith(u'-');
}

bool isDirection(QStringView value)
{
    return isOneOf(value, { u"ltr", u"rtl" });
}

bool isUnicodeBidi(QStringView value)
{
    return isOneOf(value, { u"normal", u"embed", u"isolate", u"-webkit-isolate", u"bidi-override",
                            u"isolate-override", u"plaintext" });
}

bool isPosition(QStringView value)
{
    return isOneOf(value, { u"static", u"relative", u"absolute", u"fixed", u"sticky" });
}

bool isFontWeight(QStringView value)
{
    return parseFontWeight(value, 400) > 0;
}

bool isFontVariantCaps(QStringView value)
{
    return isOneOf(value, { u"normal", u"small-caps", u"all-small-caps", u"petite-caps", u"all-petite-caps",
                            u"unicase", u"titling-caps" });
}

const QHash<QString, Check>& checks()
{
    static const QHash<QString, Check> kChecks = [] {
        QHash<QString, Check> t = {
            { QStringLiteral("font-family"), isFamilyList }, { QStringLiteral("font-size"), isFontSize },
            { QStringLiteral("font-weight"), isFontWeight }, { QStringLiteral("font-style"), isFontStyle },
            { QStringLiteral("font-variant-caps"), isFontVariantCaps },
            { QStringLiteral("text-transform"), isTextTransform }, { QStringLiteral("letter-spacing"), isLetterSpacing },
            { QStringLiteral("text-decoration-line"), isDecorationLine }, { QStringLiteral("color"), isColour },
            { QStringLiteral("background-color"), isColour }, { QStringLiteral("vertical-align"), isVerticalAlign },
            { QStringLiteral("text-align"), isTextAlign }, { QStringLiteral("text-indent"), isTextIndent },
            { QStringLiteral("line-height"), isLineHeight }, { QStringLiteral("white-space"), isWhiteSpace },
            { QStringLiteral("display"), isDisplay }, { QStringLiteral("list-style-type"), isListStyleType },
            { QStringLiteral("width"), isBoxSize }, { QStringLiteral("height"), isBoxSize },
            { QStringLiteral("max-width"), isMaxSize }, { QStringLiteral("direction"), isDirection },
            { QStringLiteral("unicode-bidi"), isUnicodeBidi }, { QStringLiteral("position"), isPosition },
            { QStringLiteral("top"), isMargin }, { QStringLiteral("right"), isMargin }, { QStringLiteral("left"), isMargin },
        };
        for (const char* side : { "top", "right", "bottom", "left" }) {
            const QString s = QString::fromLatin1(side);
            t.insert(QStringLiteral("margin-") + s, isMargin);
            t.insert(QStringLiteral("padding-") + s, isPadding);
            t.insert(QStringLiteral("border-") + s + QStringLiteral("-width"), isBorderWidthValue);
            t.insert(QStringLiteral("border-") + s + QStringLiteral("-style"), isBorderStyle);
            t.insert(QStringLiteral("border-") + s + QStringLiteral("-color"), isColour);
        }
        return t;
    }();
    return kChecks;
}

bool isCssWide(QStringView value)
{
    return isOneOf(value.trimmed(), { u"inherit", u"initial", u"unset", u"revert", u"revert-layer" });
}

// Values this parser cannot judge before they are computed.
bool isDeferred(QStringView value)
{
    for (const char16_t* function : { u"var(", u"calc(", u"min(", u"max(", u"clamp(", u"env(", u"attr(" }) {
        if (value.contains(QStringView(function), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

} // namespace

bool isValidDeclaration(const Declaration& declaration)
{
    if (isCssWide(declaration.value) || isDeferred(declaration.value))
        return true;
    const QList<Declaration> longhands = expandShorthand(declaration);
    if (longhands.isEmpty())
        return false; // a shorthand that does not parse
    const QHash<QString, Check>& table = checks();
    for (const Declaration& longhand : longhands) {
        const auto check = table.constFind(longhand.property);
        if (check != table.constEnd() && !isCssWide(longhand.value) && !(*check)(longhand.value.trimmed()))
            return false;
    }
    return true;
}

} // namespace Css
