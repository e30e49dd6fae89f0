#include "html/HtmlEntities.h"
#include "text/AsciiDigit.h"

#include <QHash>

namespace {

// HTML names beyond the five XML predefines, mapped to their code points.
const QHash<QString, int>& entityTable()
{
    static const QHash<QString, int> table = [] {
        static const char* const latin1Names[] = {
            "nbsp", "iexcl", "cent", "pound", "curren", "yen", "brvbar", "sect", "uml", "copy",
            "ordf", "laquo", "not", "shy", "reg", "macr", "deg", "plusmn", "sup2", "sup3",
            "acute", "micro", "para", "middot", "cedil", "sup1", "ordm", "raquo", "frac14",
            "frac12", "frac34", "iquest", "Agrave", "Aacute", "Acirc", "Atilde", "Auml", "Aring",
            "AElig", "Ccedil", "Egrave", "Eacute", "Ecirc", "Euml", "Igrave", "Iacute", "Icirc",
            "Iuml", "ETH", "Ntilde", "Ograve", "Oacute", "Ocirc", "Otilde", "Ouml", "times",
            "Oslash", "Ugrave", "Uacute", "Ucirc", "Uuml", "Yacute", "THORN", "szlig", "agrave",
            "aacute", "acirc", "atilde", "auml", "aring", "aelig", "ccedil", "egrave", "eacute",
            "ecirc", "euml", "igrave", "iacute", "icirc", "iuml", "eth", "ntilde", "ograve",
            "oacute", "ocirc", "otilde", "ouml", "divide", "oslash", "ugrave", "uacute", "ucirc",
            "uuml", "yacute", "thorn", "yuml",
        };
        static const struct {
            const char* name;
            int codePoint;
        } otherNames[] = {
            {"OElig", 338}, {"oelig", 339}, {"Scaron", 352}, {"scaron", 353}, {"Yuml", 376},
            {"fnof", 402}, {"circ", 710}, {"tilde", 732}, {"ensp", 8194}, {"emsp", 8195},
            {"thinsp", 8201}, {"zwnj", 8204}, {"zwj", 8205}, {"lrm", 8206}, {"rlm", 8207},
            {"ndash", 8211}, {"mdash", 8212}, {"lsquo", 8216}, {"rsquo", 8217}, {"sbquo", 8218},
            {"ldquo", 8220}, {"rdquo", 8221}, {"bdquo", 8222}, {"dagger", 8224}, {"Dagger", 8225},
            {"bull", 8226}, {"hellip", 8230}, {"permil", 8240}, {"prime", 8242}, {"Prime", 8243},
            {"lsaquo", 8249}, {"rsaquo", 8250}, {"oline", 8254}, {"euro", 8364}, {"trade", 8482},
            {"larr", 8592}, {"uarr", 8593}, {"rarr", 8594}, {"darr", 8595}, {"harr", 8596},
            {"minus", 8722}, {"infin", 8734}, {"asymp", 8776}, {"ne", 8800}, {"le", 8804},
            {"ge", 8805}, {"alpha", 945}, {"beta", 946}, {"gamma", 947}, {"delta", 948},
            {"epsilon", 949}, {"theta", 952}, {"lambda", 955}, {"mu", 956}, {"pi", 960},
            {"sigma", 963}, {"tau", 964}, {"phi", 966}, {"omega", 969}, {"Omega", 937},
        };
        QHash<QString, int> names;
        int codePoint = 160;
        for (const char* name : latin1Names)
            names.insert(QLatin1String(name), codePoint++);
        for (const auto& entry : otherNames)
            names.insert(QLatin1String(entry.name), entry.codePoint);
        return names;
    }();
    return table;
}

constexpr qsizetype kMaxNameLength = 32;
// Past the last code point; also stops the digit accumulation long before it can overflow.
constexpr char32_t kBeyondUnicode = 0x110000;

bool isXmlPredefined(QStringView name)
{
    return name == u"lt" || name == u"gt" || name == u"amp" || name == u"quot" || name == u"apos";
}

bool isNameUnit(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x80)
        return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9');
    return c.isLetterOrNumber();
}

// The characters XML 1.0 lets a document contain, and so lets a reference name.
bool isXmlChar(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD)
        || (c >= 0x10000 && c <= 0x10FFFF);
}

// Length of the well-formed numeric reference "&#digits;" or "&#xhex;" ("&#Xhex;" as HTML allows)
// starting at p, when it names an XML character; 0 otherwise.
qsizetype numericReferenceLength(const QString& text, qsizetype p)
{
    qsizetype i = p + 2;
    const bool hex = i < text.size() && (text.at(i) == QLatin1Char('x') || text.at(i) == QLatin1Char('X'));
    if (hex)
        ++i;
    const int base = hex ? 16 : 10;
    const qsizetype digitsStart = i;
    char32_t value = 0;
    while (i < text.size()) {
        const int digit = asciiDigitValue(text.at(i), base);
        if (digit < 0)
            break;
        if (value < kBeyondUnicode)
            value = value * char32_t(base) + char32_t(digit);
        ++i;
    }
    if (i == digitsStart || i >= text.size() || text.at(i) != QLatin1Char(';') || !isXmlChar(value))
        return 0;
    return i + 1 - p;
}

} // namespace

namespace HtmlEntities {

QString toXmlSafe(const QString& text)
{
    if (text.isEmpty() || !text.contains(QLatin1Char('&')))
        return text;
    const QHash<QString, int>& table = entityTable();
    QString out;
    out.reserve(text.size() + 16);
    const qsizetype size = text.size();
    qsizetype p = 0;
    while (p < size) {
        // The text between references is copied as a whole.
        const qsizetype ampersand = text.indexOf(QLatin1Char('&'), p);
        out.append(QStringView(text).sliced(p, (ampersand < 0 ? size : ampersand) - p));
        if (ampersand < 0)
            break;
        p = ampersand;
        if (p + 1 < size && text.at(p + 1) == QLatin1Char('#')) {
            const qsizetype length = numericReferenceLength(text, p);
            if (length > 0) {
                out.append(QStringView(text).sliced(p, length));
                if (text.at(p + 2) == QLatin1Char('X'))
                    out[out.size() - length + 2] = QLatin1Char('x'); // XML knows the lower-case form only
                p += length;
            } else {
                out.append(QLatin1String("&amp;"));
                ++p;
            }
            continue;
        }
        qsizetype end = p + 1;
        while (end < size && end - (p + 1) < kMaxNameLength && isNameUnit(text.at(end)))
            ++end;
        const QStringView name = QStringView(text).sliced(p + 1, end - (p + 1));
        if (name.isEmpty() || end >= size || text.at(end) != QLatin1Char(';')) {
            out.append(QLatin1String("&amp;"));
            ++p;
            continue;
        }
        if (isXmlPredefined(name)) {
            out.append(QStringView(text).sliced(p, end + 1 - p));
        } else if (const auto found = table.constFind(name.toString()); found != table.constEnd()) {
            out.append(QLatin1String("&#"));
            out.append(QString::number(found.value()));
            out.append(QLatin1Char(';'));
        } else {
            out.append(QLatin1String("&amp;"));
            out.append(name);
            out.append(QLatin1Char(';'));
        }
        p = end + 1;
    }
    return out;
}

} // namespace HtmlEntities
