// The CSS parser and cascade: the input is parsed as a style sheet (Css::StyleSheet, its @import
// rules answered by the input itself) and as a style attribute, and the cascade and computed
// styles are worked out for every element of a small fixed chapter whose elements carry ids,
// classes, attributes and siblings for the selectors to match, under a match budget.
// Every computed length must be finite.

#include "ChunkChecks.h"
#include "css/CssComputedStyle.h"
#include "css/CssStyleSheet.h"
#include "FuzzLimits.h"
#include "html/XmlDomParser.h"

#include <QDomDocument>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

const char chapter[] = R"(<html xmlns="http://www.w3.org/1999/xhtml" xmlns:epub="http://www.idpf.org/2007/ops" lang="en">
<body class="matter"><section id="c1" epub:type="chapter"><h2 class="title">One</h2>
<p class="first lead" lang="en-GB" title="a b">Text <span class="sc">small</span> <a href="#n1" epub:type="noteref">1</a></p>
<p>More <em>text</em> and <code>code</code>.</p><blockquote class="poem"><p>Verse</p></blockquote>
<ol start="3"><li value="7">x</li><li>y</li></ol><hr/><img src="a.png" width="10"/><pre>  pre  </pre>
<table><tr><td>cell</td></tr></table></section></body></html>)";

const QDomDocument& chapterDocument()
{
    static const QDomDocument document = [] {
        QDomDocument parsed;
        if (!XmlDomParser::parse(QString::fromUtf8(chapter), &parsed)) {
            std::fprintf(stderr, "fuzz: the chapter does not parse\n");
            std::abort();
        }
        return parsed;
    }();
    return document;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > FuzzLimits::MaxInputBytes)
        return 0;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));

    // Every import reads the input again, one level deep, as a loader bounding depth would.
    int imports = 0;
    const Css::StyleSheet::ImportLoader loadImport = [&](const QString&) {
        return ++imports > 4 ? Css::StyleSheet() : Css::StyleSheet::parse(text);
    };
    Css::StyleSheet sheet = Css::StyleSheet::parse(text, loadImport);
    sheet.fontFaces();
    sheet.append(Css::StyleSheet::parse(QStringLiteral("p { margin: 1em }")));

    const ParseParams params;
    Css::ElementTree tree;
    Css::MatchBudget budget;
    QList<Css::ComputedStyle> styles; // of the current element and its ancestors, by depth
    const QDomElement lastElement = [] {
        QDomElement e = chapterDocument().documentElement();
        while (!e.lastChildElement().isNull())
            e = e.lastChildElement();
        return e;
    }();
    // Depth-first through the chapter, as the block parser walks it.
    std::function<void(const QDomElement&)> visit = [&](const QDomElement& element) {
        // The last element of the chapter also carries the input as its style attribute.
        const bool last = element == lastElement;
        const Css::ElementFacts& facts = tree.push(element);
        const QList<Css::Declaration> declarations = sheet.declarationsFor(facts, last ? text : QString(), &budget);
        const Css::ComputedStyle parent = styles.isEmpty() ? Css::ComputedStyle::initial(params) : styles.last();
        styles.append(Css::ComputedStyle::compute(parent, declarations, params));
        const Css::ComputedStyle& style = styles.last();
        ChunkChecks::checkTextStyle(style.text);
        ChunkChecks::checkBox(style.box);
        ChunkChecks::require(std::isfinite(style.indent) && std::isfinite(style.lineHeightFactor)
                                 && std::isfinite(style.lineHeightPx) && std::isfinite(style.width)
                                 && std::isfinite(style.height) && std::isfinite(style.maxWidth)
                                 && std::isfinite(style.paragraphLineHeight()),
                             "a computed style has finite lengths");
        style.hasBox();
        for (QDomElement child = element.firstChildElement(); !child.isNull(); child = child.nextSiblingElement())
            visit(child);
        styles.removeLast();
        tree.pop();
    };
    visit(chapterDocument().documentElement());
    return 0;
}
