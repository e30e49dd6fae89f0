#include "html/HtmlBlockParser.h"
#include "text/HtmlWhiteSpace.h"

#include "html/CellSeparator.h"

#include "content/DocumentChunkBuilder.h"
#include "css/CssComputedStyle.h"
#include "css/CssElementTree.h"
#include "css/CssStyleSheet.h"
#include "css/CssUserAgentSheet.h"
#include "html/HtmlEntities.h"
#include "html/HtmlPlainText.h"
#include "html/MarkupFallback.h"
#include "html/MathFolding.h"
#include "html/RubyGroups.h"
#include "html/TableRows.h"
#include "images/DataUrl.h"
#include "images/ImageUrl.h"
#include "text/CancelToken.h"
#include "text/MetadataDirection.h"
#include "text/SaturatedInteger.h"

#include <QDomDocument>
#include <QHash>

#include <algorithm>

namespace {

QString localName(const QDomElement& element)
{
    const QString tag = element.tagName();
    return tag.mid(tag.lastIndexOf(u':') + 1).toLower();
}

// "href", or an href in any namespace ("xlink:href", "l:href") as a DOM without namespace
// processing names it.
QString hrefOf(const QDomElement& element)
{
    if (element.hasAttribute(QStringLiteral("href")))
        return element.attribute(QStringLiteral("href"));
    const QDomNamedNodeMap attributes = element.attributes();
    for (int i = 0; i < attributes.length(); ++i) {
        const QDomAttr attribute = attributes.item(i).toAttr();
        if (attribute.name().endsWith(QLatin1String(":href"), Qt::CaseInsensitive))
            return attribute.value();
    }
    return QString();
}

// An HTML width or height attribute as a CSS length: "120" is 120px, "50%" stays.
QString attributeLength(const QDomElement& element, const QString& name)
{
    const QString value = element.attribute(name).trimmed();
    if (value.isEmpty())
        return QString();
    bool ok = false;
    if (value.endsWith(u'%')) {
        value.chopped(1).toDouble(&ok);
        return ok ? value : QString();
    }
    QString number = value;
    if (number.endsWith(QLatin1String("px"), Qt::CaseInsensitive))
        number.chop(2);
    const double px = number.toDouble(&ok);
    return ok && px >= 0 ? number + QStringLiteral("px") : QString();
}

QString alphabetic(int n, const QString& letters)
{
    QString out;
    const int base = int(letters.size());
    while (n > 0) {
        --n;
        out.prepend(letters[n % base]);
        n /= base;
    }
    return out;
}

QString roman(int n)
{
    static const struct { int value; const char* digits; } table[] = {
        { 1000, "m" }, { 900, "cm" }, { 500, "d" }, { 400, "cd" }, { 100, "c" }, { 90, "xc" },
        { 50, "l" }, { 40, "xl" }, { 10, "x" }, { 9, "ix" }, { 5, "v" }, { 4, "iv" }, { 1, "i" },
    };
    QString out;
    for (const auto& entry : table) {
        while (n >= entry.value) {
            out += QLatin1String(entry.digits);
            n -= entry.value;
        }
    }
    return out;
}

QString markerText(const QString& type, int number)
{
    if (type == u"none")
        return QString();
    if (type.startsWith(u'"') || type.startsWith(u'\''))
        return type.mid(1, type.size() - 2);
    if (type == u"disc")
        return QStringLiteral("\u2022 ");
    if (type == u"circle")
        return QStringLiteral("\u25E6 ");
    if (type == u"square")
        return QStringLiteral("\u25AA ");
    QString counter;
    if (number > 0 && (type == u"lower-alpha" || type == u"lower-latin"))
        counter = alphabetic(number, QStringLiteral("abcdefghijklmnopqrstuvwxyz"));
    else if (number > 0 && (type == u"upper-alpha" || type == u"upper-latin"))
        counter = alphabetic(number, QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ"));
    else if (number > 0 && type == u"lower-greek")
        counter = alphabetic(number, QStringLiteral("\u03B1\u03B2\u03B3\u03B4\u03B5\u03B6\u03B7\u03B8\u03B9\u03BA\u03BB\u03BC\u03BD\u03BE\u03BF\u03C0\u03C1\u03C3\u03C4\u03C5\u03C6\u03C7\u03C8\u03C9"));
    else if (number > 0 && number < 4000 && type == u"lower-roman")
        counter = roman(number);
    else if (number > 0 && number < 4000 && type == u"upper-roman")
        counter = roman(number).toUpper();
    else if (type == u"decimal-leading-zero" && number >= 0 && number < 10)
        counter = QStringLiteral("0") + QString::number(number);
    else
        counter = QString::number(number);
    return counter + QStringLiteral(". ");
}

// FictionBook section titles shrink with the depth of their section.
QString titleSizeForDepth(int depth)
{
    static const char* const sizes[] = { "2em", "1.6em", "1.4em", "1.25em", "1.15em" };
    return QString::fromLatin1(sizes[std::clamp(depth, 0, 4)]);
}

bool isNotesBody(const QDomElement& element)
{
    const QString kind = element.attribute(QStringLiteral("name"));
    return localName(element) == u"body" && (kind == u"notes" || kind == u"comments");
}

bool sameStyle(const TextStyle& a, const TextStyle& b)
{
    return a.families == b.families && a.size == b.size && a.weight == b.weight && a.italic == b.italic
        && a.smallCaps == b.smallCaps && a.textTransform == b.textTransform && a.letterSpacing == b.letterSpacing
        && a.underline == b.underline && a.lineThrough == b.lineThrough && a.overline == b.overline
        && a.link == b.link && a.colour == b.colour && a.background == b.background
        && a.baselineShift == b.baselineShift && a.direction == b.direction && a.unicodeBidi == b.unicodeBidi;
}

// The language an element states: lang, or xml:lang (as the DOM without namespaces names it).
QString languageOf(const QDomElement& element)
{
    if (element.hasAttribute(QStringLiteral("xml:lang")))
        return element.attribute(QStringLiteral("xml:lang"));
    return element.attribute(QStringLiteral("lang"));
}

struct Frame {
    QString name;
    QDomNode next;           // the child to visit next
    Css::ComputedStyle style;
    bool block = false;
    bool containerPending = false; // has a box that is opened with its first content
    bool containerOpen = false;
    BoxStyle box;
    int blockFrame = 0;      // index of the nearest block frame: this one for a block
    int paragraphs = 0;      // paragraphs opened for this block's own inline content
    qint64 listCounter = 0;  // the number of the last list item among the children; wide, so that
                             // stepping past the limits of int is defined (the marker saturates)
    int sectionDepth = 0;
    bool notes = false;      // inside a FictionBook body of notes, whose titles are note numbers
    bool stripLeadingNewline = false; // pre: the newline right after the start tag is no content
    bool directionGiven = false; // a dir attribute on it or an ancestor: languages no longer say it
};

class Walker {
public:
    Walker(const QString& chunkId, int budget, const ParseParams& params, const Css::StyleSheet* sheet,
           const QString& providerId, const QString& bookPath, const QString& baseDir)
        : m_builder(chunkId, budget), m_documentId(chunkId), m_params(params), m_sheet(sheet), m_providerId(providerId),
          m_bookPath(bookPath), m_baseDir(baseDir)
    {
        m_builder.setCostMeter(params.costMeter);
    }

    QList<ContentChunk> run(const QDomElement& root, int sectionDepth)
    {
        if (root.isNull())
            return flushed().build();
        const QDomElement document = root.ownerDocument().documentElement();
        m_fictionBook = localName(document.isNull() ? root : document) == u"fictionbook";
        m_userAgent = &Css::userAgentSheet(m_fictionBook ? Css::Vocabulary::FictionBook : Css::Vocabulary::Html);

        Frame base;
        base.style = Css::ComputedStyle::initial(m_params);
        // HTML reads left to right unless the book's language is written right to left; FictionBook
        // states no direction, so each paragraph takes it from its first strong character.
        if (MetadataDirection::isRightToLeftLanguage(m_params.language))
            base.style.text.direction = TextDirection::RightToLeft;
        else if (!m_fictionBook)
            base.style.text.direction = TextDirection::LeftToRight;
        base.block = true;
        base.sectionDepth = sectionDepth - (m_fictionBook && localName(root) == u"section" ? 1 : 0);
        for (QDomNode up = root.parentNode(); m_fictionBook && up.isElement(); up = up.parentNode())
            base.notes = base.notes || isNotesBody(up.toElement());
        m_frames.append(base);
        m_rows.enter(QString(), false, base.style);
        m_ruby.enter(QString(), QDomElement(), !m_fictionBook);

        visitElement(root);
        // A book past its memory budget is refused: the rest of its tree is not walked.
        while (m_frames.size() > 1 && !m_builder.refused()) {
            const QDomNode node = m_frames.last().next;
            // A cancelled open only closes what is open: the blocks made so far are thrown away.
            if (node.isNull() || CancelToken::requested()) {
                leaveFrame();
                continue;
            }
            m_frames.last().next = node.nextSibling();
            if (node.isElement())
                visitElement(node.toElement());
            else if (node.isText() || node.isCDATASection())
                appendText(node.nodeValue());
        }
        if (m_budget.cut())
            qWarning("%s: the style sheets cost too much to match; their rules from number %d on are skipped",
                     qPrintable(m_documentId), m_budget.ruleLimit() + 1);
        return flushed().build();
    }

private:

    void visitElement(const QDomElement& element)
    {
        if (m_frames.size() > HtmlBlockParser::kMaxStyledDepth) {
            appendFlattenedText(element);
            return;
        }
        const QString name = localName(element);
        const Css::ElementFacts& facts = m_elements.push(element);
        const QString dir = m_fictionBook ? QString() : element.attribute(QStringLiteral("dir")).trimmed().toLower();
        // Its style: the cascade, then what its markup says.
        Css::ComputedStyle style = styleOf(element, facts, name, dir);
        if (!m_fictionBook && name == u"rp" && m_ruby.inGroup()) {
            // The book's own fallback for readers without ruby, whatever its style sheet says.
            m_elements.pop();
            appendText(element.text());
            return;
        }
        if (style.display == Css::Display::None) {
            m_elements.pop();
            return;
        }
        // Its frame, opening the block, row cell or list it starts.
        enterFrame(element, name, dir, style);
        const bool inRow = m_rows.inRow();
        if (m_ruby.parenthesised())
            appendText(QStringLiteral("("));
        // Elements whose content is not walked as text stand for themselves and end at once.
        if (!isLeaf(name))
            return;
        m_frames.last().next = QDomNode();
        appendLeaf(element, name, style, inRow);
        leaveFrame();
    }

    Css::ComputedStyle styleOf(const QDomElement& element, const Css::ElementFacts& facts, const QString& name,
                               const QString& dir)
    {
        QList<Css::Declaration> declarations = m_userAgent->declarationsFor(facts);
        declarations += presentationalHints(element, name);
        const QString styleAttribute = element.attribute(QStringLiteral("style"));
        declarations += (m_sheet ? *m_sheet : emptySheet()).declarationsFor(facts, styleAttribute, &m_budget);
        Css::ComputedStyle style = Css::ComputedStyle::compute(m_frames.last().style, declarations, m_params);
        if (name == u"a" && !hrefOf(element).isEmpty())
            style.text.link = true;
        if (dir == u"auto") {
            style.text.direction = TextDirection::Auto;
            style.text.unicodeBidi = UnicodeBidi::Isolate;
        }
        return style;
    }

    void enterFrame(const QDomElement& element, const QString& name, const QString& dir, Css::ComputedStyle& style)
    {
        const Frame& parent = m_frames.last();
        const bool flattened = m_rows.fitIntoRow(style, name);
        if (flattened)
            appendText(QStringLiteral(" "));
        Frame frame;
        frame.name = name;
        frame.next = element.firstChild();
        frame.style = style;
        frame.block = style.display != Css::Display::Inline;
        frame.sectionDepth = parent.sectionDepth + (m_fictionBook && name == u"section" ? 1 : 0);
        frame.notes = parent.notes || (m_fictionBook && isNotesBody(element));
        frame.directionGiven = parent.directionGiven || dir == u"rtl" || dir == u"ltr" || dir == u"auto";
        frame.blockFrame = frame.block ? int(m_frames.size()) : parent.blockFrame;
        m_rows.enter(name, flattened, style);
        m_ruby.enter(name, element, !m_fictionBook);
        if (!m_fictionBook && name == u"ol") {
            int start = 0;
            const bool given = parseSaturatedInt(element.attribute(QStringLiteral("start")).trimmed(), &start);
            frame.listCounter = given ? qint64(start) - 1 : 0;
        }
        if (frame.block)
            beginBlock(frame, element, name);
        if (TableRows::isTableCell(name) && m_rows.inRow())
            startCell();
        m_frames.append(frame);
    }

    bool isLeaf(const QString& name) const
    {
        return m_fictionBook ? (name == u"empty-line" || name == u"image")
                           : (name == u"br" || name == u"img" || name == u"hr" || name == u"svg" || name == u"image"
                              || name == u"math");
    }

    void appendLeaf(const QDomElement& element, const QString& name, const Css::ComputedStyle& style, bool inRow)
    {
        if ((name == u"br" || name == u"hr") && inRow) {
            appendText(QStringLiteral(" ")); // a row stays one paragraph
        } else if (name == u"math") {
            appendMath(element);
        } else if (name == u"br") {
            // White space at the end of a line is no content.
            if (!m_pendingPreserve && m_pendingText.endsWith(u' '))
                m_pendingText.chop(1);
            ensureParagraph();
            flushed().appendLineBreak();
            m_lastWasSpace = true;
        } else if (name == u"hr") {
            openPendingContainers();
            flushed().appendRule(style.ruleColour);
        } else if (name == u"empty-line") {
            flushed().finishParagraph(); // a blank line of its own, even inside a paragraph
            ensureParagraph();
            flushed().appendText(QStringLiteral("\u00A0"), style.text, true);
            flushed().finishParagraph();
        } else if (name == u"svg") {
            appendInlineSvg(element);
        } else {
            appendImage(hrefOf(element).isEmpty() ? element.attribute(QStringLiteral("src")) : hrefOf(element), style.width,
                        style.height, style.maxWidth, style.text, style.invert);
        }
    }

    void beginBlock(Frame& frame, const QDomElement& element, const QString& name)
    {
        flushed().finishParagraph();
        frame.box = frame.style.box;
        if (name == u"hr") // the rule itself is the border; its box only keeps the margins
            frame.box.borderTop = frame.box.borderBottom = frame.box.borderLeft = frame.box.borderRight = 0;
        if (m_rows.startsRow())
            m_rows.hang(frame.box);
        Css::ComputedStyle boxOnly;
        boxOnly.box = frame.box;
        if (boxOnly.hasBox()) {
            frame.containerPending = true;
            if (m_pendingFrom < 0)
                m_pendingFrom = int(m_frames.size());
        }
        if (frame.style.display == Css::Display::ListItem) {
            Frame& list = m_frames.last();
            int value = 0;
            const bool given = parseSaturatedInt(element.attribute(QStringLiteral("value")).trimmed(), &value);
            list.listCounter = given ? value : list.listCounter + 1;
            m_pendingMarker = markerText(frame.style.listStyleType, saturatedInt(list.listCounter));
            m_markerOwner = int(m_frames.size());
        }
        frame.stripLeadingNewline = frame.style.preformatted && (name == u"pre" || name == u"listing" || name == u"xmp");
    }

    // A cell after the first gets the separator, in the row's style.
    void startCell()
    {
        if (!m_rows.startCell())
            return;
        if (!m_pendingPreserve && m_pendingText.endsWith(u' ') && !m_pendingText.endsWith(cellSeparator()))
            m_pendingText.chop(1);
        ensureParagraph();
        addText(cellSeparator(), m_rows.rowText(), m_rows.rowPreformatted());
        m_lastWasSpace = true;
    }

    // A formula's linear form with scripts smaller and shifted, or, where its markup sets no text,
    // its text alternative.
    void appendMath(const QDomElement& math)
    {
        const TextStyle base = m_frames.last().style.text;
        const MathFolding::Formula formula = MathFolding::formulaOf(math);
        if (!formula.alternative.isEmpty()) {
            appendText(formula.alternative);
            return;
        }
        for (const MathPiece& piece : formula.pieces) {
            if (piece.kind == MathPiece::Kind::LineBreak) {
                if (!m_pendingPreserve && m_pendingText.endsWith(u' '))
                    m_pendingText.chop(1);
                ensureParagraph();
                flushed().appendLineBreak();
                m_lastWasSpace = true;
                continue;
            }
            TextStyle style = base;
            style.size = base.size * piece.scale;
            style.baselineShift = base.baselineShift + piece.shift * base.size;
            appendText(piece.text, style);
        }
    }

    void leaveFrame()
    {
        const int index = int(m_frames.size()) - 1;
        Frame& frame = m_frames.last();
        const TableRows::Leaving row = m_rows.leaving();
        if (m_ruby.parenthesised())
            appendText(QStringLiteral(")"));
        else if (row == TableRows::Leaving::Space)
            appendText(QStringLiteral(" "));
        else if (row == TableRows::Leaving::RowEnd)
            TableRows::dropTrailingEmptyCells(m_pendingText);
        if (frame.block) {
            flushed().finishParagraph();
            if (frame.containerOpen)
                closeContainer(frame.box);
            else if (frame.containerPending && m_pendingFrom == index)
                m_pendingFrom = -1;
            if (m_markerOwner == index) {
                m_pendingMarker.clear();
                m_markerOwner = -1;
            }
        }
        m_frames.removeLast();
        m_elements.pop();
        m_rows.leave();
        m_ruby.leave();
    }

    QList<Css::Declaration> presentationalHints(const QDomElement& element, const QString& name) const
    {
        QList<Css::Declaration> hints;
        if (m_fictionBook) {
            const QString& parentName = m_frames.last().name;
            if (name == u"title" && !m_frames.last().notes && (parentName == u"section" || parentName == u"body"))
                hints.append({ QStringLiteral("font-size"), titleSizeForDepth(m_frames.last().sectionDepth), false });
            return hints;
        }
        if (name == u"img" || name == u"image") {
            for (const QString attribute : { QStringLiteral("width"), QStringLiteral("height") }) {
                const QString length = attributeLength(element, attribute);
                if (!length.isEmpty())
                    hints.append({ attribute, length, false });
            }
        }
        static const QStringList aligned = {
            QStringLiteral("p"), QStringLiteral("div"), QStringLiteral("h1"), QStringLiteral("h2"), QStringLiteral("h3"),
            QStringLiteral("h4"), QStringLiteral("h5"), QStringLiteral("h6"), QStringLiteral("td"), QStringLiteral("th"),
            QStringLiteral("caption"),
        };
        if ((name == u"ol" || name == u"li") && element.hasAttribute(QStringLiteral("type"))) {
            static const QHash<QString, QString> types = {
                { QStringLiteral("1"), QStringLiteral("decimal") }, { QStringLiteral("a"), QStringLiteral("lower-alpha") },
                { QStringLiteral("A"), QStringLiteral("upper-alpha") }, { QStringLiteral("i"), QStringLiteral("lower-roman") },
                { QStringLiteral("I"), QStringLiteral("upper-roman") },
            };
            const QString type = types.value(element.attribute(QStringLiteral("type")).trimmed());
            if (!type.isEmpty())
                hints.append({ QStringLiteral("list-style-type"), type, false });
        }
        // dir is an isolate of its direction, as in HTML; without it, a language decides.
        const QString dir = element.attribute(QStringLiteral("dir")).trimmed().toLower();
        if (dir == u"rtl" || dir == u"ltr") {
            hints.append({ QStringLiteral("direction"), dir, false });
            hints.append({ QStringLiteral("unicode-bidi"), QStringLiteral("isolate"), false });
        } else if (!m_frames.last().directionGiven && dir != u"auto") {
            const QString language = languageOf(element).trimmed();
            if (!language.isEmpty()) {
                const bool rtl = MetadataDirection::isRightToLeftLanguage(language);
                hints.append({ QStringLiteral("direction"), rtl ? QStringLiteral("rtl") : QStringLiteral("ltr"), false });
            }
        }
        if (element.hasAttribute(QStringLiteral("align")) && aligned.contains(name))
            hints.append({ QStringLiteral("text-align"), element.attribute(QStringLiteral("align")), false });
        return hints;
    }

    static const Css::StyleSheet& emptySheet()
    {
        static const Css::StyleSheet m_sheet;
        return m_sheet;
    }

    void appendText(const QString& text) { appendText(text, m_frames.last().style.text); }

    void appendText(const QString& text, const TextStyle& style)
    {
        const Frame& frame = m_frames.last();
        if (frame.style.preformatted) {
            QString kept = text;
            Frame& block = m_frames[frame.blockFrame];
            if (block.stripLeadingNewline) {
                block.stripLeadingNewline = false;
                if (kept.startsWith(QLatin1String("\r\n")))
                    kept.remove(0, 2);
                else if (kept.startsWith(u'\n'))
                    kept.remove(0, 1);
            }
            if (kept.isEmpty())
                return;
            ensureParagraph();
            addText(kept, style, true);
            m_lastWasSpace = false;
            m_rows.contentAdded(false);
            return;
        }
        // White space collapses across the runs of a paragraph, not only inside each one.
        bool space = !m_builder.paragraphIsOpen() || m_lastWasSpace;
        QString collapsed = collapseHtmlSpaces(text, space);
        if (m_ruby.inGroup())
            collapsed = m_ruby.joined(collapsed);
        if (collapsed.isEmpty())
            return;
        ensureParagraph();
        addText(collapsed, style, false);
        m_lastWasSpace = collapsed.endsWith(u' ');
        m_rows.contentAdded(collapsed == u" ");
    }

    // The text of an element nested too deep, gathered without recursion and without styles.
    void appendFlattenedText(const QDomElement& element)
    {
        QString text;
        QDomNode node = element.firstChild();
        while (!node.isNull()) {
            if (node.isText() || node.isCDATASection()) {
                text += node.nodeValue();
            } else if (node.isElement()) {
                text += u' ';
                if (!node.firstChild().isNull()) {
                    node = node.firstChild();
                    continue;
                }
            }
            while (!node.isNull() && node != element && node.nextSibling().isNull()) {
                node = node.parentNode();
                text += u' ';
            }
            if (node.isNull() || node == element)
                break;
            node = node.nextSibling();
        }
        if (!text.isEmpty())
            appendText(text);
    }

    // An inline drawing becomes one image of the chunk: its markup, the pictures it names resolved
    // to book URLs, travels as an SVG data URL and is rendered at the size it is shown.
    void appendInlineSvg(const QDomElement& svg)
    {
        const Frame& frame = m_frames.last();
        QDomDocument document;
        QDomElement copy = document.importNode(svg, true).toElement();
        document.appendChild(copy);
        // The namespaces were declared on the enclosing document, which the copy leaves behind.
        const QString svgNamespace = QStringLiteral("http://www.w3.org/2000/svg");
        const qsizetype colon = copy.tagName().indexOf(u':');
        const QString ownPrefix = colon > 0 ? QStringLiteral("xmlns:") + copy.tagName().left(colon) : QStringLiteral("xmlns");
        if (!copy.hasAttribute(ownPrefix))
            copy.setAttribute(ownPrefix, svgNamespace);
        if (!copy.hasAttribute(QStringLiteral("xmlns:xlink")))
            copy.setAttribute(QStringLiteral("xmlns:xlink"), QStringLiteral("http://www.w3.org/1999/xlink"));
        QDomNode node = copy.firstChild();
        while (!node.isNull()) {
            QDomElement element = node.toElement();
            if (!element.isNull() && localName(element) == u"image") {
                // A reference the book may not make is dropped, not left for the renderer to follow.
                const QString url = resolveImage(hrefOf(element));
                const QDomNamedNodeMap attributes = element.attributes();
                QStringList references;
                for (int i = 0; i < attributes.length(); ++i) {
                    const QString attribute = attributes.item(i).nodeName();
                    if (attribute == u"href" || attribute.endsWith(QLatin1String(":href"), Qt::CaseInsensitive))
                        references.append(attribute);
                }
                for (const QString& attribute : std::as_const(references))
                    element.removeAttribute(attribute);
                if (!url.isEmpty())
                    element.setAttribute(QStringLiteral("xlink:href"), url);
            }
            if (!node.firstChild().isNull()) {
                node = node.firstChild();
                continue;
            }
            while (!node.isNull() && node != copy && node.nextSibling().isNull())
                node = node.parentNode();
            if (node.isNull() || node == copy)
                break;
            node = node.nextSibling();
        }
        double width = -1, height = -1;
        const QString w = attributeLength(svg, QStringLiteral("width"));
        const QString h = attributeLength(svg, QStringLiteral("height"));
        if (!w.isEmpty())
            Css::parseLength(w, frame.style.text.size, m_params, &width);
        if (!h.isEmpty())
            Css::parseLength(h, frame.style.text.size, m_params, &height);
        appendImage(DataUrl::encode(document.toString(-1).toUtf8(), QStringLiteral("image/svg+xml")), width, height,
                    frame.style.maxWidth, frame.style.text, frame.style.invert);
    }

    QString resolveImage(const QString& source) const
    {
        QString href = source.trimmed();
        if (href.isEmpty())
            return QString();
        // A book names its own entries only: an image URL of another provider, or of another
        // file on disk, written into its markup is not followed.
        if (DataUrl::isDataUrl(href)) // whatever it holds is checked when it is decoded
            return href.size() <= DataUrl::kMaxBytes * 2 ? href : QString();
        if (href.startsWith(QLatin1String("image:"), Qt::CaseInsensitive))
            return QString();
        if (href.startsWith(QLatin1String("http://")) || href.startsWith(QLatin1String("https://")))
            return ImageUrl::resolve(m_providerId, href, m_bookPath, m_baseDir);
        if (m_providerId.isEmpty())
            return QString(); // no book to take the entry from
        const qsizetype fragment = href.indexOf(u'#');
        if (fragment > 0)
            href.truncate(fragment);
        // An absolute path names an entry from the root of the book, not of the document's folder.
        const QString base = href.startsWith(u'/') ? QString() : m_baseDir;
        return ImageUrl::resolve(m_providerId, href, m_bookPath, base);
    }

    void appendImage(const QString& source, double width, double height, double maxWidth, const TextStyle& style,
                     double invert)
    {
        const QString url = resolveImage(source);
        if (url.isEmpty())
            return;
        ensureParagraph();
        flushed().appendImage(url, width, height, maxWidth, style, invert);
        m_lastWasSpace = false;
        m_rows.contentAdded(false);
    }

    // Adjacent text of one style becomes one run (books wrap every sentence in its own span).
    void addText(const QString& text, const TextStyle& style, bool preserve)
    {
        if (!m_pendingText.isEmpty() && (preserve != m_pendingPreserve || !sameStyle(style, m_pendingStyle)))
            flushText();
        if (m_pendingText.isEmpty()) {
            m_pendingStyle = style;
            m_pendingPreserve = preserve;
        }
        m_pendingText += text;
    }

    void flushText()
    {
        if (m_pendingText.isEmpty())
            return;
        m_builder.appendText(m_pendingText, m_pendingStyle, m_pendingPreserve);
        m_pendingText.clear();
    }

    // The builder, with the text gathered so far handed to it first.
    DocumentChunkBuilder& flushed()
    {
        flushText();
        return m_builder;
    }

    void ensureParagraph()
    {
        if (m_builder.paragraphIsOpen())
            return;
        openPendingContainers();
        Frame& block = m_frames[m_frames.last().blockFrame];
        const Css::ComputedStyle& style = block.style;
        const double indent = (block.paragraphs == 0 ? style.indent : 0) - m_rows.hangingIndent();
        flushed().startParagraph({.align = style.paragraphAlign(),
                                  .indent = indent,
                                  .lineHeight = style.paragraphLineHeight(),
                                  .fontSize = style.text.size,
                                  .preformatted = style.preformatted,
                                  .marker = m_pendingMarker,
                                  .style = style.text});
        m_pendingMarker.clear();
        m_markerOwner = -1;
        ++block.paragraphs;
        m_lastWasSpace = true;
    }

    // Opens the containers that wait for their first content, outermost first. Their margins go
    // on as the book gives them: the layout collapses adjacent margins, across chunk cuts too.
    void openPendingContainers()
    {
        if (m_pendingFrom < 0)
            return;
        for (qsizetype i = m_pendingFrom; i < m_frames.size(); ++i) {
            Frame& frame = m_frames[i];
            if (!frame.containerPending)
                continue;
            flushed().startContainer(frame.box);
            frame.containerPending = false;
            frame.containerOpen = true;
        }
        m_pendingFrom = -1;
    }

    void closeContainer(const BoxStyle& box) { flushed().endContainer(box); }

    DocumentChunkBuilder m_builder;
    const QString m_documentId;
    const ParseParams m_params;
    const Css::StyleSheet* m_sheet;
    const Css::StyleSheet* m_userAgent = nullptr;
    const QString m_providerId, m_bookPath, m_baseDir;
    bool m_fictionBook = false;

    QList<Frame> m_frames;    // frames[0] stands for the root's parent
    Css::ElementTree m_elements; // the elements of frames[1..]
    Css::MatchBudget m_budget;   // for the book's sheet
    int m_pendingFrom = -1;   // the outermost frame whose container waits for content, or -1
    QString m_pendingMarker;  // the list marker for the next paragraph
    int m_markerOwner = -1;   // the list item frame the marker belongs to
    bool m_lastWasSpace = true;
    TableRows m_rows;         // where the open elements stand in a table row
    RubyGroups m_ruby;        // and in a ruby group
    QString m_pendingText;    // text not yet handed to the builder, all in pendingStyle
    TextStyle m_pendingStyle;
    bool m_pendingPreserve = false;
};

// "<p" or "<body" followed by ">", "/" or white space, ignoring case.
bool containsTag(const QString& html, QLatin1String name)
{
    const QString open = QStringLiteral("<") + name;
    for (qsizetype at = html.indexOf(open, 0, Qt::CaseInsensitive); at >= 0;
         at = html.indexOf(open, at + 1, Qt::CaseInsensitive)) {
        const qsizetype after = at + open.size();
        if (after >= html.size() || html[after] == u'>' || html[after] == u'/' || isHtmlSpace(html[after]))
            return true;
    }
    return false;
}

} // namespace

QList<ContentChunk> HtmlBlockParser::parseChunks(const QDomElement& root, const QString& chunkId, int budget,
                                                 const ParseParams& params, const Css::StyleSheet* sheet,
                                                 const QString& providerId, const QString& bookPath,
                                                 const QString& baseDir, int sectionDepth)
{
    Walker walker(chunkId, budget, params, sheet, providerId, bookPath, baseDir);
    return walker.run(root, sectionDepth);
}

QList<ContentChunk> HtmlBlockParser::parseChunks(const QString& html, const QString& chunkId, int budget,
                                                 const ParseParams& params)
{
    QString wrapped = html;
    if (!containsTag(html, QLatin1String("body"))) {
        if (!containsTag(html, QLatin1String("p")))
            wrapped = QStringLiteral("<p>") + wrapped + QStringLiteral("</p>");
        wrapped = QStringLiteral("<body>") + wrapped + QStringLiteral("</body>");
    }
    const QString safe = HtmlEntities::toXmlSafe(wrapped);
    QDomDocument document;
    if (MarkupFallback::parse(safe, html, &document) == MarkupFallback::Reading::PlainText)
        return plainTextChunks(safe, chunkId, budget, params);
    return parseChunks(document.documentElement(), chunkId, budget, params, nullptr, QString(), QString(), QString(), 1);
}

QList<ContentChunk> HtmlBlockParser::plainTextChunks(const QString& markup, const QString& chunkId, int budget,
                                                     const ParseParams& params)
{
    DocumentChunkBuilder builder(chunkId, budget);
    builder.setCostMeter(params.costMeter);
    TextStyle style;
    style.size = params.baseFontSize;
    for (const QString& paragraph : HtmlPlainText::paragraphs(markup)) {
        builder.startParagraph({.fontSize = params.baseFontSize, .style = style});
        builder.appendText(paragraph, style, false);
    }
    return builder.build();
}

QList<BlockItem> HtmlBlockParser::parse(const QString& html, const ParseParams& params)
{
    QList<BlockItem> blocks;
    for (const ContentChunk& chunk : parseChunks(html, QString(), DocumentChunkBuilder::kSingleChunkBudget, params))
        blocks += chunk.blocks;
    return blocks;
}

