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

// One pass over the markup. Once a terminator or a closing tag of style, script or head has not
// been found, it will not be found later either: each search is made once past a failure, so the
// scan stays linear.
class PlainTextScan {
public:
    explicit PlainTextScan(const QString& markup) : m_markup(markup), m_size(markup.size()) {}

    QStringList run()
    {
        while (m_at < m_size) {
            const QChar c = m_markup[m_at];
            if (c == u'&') {
                m_at = decodeReference(m_markup, m_at, m_current);
                continue;
            }
            if (c == u'<' && skipMarkup())
                continue;
            m_current += c; // text, or a "<" that starts nothing the parser knows
            ++m_at;
        }
        breakParagraph();
        return m_out;
    }

private:
    void breakParagraph()
    {
        bool space = true; // drops leading white space
        QString collapsed = collapseHtmlSpaces(m_current, space);
        if (collapsed.endsWith(u' '))
            collapsed.chop(1);
        if (!collapsed.isEmpty())
            m_out.append(collapsed);
        m_current.clear();
    }

    // At a "<": steps over the comment, CDATA section, declaration or tag it opens; false when it
    // opens none of them.
    bool skipMarkup()
    {
        const QStringView rest = QStringView(m_markup).mid(m_at);
        if (rest.startsWith(u"<!--"))
            return skipPast(u"-->", 4, m_noCommentEnd);
        if (rest.startsWith(u"<![CDATA[")) {
            const qsizetype contentStart = m_at + 9;
            if (!skipPast(u"]]>", 9, m_noCdataEnd))
                return false;
            m_current += QStringView(m_markup).mid(contentStart, m_at - 3 - contentStart);
            return true;
        }
        if (rest.startsWith(u"<!") || rest.startsWith(u"<?"))
            return skipPast(u">", 2, m_noTagEnd);
        return skipTag();
    }

    // Moves past the first terminator found from offset characters on, unless none was found
    // before (noEnd), which it records.
    bool skipPast(QStringView terminator, qsizetype offset, bool& noEnd)
    {
        const qsizetype end = noEnd ? -1 : m_markup.indexOf(terminator, m_at + offset);
        noEnd = end < 0;
        if (noEnd)
            return false;
        m_at = end + terminator.size();
        return true;
    }

    // A tag: "<" or "</", a letter, then everything up to the next ">" with no "<" before it.
    bool skipTag()
    {
        qsizetype j = m_at + 1;
        const bool closing = j < m_size && m_markup[j] == u'/';
        if (closing)
            ++j;
        if (j >= m_size || !isAsciiLetter(m_markup[j]))
            return false;
        qsizetype end = j;
        while (end < m_size && m_markup[end] != u'>' && m_markup[end] != u'<')
            ++end;
        if (end >= m_size || m_markup[end] != u'>')
            return false;
        qsizetype nameEnd = j;
        while (nameEnd < end && !isHtmlSpace(m_markup[nameEnd]) && m_markup[nameEnd] != u'/')
            ++nameEnd;
        QString name = m_markup.mid(j, nameEnd - j).toLower();
        name = name.mid(name.lastIndexOf(u':') + 1);
        m_at = end + 1;
        const bool selfClosing = m_markup[end - 1] == u'/';
        if (!closing && !selfClosing)
            skipHiddenContent(name);
        if (isBlockTag(name))
            breakParagraph();
        return true;
    }

    // After the start tag of a style, script or head element: past its end tag, when it has one.
    void skipHiddenContent(const QString& name)
    {
        if ((name != u"style" && name != u"script" && name != u"head") || m_unclosed.contains(name))
            return;
        const qsizetype close = m_markup.indexOf(QStringLiteral("</") + name, m_at, Qt::CaseInsensitive);
        if (close < 0) {
            m_unclosed.insert(name);
            return;
        }
        const qsizetype closeEnd = m_markup.indexOf(u'>', close);
        m_at = closeEnd < 0 ? m_size : closeEnd + 1;
    }

    const QString& m_markup;
    const qsizetype m_size;
    qsizetype m_at = 0;
    QStringList m_out;
    QString m_current;
    QSet<QString> m_unclosed;
    bool m_noCommentEnd = false;
    bool m_noCdataEnd = false;
    bool m_noTagEnd = false;
};

} // namespace

QStringList HtmlPlainText::paragraphs(const QString& markup)
{
    return PlainTextScan(markup).run();
}
