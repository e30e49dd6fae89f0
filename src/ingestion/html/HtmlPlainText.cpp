#include "html/HtmlPlainText.h"
#include "text/AsciiDigit.h"
#include "text/HtmlWhiteSpace.h"

#include <QSet>

namespace {

bool isBlockTag(const QString& name)
{
    static const QSet<QString> names = {
        // HTML
        QStringLiteral("p"), QStringLiteral("div"), QStringLiteral("br"), QStringLiteral("hr"),
        QStringLiteral("h1"), QStringLiteral("h2"), QStringLiteral("h3"), QStringLiteral("h4"),
        QStringLiteral("h5"), QStringLiteral("h6"), QStringLiteral("li"), QStringLiteral("ul"),
        QStringLiteral("ol"), QStringLiteral("dl"), QStringLiteral("dt"), QStringLiteral("dd"),
        QStringLiteral("tr"), QStringLiteral("td"), QStringLiteral("th"), QStringLiteral("table"),
        QStringLiteral("caption"), QStringLiteral("blockquote"), QStringLiteral("pre"),
        QStringLiteral("section"), QStringLiteral("article"), QStringLiteral("aside"), QStringLiteral("nav"),
        QStringLiteral("header"), QStringLiteral("footer"), QStringLiteral("main"), QStringLiteral("figure"),
        QStringLiteral("figcaption"), QStringLiteral("address"), QStringLiteral("center"),
        QStringLiteral("body"), QStringLiteral("html"), QStringLiteral("head"), QStringLiteral("title"),
        // FictionBook
        QStringLiteral("title"), QStringLiteral("subtitle"), QStringLiteral("epigraph"), QStringLiteral("poem"),
        QStringLiteral("stanza"), QStringLiteral("v"), QStringLiteral("cite"), QStringLiteral("text-author"),
        QStringLiteral("empty-line"), QStringLiteral("date"), QStringLiteral("annotation"),
    };
    return names.contains(name);
}

// Appends the character reference at s[at] ("&amp;", "&#233;", "&#xE9;") to out and returns the
// index after it; a "&" that starts no reference is taken as it stands.
qsizetype decodeReference(const QString& s, qsizetype at, QString& out)
{
    // References are short: looking no further keeps a text full of "&" linear.
    const qsizetype found = QStringView(s).mid(at + 1, 34).indexOf(u';');
    const qsizetype semicolon = found < 0 ? -1 : at + 1 + found;
    if (semicolon < 0) {
        out += u'&';
        return at + 1;
    }
    const QStringView name = QStringView(s).mid(at + 1, semicolon - at - 1);
    static const struct { const char16_t* name; char16_t c; } xmlNames[] = {
        { u"amp", u'&' }, { u"lt", u'<' }, { u"gt", u'>' }, { u"quot", u'"' }, { u"apos", u'\'' }, { u"nbsp", 0xA0 },
    };
    for (const auto& entry : xmlNames) {
        if (name == QStringView(entry.name)) {
            out += QChar(entry.c);
            return semicolon + 1;
        }
    }
    if (name.startsWith(u'#') && name.size() > 1) {
        bool ok = false;
        const uint code = (name[1] == u'x' || name[1] == u'X') ? name.mid(2).toUInt(&ok, 16) : name.mid(1).toUInt(&ok, 10);
        if (ok) {
            const bool valid = code > 0 && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF);
            const char32_t c = valid ? char32_t(code) : char32_t(0xFFFD);
            out += QString::fromUcs4(&c, 1);
            return semicolon + 1;
        }
    }
    out += u'&';
    return at + 1;
}

} // namespace

QStringList HtmlPlainText::paragraphs(const QString& markup)
{
    QStringList out;
    QString current;
    auto breakParagraph = [&] {
        bool space = true; // drops leading white space
        QString collapsed = collapseHtmlSpaces(current, space);
        if (collapsed.endsWith(u' '))
            collapsed.chop(1);
        if (!collapsed.isEmpty())
            out.append(collapsed);
        current.clear();
    };

    // Once a terminator or a closing tag of style, script or head has not been found, it will not
    // be found later either: each search is made once past a failure, so the scan stays linear.
    QSet<QString> unclosed;
    bool noCommentEnd = false, noCdataEnd = false, noTagEnd = false;
    const qsizetype n = markup.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = markup[i];
        if (c == u'&') {
            i = decodeReference(markup, i, current);
            continue;
        }
        if (c != u'<') {
            current += c;
            ++i;
            continue;
        }
        const QStringView rest = QStringView(markup).mid(i);
        if (rest.startsWith(u"<!--")) {
            const qsizetype end = noCommentEnd ? -1 : markup.indexOf(u"-->", i + 4);
            noCommentEnd = end < 0;
            if (end >= 0) {
                i = end + 3;
                continue;
            }
        } else if (rest.startsWith(u"<![CDATA[")) {
            const qsizetype end = noCdataEnd ? -1 : markup.indexOf(u"]]>", i + 9);
            noCdataEnd = end < 0;
            if (end >= 0) {
                current += QStringView(markup).mid(i + 9, end - i - 9);
                i = end + 3;
                continue;
            }
        } else if (rest.startsWith(u"<!") || rest.startsWith(u"<?")) {
            const qsizetype end = noTagEnd ? -1 : markup.indexOf(u'>', i + 2);
            noTagEnd = end < 0;
            if (end >= 0) {
                i = end + 1;
                continue;
            }
        } else {
            // A tag: "<" or "</", a letter, then everything up to the next ">" with no "<" before it.
            qsizetype j = i + 1;
            const bool closing = j < n && markup[j] == u'/';
            if (closing)
                ++j;
            if (j < n && isAsciiLetter(markup[j])) {
                qsizetype end = j;
                while (end < n && markup[end] != u'>' && markup[end] != u'<')
                    ++end;
                if (end < n && markup[end] == u'>') {
                    qsizetype nameEnd = j;
                    while (nameEnd < end && !isHtmlSpace(markup[nameEnd]) && markup[nameEnd] != u'/')
                        ++nameEnd;
                    QString name = markup.mid(j, nameEnd - j).toLower();
                    name = name.mid(name.lastIndexOf(u':') + 1);
                    i = end + 1;
                    const bool selfClosing = markup[end - 1] == u'/';
                    if (!closing && !selfClosing && (name == u"style" || name == u"script" || name == u"head") && !unclosed.contains(name)) {
                        const qsizetype close = markup.indexOf(QStringLiteral("</") + name, i, Qt::CaseInsensitive);
                        if (close < 0) {
                            unclosed.insert(name);
                        } else {
                            const qsizetype closeEnd = markup.indexOf(u'>', close);
                            i = closeEnd < 0 ? n : closeEnd + 1;
                        }
                    }
                    if (isBlockTag(name))
                        breakParagraph();
                    continue;
                }
            }
        }
        current += c; // a "<" that starts nothing the parser knows
        ++i;
    }
    breakParagraph();
    return out;
}
