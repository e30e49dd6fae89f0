// The CSS parser and cascade: the input is parsed as a style sheet (Css::StyleSheet) and as a style
// attribute, and the cascade and computed styles are worked out for every element of a small fixed
// chapter whose elements carry ids, classes, attributes and siblings for the selectors to match.
// Every computed length must be finite.

#include "ChunkChecks.h"
#include "CssComputedStyle.h"
#include "CssStyleSheet.h"
#include "FuzzLimits.h"
#include "XmlDomParser.h"

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

// The element paths of the chapter, in document order.
const QList<Css::ElementPath>& chapterPaths()
{
    static const QList<Css::ElementPath> paths = [] {
        QDomDocument document;
        if (!XmlDomParser::parse(QString::fromUtf8(chapter), &document)) {
            std::fprintf(stderr, "fuzz: the chapter does not parse\n");
            std::abort();
        }
        QList<Css::ElementPath> result;
        Css::ElementPath path;
        // Depth-first, keeping the path of the element being visited.
        std::function<void(const QDomElement&)> visit = [&](const QDomElement& element) {
            path.append(Css::ElementInfo::fromElement(element));
            result.append(path);
            for (QDomElement child = element.firstChildElement(); !child.isNull(); child = child.nextSiblingElement())
                visit(child);
            path.removeLast();
        };
        visit(document.documentElement());
        return result;
    }();
    return paths;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > FuzzLimits::MaxInputBytes)
        return 0;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));

    Css::StyleSheet sheet = Css::StyleSheet::parse(text);
    sheet.fontFaces();
    sheet.append(Css::StyleSheet::parse(QStringLiteral("p { margin: 1em }")));

    const ParseParams params;
    QList<Css::ComputedStyle> styles; // of the current element and its ancestors, by depth
    for (const Css::ElementPath& path : chapterPaths()) {
        // The last element of the chapter also carries the input as its style attribute.
        const bool last = &path == &chapterPaths().last();
        const QList<Css::Declaration> declarations = sheet.declarationsFor(path, last ? text : QString());
        const qsizetype depth = path.size() - 1;
        styles.resize(depth);
        const Css::ComputedStyle parent = depth > 0 ? styles.last() : Css::ComputedStyle::initial(params);
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
    }
    return 0;
}
