#include "css/CssValues.h"
#include "text/AsciiDigit.h"
#include "text/HtmlWhiteSpace.h"

#include <cmath>

namespace Css {

namespace {

bool isCssWideKeyword(QStringView value)
{
    return value.compare(u"inherit", Qt::CaseInsensitive) == 0 || value.compare(u"initial", Qt::CaseInsensitive) == 0
        || value.compare(u"unset", Qt::CaseInsensitive) == 0 || value.compare(u"revert", Qt::CaseInsensitive) == 0;
}

} // namespace

bool splitNumber(QStringView s, double* number, QStringView* unit)
{
    qsizetype i = 0;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-'))
        ++i;
    const qsizetype digitsStart = i;
    while (i < s.size() && s[i].isDigit() && s[i].unicode() < 0x80)
        ++i;
    if (i < s.size() && s[i] == u'.') {
        ++i;
        while (i < s.size() && s[i].isDigit() && s[i].unicode() < 0x80)
            ++i;
    }
    if (i == digitsStart || (i == digitsStart + 1 && s[digitsStart] == u'.'))
        return false;
    // An exponent only when digits follow the "e" ("1em" is one em, not an exponent).
    if (i + 1 < s.size() && (s[i] == u'e' || s[i] == u'E')) {
        qsizetype j = i + 1;
        if (j < s.size() && (s[j] == u'+' || s[j] == u'-'))
            ++j;
        if (j < s.size() && s[j].isDigit() && s[j].unicode() < 0x80) {
            while (j < s.size() && s[j].isDigit() && s[j].unicode() < 0x80)
                ++j;
            i = j;
        }
    }
    bool ok = false;
    const double value = s.left(i).toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return false;
    *number = value;
    *unit = s.mid(i);
    return true;
}

namespace {

bool parseHexColour(QStringView hex, QColor* out)
{
    for (QChar c : hex) {
        if (asciiDigitValue(c, 16) < 0)
            return false;
    }
    int r, g, b, a = 255;
    auto pair = [&](int at) { return asciiDigitValue(hex[at], 16) * 16 + asciiDigitValue(hex[at + 1], 16); };
    auto single = [&](int at) { return asciiDigitValue(hex[at], 16) * 17; };
    switch (hex.size()) {
    case 3:
    case 4:
        r = single(0), g = single(1), b = single(2);
        if (hex.size() == 4)
            a = single(3);
        break;
    case 6:
    case 8:
        r = pair(0), g = pair(2), b = pair(4);
        if (hex.size() == 8)
            a = pair(6);
        break;
    default:
        return false;
    }
    *out = QColor(r, g, b, a);
    return true;
}

// The arguments of rgb() or hsl(), separated by commas, spaces or "/".
QStringList functionArguments(QStringView inside)
{
    QString normalised = inside.toString();
    normalised.replace(u',', u' ').replace(u'/', u' ');
    return normalised.simplified().split(u' ', Qt::SkipEmptyParts);
}

// A colour channel: a number in 0..scale or a percentage of scale.
bool channel(const QString& text, double scale, double* out)
{
    double number;
    QStringView unit;
    if (!splitNumber(text, &number, &unit))
        return false;
    if (unit == u"%")
        number = number * scale / 100.0;
    else if (!unit.isEmpty() && unit.compare(u"deg", Qt::CaseInsensitive) != 0)
        return false;
    *out = number;
    return true;
}

bool parseFunctionColour(QStringView name, QStringView inside, QColor* out)
{
    const QStringList args = functionArguments(inside);
    if (args.size() != 3 && args.size() != 4)
        return false;
    double alpha = 1;
    if (args.size() == 4 && !channel(args[3], 1.0, &alpha))
        return false;
    alpha = std::clamp(alpha, 0.0, 1.0);
    if (name == u"rgb" || name == u"rgba") {
        double c[3];
        for (int i = 0; i < 3; ++i) {
            if (!channel(args[i], 255.0, &c[i]))
                return false;
            c[i] = std::clamp(c[i], 0.0, 255.0);
        }
        *out = QColor(int(std::lround(c[0])), int(std::lround(c[1])), int(std::lround(c[2])), int(std::lround(alpha * 255)));
        return true;
    }
    if (name == u"hsl" || name == u"hsla") {
        double h, s, l;
        if (!channel(args[0], 360.0, &h) || !channel(args[1], 1.0, &s) || !channel(args[2], 1.0, &l))
            return false;
        if (!args[1].endsWith(u'%') || !args[2].endsWith(u'%'))
            return false;
        h = std::fmod(std::fmod(h, 360.0) + 360.0, 360.0);
        *out = QColor::fromHslF(float(h / 360.0), float(std::clamp(s, 0.0, 1.0)), float(std::clamp(l, 0.0, 1.0)), float(alpha));
        return true;
    }
    return false;
}

QList<Declaration> fourSides(const QString& prefix, const QString& suffix, const QStringList& values, bool important)
{
    // CSS order of the 1-4 values: top, right, bottom, left.
    if (values.isEmpty() || values.size() > 4)
        return {};
    const QString top = values[0];
    const QString right = values.size() > 1 ? values[1] : top;
    const QString bottom = values.size() > 2 ? values[2] : top;
    const QString left = values.size() > 3 ? values[3] : right;
    return {
        { prefix + QStringLiteral("-top") + suffix, top, important },
        { prefix + QStringLiteral("-right") + suffix, right, important },
        { prefix + QStringLiteral("-bottom") + suffix, bottom, important },
        { prefix + QStringLiteral("-left") + suffix, left, important },
    };
}

// One side's "width style colour" in any order; missing parts take their initial values.
QList<Declaration> borderSide(const QString& side, const QStringList& parts, bool important)
{
    QString width = QStringLiteral("medium"), style = QStringLiteral("none"), colour = QStringLiteral("currentcolor");
    bool haveWidth = false, haveStyle = false, haveColour = false;
    const ParseParams params;
    for (const QString& part : parts) {
        double ignored;
        QColor ignoredColour;
        if (!haveStyle && isBorderStyle(part)) {
            style = part;
            haveStyle = true;
        } else if (!haveWidth && parseBorderWidth(part, kBookFontSize, params, &ignored)) {
            width = part;
            haveWidth = true;
        } else if (!haveColour && parseColour(part, QColor(), &ignoredColour)) {
            colour = part;
            haveColour = true;
        } else {
            return {};
        }
    }
    return {
        { QStringLiteral("border-") + side + QStringLiteral("-width"), width, important },
        { QStringLiteral("border-") + side + QStringLiteral("-style"), style, important },
        { QStringLiteral("border-") + side + QStringLiteral("-color"), colour, important },
    };
}

bool isListStyleType(QStringView value)
{
    static const char16_t* const kTypes[] = {
        u"disc", u"circle", u"square", u"decimal", u"decimal-leading-zero", u"lower-roman", u"upper-roman",
        u"lower-alpha", u"upper-alpha", u"lower-latin", u"upper-latin", u"lower-greek", u"none",
    };
    for (const char16_t* type : kTypes) {
        if (value.compare(QStringView(type), Qt::CaseInsensitive) == 0)
            return true;
    }
    return value.startsWith(u'"') || value.startsWith(u'\'');
}

// What else text-decoration may hold: none, blink, a line style, a colour or a thickness.
bool isDecorationPart(const QString& lower)
{
    static const char16_t* const kKeywords[] = {
        u"none", u"blink", u"solid", u"double", u"dotted", u"dashed", u"wavy", u"auto", u"from-font",
    };
    if (std::any_of(std::begin(kKeywords), std::end(kKeywords), [&](const char16_t* k) { return lower == QStringView(k); }))
        return true;
    QColor ignoredColour;
    double ignoredLength;
    return parseColour(lower, QColor(), &ignoredColour) || parseLength(lower, kBookFontSize, ParseParams(), &ignoredLength);
}

// Reads a font size at parts[i], with the line height it may carry ("12px/1.4", "12px /1.4",
// "12px/ 1.4"), and moves i past them; false when parts[i] is no size.
bool readFontSize(const QStringList& parts, qsizetype& i, QString* size, QString* lineHeight)
{
    const QString lower = parts[i].toLower();
    const qsizetype slash = lower.indexOf(u'/');
    const QString sizePart = slash >= 0 ? lower.left(slash) : lower;
    double ignored;
    if (!parseFontSize(sizePart, kBookFontSize, ParseParams(), &ignored))
        return false;
    *size = sizePart;
    if (slash >= 0) {
        *lineHeight = lower.mid(slash + 1);
        if (lineHeight->isEmpty() && i + 1 < parts.size())
            *lineHeight = parts[++i];
    } else if (i + 1 < parts.size() && parts[i + 1].startsWith(u'/')) {
        *lineHeight = parts[++i].mid(1);
        if (lineHeight->isEmpty() && i + 1 < parts.size())
            *lineHeight = parts[++i];
    }
    ++i;
    return true;
}

// Files one of the keywords that may stand before a font's size; false for any other word.
bool readFontKeyword(const QString& lower, QString* style, QString* variant, QString* weight)
{
    static const char16_t* const kStyles[] = { u"italic", u"oblique" };
    static const char16_t* const kStretches[] = {
        u"ultra-condensed", u"extra-condensed", u"condensed", u"semi-condensed", u"semi-expanded",
        u"expanded", u"extra-expanded", u"ultra-expanded",
    };
    const auto is = [&](const char16_t* k) { return lower == QStringView(k); };
    if (lower == u"normal")
        return true;
    if (std::any_of(std::begin(kStyles), std::end(kStyles), is)) {
        *style = lower;
        return true;
    }
    if (lower == u"small-caps") {
        *variant = lower;
        return true;
    }
    if (parseFontWeight(lower, 400) > 0) {
        *weight = lower;
        return true;
    }
    return std::any_of(std::begin(kStretches), std::end(kStretches), is);
}

QList<Declaration> expandFont(const Declaration& d)
{
    const QStringList parts = splitValue(d.value);
    QString style = QStringLiteral("normal"), variant = QStringLiteral("normal"), weight = QStringLiteral("normal");
    QString size, lineHeight = QStringLiteral("normal");
    // Style, variant, weight and stretch in any order, then the size, then the family.
    qsizetype i = 0;
    while (i < parts.size() && !readFontSize(parts, i, &size, &lineHeight)) {
        if (!readFontKeyword(parts[i].toLower(), &style, &variant, &weight))
            return {}; // a system font keyword or garbage
        ++i;
    }
    if (size.isEmpty() || i >= parts.size())
        return {};
    const QString family = parts.mid(i).join(u' ');
    return {
        { QStringLiteral("font-style"), style, d.important },
        { QStringLiteral("font-variant-caps"), variant, d.important },
        { QStringLiteral("font-weight"), weight, d.important },
        { QStringLiteral("font-size"), size, d.important },
        { QStringLiteral("line-height"), lineHeight, d.important },
        { QStringLiteral("font-family"), family, d.important },
    };
}

} // namespace

bool parseLength(const QString& value, double fontSize, const ParseParams& params, double* out)
{
    const QStringView text = QStringView(value).trimmed();
    double number;
    QStringView unit;
    if (!splitNumber(text, &number, &unit))
        return false;
    const double scale = params.baseFontSize / kBookFontSize;
    double factor;
    if (unit.isEmpty()) {
        if (number != 0)
            return false; // only zero may omit its unit
        factor = 0;
    } else if (unit.compare(u"px", Qt::CaseInsensitive) == 0) {
        factor = scale;
    } else if (unit.compare(u"pt", Qt::CaseInsensitive) == 0) {
        factor = scale * 96.0 / 72.0;
    } else if (unit.compare(u"pc", Qt::CaseInsensitive) == 0) {
        factor = scale * 16.0;
    } else if (unit.compare(u"in", Qt::CaseInsensitive) == 0) {
        factor = scale * 96.0;
    } else if (unit.compare(u"cm", Qt::CaseInsensitive) == 0) {
        factor = scale * 96.0 / 2.54;
    } else if (unit.compare(u"mm", Qt::CaseInsensitive) == 0) {
        factor = scale * 96.0 / 25.4;
    } else if (unit.compare(u"q", Qt::CaseInsensitive) == 0) {
        factor = scale * 96.0 / 101.6;
    } else if (unit.compare(u"em", Qt::CaseInsensitive) == 0) {
        factor = fontSize;
    } else if (unit.compare(u"rem", Qt::CaseInsensitive) == 0) {
        factor = params.baseFontSize;
    } else if (unit.compare(u"ex", Qt::CaseInsensitive) == 0 || unit.compare(u"ch", Qt::CaseInsensitive) == 0) {
        factor = fontSize * 0.5;
    } else if (unit == u"%" || unit.compare(u"vw", Qt::CaseInsensitive) == 0) {
        factor = params.referenceWidth / 100.0;
    } else {
        return false;
    }
    const double result = number * factor;
    if (!std::isfinite(result))
        return false;
    // Keeps hostile values from reaching the layout as astronomic sizes.
    *out = std::clamp(result, -1e6, 1e6);
    return true;
}

bool parseColour(QStringView value, const QColor& currentColour, QColor* out)
{
    const QString lower = value.trimmed().toString().toLower();
    if (lower.isEmpty())
        return false;
    if (lower == u"currentcolor") {
        *out = currentColour;
        return true;
    }
    if (lower == u"transparent") {
        *out = QColor(0, 0, 0, 0);
        return true;
    }
    if (lower.startsWith(u'#'))
        return parseHexColour(QStringView(lower).mid(1), out);
    const qsizetype open = lower.indexOf(u'(');
    if (open > 0) {
        if (!lower.endsWith(u')'))
            return false;
        return parseFunctionColour(QStringView(lower).left(open), QStringView(lower).mid(open + 1, lower.size() - open - 2), out);
    }
    for (QChar c : lower) {
        if (!(c >= u'a' && c <= u'z'))
            return false; // only plain names go to Qt, which would also take "#AARRGGBB" and the like
    }
    if (!QColor::isValidColorName(lower))
        return false;
    *out = QColor::fromString(lower);
    return out->isValid();
}

bool parseFontSize(QStringView value, double parentSize, const ParseParams& params, double* out)
{
    static const struct { const char16_t* name; double px; } kKeywords[] = {
        { u"xx-small", 9 }, { u"x-small", 10 }, { u"small", 13 }, { u"medium", 16 },
        { u"large", 18 }, { u"x-large", 24 }, { u"xx-large", 32 }, { u"xxx-large", 48 },
    };
    const QStringView text = value.trimmed();
    double size = -1;
    for (const auto& keyword : kKeywords) {
        if (text.compare(QStringView(keyword.name), Qt::CaseInsensitive) == 0)
            size = keyword.px * params.baseFontSize / kBookFontSize;
    }
    if (text.compare(u"smaller", Qt::CaseInsensitive) == 0)
        size = parentSize / 1.2;
    else if (text.compare(u"larger", Qt::CaseInsensitive) == 0)
        size = parentSize * 1.2;
    if (size < 0) {
        double number;
        QStringView unit;
        if (!splitNumber(text, &number, &unit) || number < 0)
            return false;
        if (unit == u"%") {
            size = parentSize * number / 100.0;
        } else if (!parseLength(text.toString(), parentSize, params, &size)) {
            return false;
        }
    }
    *out = std::clamp(size, 1.0, 1000.0);
    return true;
}

int parseFontWeight(QStringView value, int parentWeight)
{
    const QStringView text = value.trimmed();
    if (text.compare(u"normal", Qt::CaseInsensitive) == 0)
        return 400;
    if (text.compare(u"bold", Qt::CaseInsensitive) == 0)
        return 700;
    if (text.compare(u"bolder", Qt::CaseInsensitive) == 0)
        return parentWeight < 350 ? 400 : parentWeight < 550 ? 700 : 900;
    if (text.compare(u"lighter", Qt::CaseInsensitive) == 0)
        return parentWeight < 550 ? 100 : parentWeight < 750 ? 400 : 700;
    double number;
    QStringView unit;
    if (!splitNumber(text, &number, &unit) || !unit.isEmpty() || number < 1 || number > 1000)
        return -1;
    return std::clamp(int(std::lround(number / 100.0)) * 100, 100, 900);
}

QStringList parseFontFamilies(QStringView value)
{
    QStringList families;
    QString current;
    bool quoted = false;
    auto finish = [&] {
        const QString name = quoted ? current : current.simplified();
        if (!name.isEmpty())
            families.append(name);
        current.clear();
        quoted = false;
    };
    qsizetype i = 0;
    while (i < value.size()) {
        const QChar c = value[i];
        if (c == u'"' || c == u'\'') {
            const qsizetype end = value.indexOf(c, i + 1);
            current = value.mid(i + 1, (end < 0 ? value.size() : end) - i - 1).toString();
            quoted = true;
            i = end < 0 ? value.size() : end + 1;
            continue;
        }
        if (c == u',') {
            finish();
        } else if (!quoted) {
            current += c;
        }
        ++i;
    }
    finish();
    return families;
}

bool parseBorderWidth(QStringView value, double fontSize, const ParseParams& params, double* out)
{
    const QStringView text = value.trimmed();
    const double scale = params.baseFontSize / kBookFontSize;
    if (text.compare(u"thin", Qt::CaseInsensitive) == 0) {
        *out = 1 * scale;
        return true;
    }
    if (text.compare(u"medium", Qt::CaseInsensitive) == 0) {
        *out = 3 * scale;
        return true;
    }
    if (text.compare(u"thick", Qt::CaseInsensitive) == 0) {
        *out = 5 * scale;
        return true;
    }
    double width;
    if (text.endsWith(u'%') || !parseLength(text.toString(), fontSize, params, &width) || width < 0)
        return false;
    *out = width;
    return true;
}

bool isBorderStyle(QStringView value)
{
    static const char16_t* const kStyles[] = {
        u"none", u"hidden", u"dotted", u"dashed", u"solid", u"double", u"groove", u"ridge", u"inset", u"outset",
    };
    for (const char16_t* style : kStyles) {
        if (value.trimmed().compare(QStringView(style), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QStringList splitValue(QStringView value)
{
    QStringList parts;
    int depth = 0;
    QString current;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c == u'"' || c == u'\'') {
            const qsizetype end = value.indexOf(c, i + 1);
            const qsizetype stop = end < 0 ? value.size() - 1 : end;
            current += value.mid(i, stop - i + 1);
            i = stop;
            continue;
        }
        if (c == u'(')
            ++depth;
        else if (c == u')' && depth > 0)
            --depth;
        if (depth == 0 && isHtmlSpace(c)) {
            if (!current.isEmpty())
                parts.append(current);
            current.clear();
            continue;
        }
        current += c;
    }
    if (!current.isEmpty())
        parts.append(current);
    return parts;
}

QString firstUrl(QStringView value)
{
    const qsizetype at = value.indexOf(u"url(", 0, Qt::CaseInsensitive);
    if (at < 0)
        return QString();
    QStringView rest = value.mid(at + 4).trimmed();
    if (rest.startsWith(u'"') || rest.startsWith(u'\'')) {
        const qsizetype end = rest.indexOf(rest[0], 1);
        return end < 0 ? QString() : rest.mid(1, end - 1).toString();
    }
    const qsizetype end = rest.indexOf(u')');
    return end < 0 ? QString() : rest.left(end).trimmed().toString();
}

namespace {

// The expansions of one shorthand each. With wide, the value is a CSS-wide keyword ("inherit",
// "initial"...), the one part of parts, and every longhand takes it.

QList<Declaration> expandBorder(const QString& p, const QStringList& parts, bool wide, bool important)
{
    const QStringList sides = p == u"border"
        ? QStringList { QStringLiteral("top"), QStringLiteral("right"), QStringLiteral("bottom"), QStringLiteral("left") }
        : QStringList { p.mid(7) };
    QList<Declaration> out;
    for (const QString& side : sides) {
        if (wide) {
            for (const char16_t* what : { u"-width", u"-style", u"-color" })
                out.append({ QStringLiteral("border-") + side + QString::fromUtf16(what), parts[0], important });
            continue;
        }
        const QList<Declaration> longhands = borderSide(side, parts, important);
        if (longhands.isEmpty())
            return {};
        out += longhands;
    }
    return out;
}

QList<Declaration> expandFontShorthand(const Declaration& d, const QStringList& parts, bool wide)
{
    if (!wide)
        return expandFont(d);
    QList<Declaration> out;
    for (const char16_t* name : { u"font-style", u"font-variant-caps", u"font-weight", u"font-size", u"line-height", u"font-family" })
        out.append({ QString::fromUtf16(name), parts[0], d.important });
    return out;
}

QList<Declaration> expandFontVariant(const Declaration& d, const QStringList& parts, bool wide)
{
    const QString lower = d.value.toLower();
    if (wide)
        return { { QStringLiteral("font-variant-caps"), parts[0], d.important } };
    if (lower.contains(u"small-caps") || lower.contains(u"petite-caps") || lower.contains(u"unicase"))
        return { { QStringLiteral("font-variant-caps"), QStringLiteral("small-caps"), d.important } };
    if (lower.trimmed() == u"normal" || lower.trimmed() == u"none")
        return { { QStringLiteral("font-variant-caps"), QStringLiteral("normal"), d.important } };
    return {}; // numeric and ligature variants say nothing about capitals
}

QList<Declaration> expandBackground(const QStringList& parts, bool wide, bool important)
{
    QString colour = QStringLiteral("transparent");
    if (wide) {
        colour = parts[0];
    } else {
        for (const QString& part : parts) {
            QColor ignored;
            if (parseColour(part, QColor(), &ignored))
                colour = part;
        }
    }
    return { { QStringLiteral("background-color"), colour, important } };
}

QList<Declaration> expandListStyle(const QStringList& parts, bool wide, bool important)
{
    QString type;
    bool sawNone = false;
    for (const QString& part : parts) {
        if (part.compare(u"none", Qt::CaseInsensitive) == 0)
            sawNone = true;
        else if (isListStyleType(part) || wide)
            type = part;
    }
    if (type.isEmpty())
        type = sawNone ? QStringLiteral("none") : QStringLiteral("disc");
    return { { QStringLiteral("list-style-type"), type, important } };
}

QList<Declaration> expandTextDecoration(const QStringList& parts, bool wide, bool important)
{
    if (wide)
        return { { QStringLiteral("text-decoration-line"), parts[0], important } };
    QStringList lines;
    for (const QString& part : parts) {
        const QString lower = part.toLower();
        if (lower == u"underline" || lower == u"overline" || lower == u"line-through")
            lines.append(lower);
        else if (!isDecorationPart(lower))
            return {};
    }
    return { { QStringLiteral("text-decoration-line"), lines.isEmpty() ? QStringLiteral("none") : lines.join(u' '), important } };
}

} // namespace

QList<Declaration> expandShorthand(const Declaration& d)
{
    const QString& p = d.property;
    const bool wide = isCssWideKeyword(d.value);
    const QStringList parts = wide ? QStringList { d.value.trimmed().toLower() } : splitValue(d.value);

    if (p == u"margin" || p == u"padding")
        return fourSides(p, QString(), parts, d.important);
    if (p == u"border-width" || p == u"border-style" || p == u"border-color") {
        const QString suffix = p.mid(6); // "-width", "-style", "-color"
        return fourSides(QStringLiteral("border"), suffix, parts, d.important);
    }
    if (p == u"border" || p == u"border-top" || p == u"border-right" || p == u"border-bottom" || p == u"border-left")
        return expandBorder(p, parts, wide, d.important);
    if (p == u"font")
        return expandFontShorthand(d, parts, wide);
    if (p == u"font-variant")
        return expandFontVariant(d, parts, wide);
    if (p == u"background")
        return expandBackground(parts, wide, d.important);
    if (p == u"list-style")
        return expandListStyle(parts, wide, d.important);
    if (p == u"text-decoration")
        return expandTextDecoration(parts, wide, d.important);
    return { d };
}

} // namespace Css
