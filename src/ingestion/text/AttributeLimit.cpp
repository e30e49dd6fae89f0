#include "text/AttributeLimit.h"
#include "text/HtmlWhiteSpace.h"

#include <QtDebug>

#include <algorithm>

namespace {

int unit(QChar c)
{
    return c.unicode();
}

int unit(char c)
{
    return uchar(c);
}

template <typename Text>
struct Scanner {
    const Text& text;
    const qsizetype size = text.size();
    qsizetype at = 0;

    // The character at i, or -1 past the end.
    int code(qsizetype i) const { return i < size ? unit(text.at(i)) : -1; }
    bool startsWith(const char* marker) const
    {
        for (qsizetype i = 0; marker[i]; ++i) {
            if (code(at + i) != uchar(marker[i]))
                return false;
        }
        return true;
    }
    static bool isSpace(int c) { return c >= 0 && isHtmlSpace(QChar(char16_t(c))); }
    static bool isNameStart(int c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || c >= 0x80; }

    // Moves past the next `marker`, or to the end.
    void skipPast(const char* marker)
    {
        while (at < size && !startsWith(marker))
            ++at;
        at = std::min(size, at + qsizetype(qstrlen(marker)));
    }
    void skipSpaces()
    {
        while (at < size && isSpace(code(at)))
            ++at;
    }
    // One attribute: its name, and "=" with a quoted or unquoted value when there is one.
    void skipAttribute()
    {
        while (at < size && !isSpace(code(at)) && code(at) != '>' && code(at) != '/' && code(at) != '=')
            ++at;
        const qsizetype afterName = at;
        skipSpaces();
        if (code(at) != '=') {
            at = afterName;
            return;
        }
        ++at;
        skipSpaces();
        const int quote = code(at);
        if (quote == '"' || quote == '\'') {
            ++at;
            while (at < size && code(at) != quote)
                ++at;
            at = std::min(size, at + 1);
            return;
        }
        while (at < size && !isSpace(code(at)) && code(at) != '>')
            ++at;
    }
};

template <typename Text>
Text limited(const Text& markup)
{
    Scanner<Text> scan{markup};
    Text out;
    qsizetype copiedUpTo = 0;
    qsizetype dropped = 0;
    while (scan.at < scan.size) {
        if (scan.code(scan.at) != '<') {
            ++scan.at;
            continue;
        }
        if (scan.startsWith("<!--")) {
            scan.skipPast("-->");
        } else if (scan.startsWith("<![CDATA[")) {
            scan.skipPast("]]>");
        } else if (scan.startsWith("<?") || scan.startsWith("<!") || scan.startsWith("</")) {
            scan.skipPast(">");
        } else if (Scanner<Text>::isNameStart(scan.code(scan.at + 1))) {
            ++scan.at;
            scan.skipAttribute(); // the element's name reads like an attribute without a value
            int count = 0;
            qsizetype cutFrom = -1;
            for (;;) {
                scan.skipSpaces();
                const int c = scan.code(scan.at);
                if (c < 0 || c == '>' || (c == '/' && scan.code(scan.at + 1) == '>'))
                    break;
                if (c == '/' || c == '=') { // stray characters of tag soup
                    ++scan.at;
                    continue;
                }
                if (++count > AttributeLimit::kMaxAttributes) {
                    ++dropped;
                    if (cutFrom < 0)
                        cutFrom = scan.at;
                }
                scan.skipAttribute();
            }
            if (cutFrom >= 0) {
                out.append(markup.mid(copiedUpTo, cutFrom - copiedUpTo));
                copiedUpTo = scan.at;
            }
        } else {
            ++scan.at;
        }
    }
    if (dropped == 0)
        return markup;
    out.append(markup.mid(copiedUpTo));
    qWarning().nospace() << "Left out " << dropped << " attributes beyond the first " << AttributeLimit::kMaxAttributes
                         << " of their element";
    return out;
}

} // namespace

namespace AttributeLimit {

QString apply(const QString& markup)
{
    return limited(markup);
}

QByteArray apply(const QByteArray& markup)
{
    return limited(markup);
}

} // namespace AttributeLimit
