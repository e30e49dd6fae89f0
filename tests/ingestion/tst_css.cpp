#include "css/ColourScheme.h"
#include "css/CssComputedStyle.h"
#include "css/CssElementTree.h"
#include "css/CssMatchBudget.h"
#include "css/CssParser.h"
#include "css/CssSelector.h"
#include "css/CssStyleSheet.h"
#include "css/CssValues.h"
#include "html/HtmlBlockParser.h"
#include "html/XmlDomParser.h"

#include <QTest>

#include <functional>

namespace {

QString number(double value)
{
    return QString::number(value, 'g', 6);
}

QString colour(const QColor& c)
{
    return c.isValid() ? c.name(QColor::HexArgb) : QStringLiteral("invalid");
}

struct Found {
    bool ok = false;
    BlockItem paragraph;
    InlineRun run;
    BoxStyle box; // of the innermost container around the paragraph; all zero when there is none
};

// The run holding `text` (or a picture whose URL holds it) in the blocks of body (an XHTML body's inner markup) styled by css.
Found findRun(const QString& css, const QString& body, const QString& text)
{
    const QString xhtml = QStringLiteral("<html xmlns=\"http://www.w3.org/1999/xhtml\" xmlns:epub=\"http://www.idpf.org/2007/ops\">"
                                         "<head><title>t</title></head><body>%1</body></html>").arg(body);
    QDomDocument document;
    if (!XmlDomParser::parse(xhtml, &document))
        return {};
    const Css::StyleSheet sheet = Css::StyleSheet::parse(css);
    const QList<ContentChunk> chunks = HtmlBlockParser::parseChunks(document.documentElement(), QStringLiteral("c"), 1000000000,
                                                                    ParseParams(), &sheet, QStringLiteral("epub"),
                                                                    QStringLiteral("/b.epub"), QString(), 1);
    QList<BoxStyle> open;
    for (const ContentChunk& chunk : chunks) {
        for (const BlockItem& block : chunk.blocks) {
            if (block.kind == BlockItem::ContainerStart)
                open.append(block.box);
            else if (block.kind == BlockItem::ContainerEnd && !open.isEmpty())
                open.removeLast();
            if (block.kind != BlockItem::Paragraph)
                continue;
            for (const InlineRun& run : block.runs) {
                if ((run.kind == InlineRun::Image ? run.url : run.text).contains(text))
                    return { true, block, run, open.isEmpty() ? BoxStyle() : open.last() };
            }
        }
    }
    return {};
}

QString field(const Found& f, const QString& name)
{
    const TextStyle& s = f.run.style;
    const BoxStyle& b = f.box;
    if (name == u"colour") return colour(s.colour);
    if (name == u"invert") return number(f.run.invert);
    if (name == u"background") return colour(s.background);
    if (name == u"size") return number(s.size);
    if (name == u"weight") return QString::number(s.weight);
    if (name == u"italic") return s.italic ? "1" : "0";
    if (name == u"smallCaps") return s.smallCaps ? "1" : "0";
    if (name == u"transform") return QString::number(s.textTransform);
    if (name == u"letterSpacing") return number(s.letterSpacing);
    if (name == u"decoration") return QString("%1%2%3").arg(s.underline ? "u" : "").arg(s.lineThrough ? "s" : "").arg(s.overline ? "o" : "");
    if (name == u"link") return s.link ? "1" : "0";
    if (name == u"families") return s.families.join(u'|');
    if (name == u"shift") return number(s.baselineShift);
    if (name == u"align") return QString::number(int(f.paragraph.align));
    if (name == u"indent") return number(f.paragraph.indent);
    if (name == u"lineHeight") return number(f.paragraph.lineHeight);
    if (name == u"fontSize") return number(f.paragraph.fontSize);
    if (name == u"pre") return f.paragraph.preformatted ? "1" : "0";
    if (name == u"marker") return f.paragraph.marker;
    if (name == u"margins") return QString("%1 %2 %3 %4").arg(number(b.marginTop), number(b.marginBottom), number(b.marginLeft), number(b.marginRight));
    if (name == u"paddings") return QString("%1 %2 %3 %4").arg(number(b.paddingTop), number(b.paddingBottom), number(b.paddingLeft), number(b.paddingRight));
    if (name == u"borders") return QString("%1 %2 %3 %4").arg(number(b.borderTop), number(b.borderBottom), number(b.borderLeft), number(b.borderRight));
    if (name == u"borderColour") return colour(b.borderColour);
    if (name == u"boxBackground") return colour(b.background);
    return QStringLiteral("?field");
}

} // namespace

// The cascade and the value parsers, seen where they end up: in the blocks of small documents.
class TestCss : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cascade_data()
    {
        QTest::addColumn<QString>("css");
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("expected");

        const QString p = QStringLiteral("<p id=\"t\" class=\"c\">x</p>");
        // Specificity, source order, importance and the style attribute.
        QTest::newRow("id beats class beats type") << "#t{color:red} .c{color:blue} p{color:lime}" << p << "x" << "colour" << "#ffff0000";
        QTest::newRow("class beats a later type") << ".c{color:blue} p{color:lime}" << p << "x" << "colour" << "#ff0000ff";
        QTest::newRow("later rule wins a tie") << "p{color:lime} p{color:blue}" << p << "x" << "colour" << "#ff0000ff";
        QTest::newRow("important beats specificity") << "p{color:lime !important} #t{color:red}" << p << "x" << "colour" << "#ff00ff00";
        QTest::newRow("style attribute beats id") << "#t{color:red}" << "<p id=\"t\" style=\"color:blue\">x</p>" << "x" << "colour" << "#ff0000ff";
        QTest::newRow("important rule beats style attribute") << "p{color:lime!important}" << "<p style=\"color:blue\">x</p>" << "x" << "colour" << "#ff00ff00";
        QTest::newRow("important style attribute wins") << "p{color:lime!important}" << "<p style=\"color:blue ! important\">x</p>" << "x" << "colour" << "#ff0000ff";
        QTest::newRow("book beats user agent") << "em{font-style:normal}" << "<p><em>x</em></p>" << "x" << "italic" << "0";
        QTest::newRow("user agent preset") << "" << "<p><em>x</em></p>" << "x" << "italic" << "1";

        // Selectors.
        QTest::newRow("descendant") << "div p{color:red}" << "<div><section><p>x</p></section></div>" << "x" << "colour" << "#ffff0000";
        QTest::newRow("child needs the parent") << "div > p{color:red}" << "<div><section><p>x</p></section></div>" << "x" << "colour" << "invalid";
        QTest::newRow("child") << "section>p{color:red}" << "<div><section><p>x</p></section></div>" << "x" << "colour" << "#ffff0000";
        QTest::newRow("adjacent sibling") << "h2 + p{text-indent:0} p{text-indent:2em}" << "<h2>h</h2><p>x</p><p>y</p>" << "x" << "indent" << "0";
        QTest::newRow("not adjacent") << "h2 + p{text-indent:0} p{text-indent:2em}" << "<h2>h</h2><p>x</p><p>y</p>" << "y" << "indent" << "32";
        QTest::newRow("first-child") << "p:first-child{color:red}" << "<div><p>x</p><p>y</p></div>" << "x" << "colour" << "#ffff0000";
        QTest::newRow("not first-child") << "p:first-child{color:red}" << "<div><p>x</p><p>y</p></div>" << "y" << "colour" << "invalid";
        QTest::newRow("universal") << "*{font-weight:bold}" << "<p>x</p>" << "x" << "weight" << "700";
        QTest::newRow("selector list") << "h1, .c{color:red}" << p << "x" << "colour" << "#ffff0000";
        QTest::newRow("unsupported selector leaves the list") << "p::first-line, .c{color:red}" << p << "x" << "colour" << "#ffff0000";
        QTest::newRow("pseudo-element never matches") << "p::first-letter{font-size:40px}" << p << "x" << "size" << "16";
        QTest::newRow("attribute presence") << "[title]{color:red}" << "<p title=\"a\">x</p>" << "x" << "colour" << "#ffff0000";
        QTest::newRow("attribute equality") << "p[lang=\"fr\"]{color:red}" << "<p lang=\"de\">x</p>" << "x" << "colour" << "invalid";
        QTest::newRow("namespaced attribute word")
            << "a[epub|type~=\"noteref\"]{color:red}" << "<p><a href=\"#n\" epub:type=\"x noteref\">x</a></p>" << "x" << "colour" << "#ffff0000";
        QTest::newRow("class needs every class") << ".a.b{color:red}" << "<p class=\"a\">x</p>" << "x" << "colour" << "invalid";

        // Inheritance.
        QTest::newRow("text properties inherit") << "div{color:red;font-style:italic}" << "<div><p>x</p></div>" << "x" << "italic" << "1";
        QTest::newRow("margins do not inherit") << "div{margin:0 0 0 10px} p{margin:0}" << "<div><p>x</p></div>" << "x" << "margins" << "0 0 10 0";
        QTest::newRow("inherit keyword") << "div{margin-left:10px} p{margin:0; margin-left:inherit}" << "<div><p>x</p></div>" << "x" << "margins" << "0 0 10 0";
        QTest::newRow("initial keyword") << "div{text-align:center} p{text-align:initial}" << "<div><p>x</p></div>" << "x" << "align" << "0";
        QTest::newRow("decorations accumulate") << "" << "<p><u><s>x</s></u></p>" << "x" << "decoration" << "us";
        QTest::newRow("link underlined and flagged") << "" << "<p><a href=\"#n1\">x</a></p>" << "x" << "decoration" << "u";
        QTest::newRow("book removes the link underline") << "a{text-decoration:none}" << "<p><a href=\"#n1\">x</a></p>" << "x" << "decoration" << "";
        QTest::newRow("link flag") << "a{text-decoration:none}" << "<p><a href=\"#n1\">x</a></p>" << "x" << "link" << "1";
        QTest::newRow("superscript raised") << "" << "<p>a<sup>x</sup></p>" << "x" << "shift" << "5.28";
        QTest::newRow("subscript lowered") << "" << "<p>a<sub>x</sub></p>" << "x" << "shift" << "-3.2";
        QTest::newRow("inline background") << "span{background-color:#ff0}" << "<p><span>x</span></p>" << "x" << "background" << "#ffffff00";
        QTest::newRow("block background is the box's") << "p{background:#ff0 url(a.png) repeat}" << "<p>x</p>" << "x" << "boxBackground" << "#ffffff00";
        QTest::newRow("transparent is no background") << "p{margin:1px;background-color:transparent}" << "<p>x</p>" << "x" << "boxBackground" << "invalid";

        // Font sizes in every kind of unit.
        QTest::newRow("em of the parent") << "div{font-size:20px} p{font-size:1.5em}" << "<div><p>x</p></div>" << "x" << "size" << "30";
        QTest::newRow("percent of the parent") << "div{font-size:20px} p{font-size:50%}" << "<div><p>x</p></div>" << "x" << "size" << "10";
        QTest::newRow("rem of the root") << "div{font-size:20px} p{font-size:2rem}" << "<div><p>x</p></div>" << "x" << "size" << "32";
        QTest::newRow("keyword") << "p{font-size:x-large}" << p << "x" << "size" << "24";
        QTest::newRow("smaller") << "p{font-size:smaller}" << p << "x" << "size" << "13.3333";
        QTest::newRow("points") << "p{font-size:12pt}" << p << "x" << "size" << "16";
        QTest::newRow("heading preset") << "" << "<h1>x</h1>" << "x" << "size" << "32";
        QTest::newRow("paragraph font size") << "p{font-size:12px}" << p << "x" << "fontSize" << "12";

        // Lengths.
        QTest::newRow("inch") << "p{margin:0 0 0 1in}" << p << "x" << "margins" << "0 0 96 0";
        QTest::newRow("centimetre") << "p{margin:0 0 0 2.54cm}" << p << "x" << "margins" << "0 0 96 0";
        QTest::newRow("percent of the reference width") << "p{margin:0 0 0 10%}" << p << "x" << "margins" << "0 0 60 0";
        QTest::newRow("em of the element") << "p{font-size:20px;margin:0 0 0 2em}" << p << "x" << "margins" << "0 0 40 0";
        QTest::newRow("negative margin not drawn") << "p{margin:0 0 0 -2em; padding-left: 1px}" << p << "x" << "margins" << "0 0 0 0";
        QTest::newRow("text-indent") << "p{text-indent:1.5em}" << p << "x" << "indent" << "24";
        QTest::newRow("hanging indent") << "p{text-indent:-1em}" << p << "x" << "indent" << "-16";
        QTest::newRow("letter-spacing in em") << "p{font-size:20px;letter-spacing:.1em}" << p << "x" << "letterSpacing" << "2";
        QTest::newRow("line-height length") << "p{line-height:24px}" << p << "x" << "lineHeight" << "1.5";
        QTest::newRow("line-height percent") << "p{line-height:150%}" << p << "x" << "lineHeight" << "1.5";
        QTest::newRow("line-height factor inherits as factor") << "div{line-height:1.2} p{font-size:20px}" << "<div><p>x</p></div>" << "x" << "lineHeight" << "1.2";
        QTest::newRow("line-height length inherits as length") << "div{line-height:24px} p{font-size:12px}" << "<div><p>x</p></div>" << "x" << "lineHeight" << "2";
        QTest::newRow("line-height normal") << "p{line-height:normal}" << p << "x" << "lineHeight" << "0";

        // Shorthands.
        QTest::newRow("margin four values") << "p{margin:1px 2px 3px 4px}" << p << "x" << "margins" << "1 3 4 2";
        QTest::newRow("margin two values") << "p{margin:1px 2px}" << p << "x" << "margins" << "1 1 2 2";
        QTest::newRow("margin auto") << "p{margin:0 auto}" << "<p style=\"padding:1px\">x</p>" << "x" << "margins" << "0 0 0 0";
        QTest::newRow("padding three values") << "p{padding:1px 2px 3px}" << p << "x" << "paddings" << "1 3 2 2";
        QTest::newRow("border") << "p{border:2px solid #00f}" << p << "x" << "borders" << "2 2 2 2";
        QTest::newRow("border colour") << "p{border:2px solid #00f}" << p << "x" << "borderColour" << "#ff0000ff";
        QTest::newRow("border side, medium width") << "p{border-top:dashed}" << p << "x" << "borders" << "3 0 0 0";
        QTest::newRow("border width without style") << "p{border-width:4px; margin:1px}" << p << "x" << "borders" << "0 0 0 0";
        QTest::newRow("border style none") << "p{border:1px solid red; border-left-style:none}" << p << "x" << "borders" << "1 1 0 1";
        QTest::newRow("border longhands") << "p{border-style:solid; border-width:1px 2px; border-color:red}" << p << "x" << "borders" << "1 1 2 2";
        QTest::newRow("font shorthand size") << "p{font:italic bold 12px/1.5 Georgia, \"Times New Roman\", serif}" << p << "x" << "size" << "12";
        QTest::newRow("font shorthand families") << "p{font:italic bold 12px/1.5 Georgia, \"Times New Roman\", serif}" << p << "x" << "families" << "Georgia|Times New Roman|serif";
        QTest::newRow("font shorthand line height") << "p{font:italic bold 12px/1.5 Georgia, serif}" << p << "x" << "lineHeight" << "1.5";
        QTest::newRow("font shorthand weight") << "p{font:italic bold 12px/1.5 Georgia, serif}" << p << "x" << "weight" << "700";
        QTest::newRow("font shorthand resets") << "p{font-weight:bold; font:12px serif}" << p << "x" << "weight" << "400";
        QTest::newRow("broken font shorthand ignored") << "p{font-weight:bold; font:huge serif}" << p << "x" << "weight" << "700";
        QTest::newRow("text-decoration shorthand") << "p{text-decoration:underline dotted red}" << p << "x" << "decoration" << "u";
        QTest::newRow("font-variant small-caps") << "p{font-variant:small-caps}" << p << "x" << "smallCaps" << "1";
        QTest::newRow("list-style none") << "li{list-style:none inside}" << "<ul><li>x</li></ul>" << "x" << "marker" << "";
        QTest::newRow("list-style square") << "li{list-style:square}" << "<ul><li>x</li></ul>" << "x" << "marker" << QStringLiteral("\u25AA ");
        QTest::newRow("list-style-type upper-roman") << "ol{list-style-type:upper-roman}" << "<ol start=\"4\"><li>x</li></ol>" << "x" << "marker" << "IV. ";

        // Other properties.
        QTest::newRow("text-transform") << "p{text-transform:uppercase}" << p << "x" << "transform" << "1";
        // Start and end become the sides of the paragraph's own direction, also when inherited.
        QTest::newRow("text-align start") << "p{text-align:start}" << p << "x" << "align" << "1";
        QTest::newRow("text-align end") << "p{text-align:end}" << p << "x" << "align" << "3";
        QTest::newRow("text-align start, rtl") << "p{text-align:start; direction:rtl}" << p << "x" << "align" << "3";
        QTest::newRow("text-align end, rtl") << "p{text-align:end; direction:rtl}" << p << "x" << "align" << "1";
        QTest::newRow("text-align start inherited into rtl")
            << "div{text-align:start}" << "<div><p dir=\"rtl\">x</p></div>" << "x" << "align" << "3";
        QTest::newRow("text-align end inherited out of rtl")
            << "div{text-align:end; direction:rtl} p{direction:ltr}" << "<div><p>x</p></div>" << "x" << "align" << "3";
        QTest::newRow("white-space pre") << "p{white-space:pre}" << p << "x" << "pre" << "1";
        QTest::newRow("weight number") << "p{font-weight:600}" << p << "x" << "weight" << "600";
        QTest::newRow("bolder") << "p{font-weight:bolder}" << p << "x" << "weight" << "700";
        QTest::newRow("oblique") << "p{font-style:oblique 10deg}" << p << "x" << "italic" << "1";
        QTest::newRow("transparent text stays visible") << "div{color:red} p{color:transparent}" << "<div><p>x</p></div>" << "x" << "colour" << "#ffff0000";

        // Sheet structure.
        QTest::newRow("@media print skipped") << "@media print{p{color:red}}" << p << "x" << "colour" << "invalid";
        QTest::newRow("@media screen applied") << "@media screen{p{color:red}}" << p << "x" << "colour" << "#ffff0000";
        QTest::newRow("@media all, print applied") << "@media print, all {p{color:red}}" << p << "x" << "colour" << "#ffff0000";
        QTest::newRow("@media not print applied") << "@media not print{p{color:red}}" << p << "x" << "colour" << "#ffff0000";
        QTest::newRow("@media feature skipped") << "@media (prefers-color-scheme: dark){p{color:red}}" << p << "x" << "colour" << "invalid";
        QTest::newRow("nested @media") << "@media screen{@media print{p{color:red}} p{font-weight:bold}}" << p << "x" << "weight" << "700";
        QTest::newRow("unknown at-rule skipped whole") << "@supports (x:y){p{color:red}} p{font-weight:bold}" << p << "x" << "colour" << "invalid";
        QTest::newRow("rules after an unknown at-rule") << "@page{margin:1in} @foo bar; p{color:blue}" << p << "x" << "colour" << "#ff0000ff";
        QTest::newRow("statement at-rules") << "@charset \"utf-8\"; @import url(x.css); @namespace epub \"e\"; p{color:blue}" << p << "x" << "colour" << "#ff0000ff";
        QTest::newRow("unknown property ignored") << "p{colr:red; color:blue; -epub-hyphens:auto}" << p << "x" << "colour" << "#ff0000ff";
        QTest::newRow("malformed declaration skipped") << "p{color:; font-weight bold; font-style:italic}" << p << "x" << "italic" << "1";
        QTest::newRow("comment") << "p{/* color:red; */ color:blue}" << p << "x" << "colour" << "#ff0000ff";
        QTest::newRow("string with braces") << "p{font-family:\"a}b\"; color:blue}" << p << "x" << "colour" << "#ff0000ff";
        QTest::newRow("nested block dropped") << "p{color:blue; span{color:red} font-weight:bold}" << p << "x" << "colour" << "#ff0000ff";
        QTest::newRow("stray brace") << "} p{color:blue}" << p << "x" << "colour" << "#ff0000ff";
        QTest::newRow("unclosed last rule") << "p{color:blue" << p << "x" << "colour" << "#ff0000ff";
        const QString picture = QStringLiteral("<p><img src=\"a.png\" alt=\"\"/><img class=\"b\" src=\"b.png\" alt=\"\"/></p>");
        QTest::newRow("filter invert percent") << "img{filter:invert(100%)}" << picture << "a.png" << "invert" << "1";
        QTest::newRow("filter invert among others") << "img{filter:grayscale(1) invert(0.25)}" << picture << "a.png" << "invert" << "0.25";
        QTest::newRow("filter invert without amount") << "img{filter:invert()}" << picture << "a.png" << "invert" << "1";
        QTest::newRow("filter invert beyond 100%") << "img{filter:invert(250%)}" << picture << "a.png" << "invert" << "1";
        QTest::newRow("filter of other kinds") << "img{filter:blur(2px)}" << picture << "a.png" << "invert" << "0";
        QTest::newRow("filter none") << "img{filter:invert(1)} img.b{filter:none}" << picture << "b.png" << "invert" << "0";
        QTest::newRow("filter not inherited") << "p{filter:invert(1)}" << picture << "a.png" << "invert" << "0";
        QTest::newRow("html comment markers") << "<!-- p{color:blue} -->" << p << "x" << "colour" << "#ff0000ff";
    }
    void cascade()
    {
        QFETCH(QString, css);
        QFETCH(QString, body);
        QFETCH(QString, text);
        QFETCH(QString, field);
        QFETCH(QString, expected);
        const Found found = findRun(css, body, text);
        QVERIFY2(found.ok, "text not found");
        QCOMPARE(::field(found, field), expected);
    }

    // A value its property does not accept drops the whole declaration, important or not, in rules
    // and style attributes alike: the declaration before it stays in force.
    void invalidValuesLeaveTheEarlierDeclaration_data()
    {
        QTest::addColumn<QString>("css");
        QTest::addColumn<QString>("style");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("expected");

        QTest::newRow("vendor white-space keywords")
            << "p{white-space:pre-wrap; white-space:-moz-pre-wrap !important; white-space:-pre-wrap; white-space:-o-pre-wrap}"
            << "" << "pre" << "1";
        QTest::newRow("in a style attribute") << "" << "white-space:pre; white-space:-moz-pre-wrap !important" << "pre" << "1";
        QTest::newRow("attribute does not hide the rule") << "p{white-space:pre}" << "white-space:-o-pre-wrap" << "pre" << "1";
        QTest::newRow("length without unit") << "p{text-indent:2em; text-indent:12}" << "" << "indent" << "32";
        QTest::newRow("unknown unit") << "p{margin:0 0 0 10px; margin-left:3furlongs}" << "" << "margins" << "0 0 10 0";
        QTest::newRow("negative padding") << "p{padding:1px; padding:-2px}" << "" << "paddings" << "1 1 1 1";
        QTest::newRow("one bad part spoils a shorthand") << "p{margin:1px; margin:2px banana}" << "" << "margins" << "1 1 1 1";
        QTest::newRow("colour garbage") << "p{color:#00f; color:#12345}" << "" << "colour" << "#ff0000ff";
        QTest::newRow("colour name garbage") << "p{color:blue; color:bleu !important}" << "" << "colour" << "#ff0000ff";
        QTest::newRow("font size keyword garbage") << "p{font-size:20px; font-size:enormous}" << "" << "size" << "20";
        QTest::newRow("negative font size") << "p{font-size:20px; font-size:-3px}" << "" << "size" << "20";
        QTest::newRow("weight out of range") << "p{font-weight:bold; font-weight:1200}" << "" << "weight" << "700";
        QTest::newRow("family that is a number") << "p{font-family:Georgia; font-family:12px}" << "" << "families" << "Georgia";
        QTest::newRow("line-height negative") << "p{line-height:1.5; line-height:-2}" << "" << "lineHeight" << "1.5";
        QTest::newRow("text-align vendor keyword") << "p{text-align:center; text-align:-moz-center}" << "" << "align" << "2";
        QTest::newRow("font-style garbage") << "p{font-style:italic; font-style:slanted}" << "" << "italic" << "1";
        QTest::newRow("decoration garbage") << "p{text-decoration:underline; text-decoration:underlined}" << "" << "decoration" << "u";
        QTest::newRow("transform pair of cases") << "p{text-transform:uppercase; text-transform:uppercase lowercase}" << "" << "transform" << "1";
        QTest::newRow("display vendor box") << "p{display:none; display:-webkit-box}" << "" << "found" << "0";
        // Values that are valid still override.
        QTest::newRow("valid later value wins") << "p{white-space:pre; white-space:normal}" << "" << "pre" << "0";
        // calc() is valid CSS: it overrides, though it is not computed (no indent).
        QTest::newRow("math functions pass") << "p{text-indent:2em; text-indent:calc(1em + 1px)}" << "" << "indent" << "0";
        QTest::newRow("css-wide keyword passes") << "p{color:blue; color:initial}" << "" << "colour" << "invalid";
        QTest::newRow("unknown property harmless") << "p{color:blue; colour:red}" << "" << "colour" << "#ff0000ff";
    }
    void invalidValuesLeaveTheEarlierDeclaration()
    {
        QFETCH(QString, css);
        QFETCH(QString, style);
        QFETCH(QString, field);
        QFETCH(QString, expected);
        const QString body = style.isEmpty() ? QStringLiteral("<p>x</p>") : QStringLiteral("<p style=\"%1\">x</p>").arg(style);
        const Found found = findRun(css, body, QStringLiteral("x"));
        if (field == u"found") {
            QCOMPARE(found.ok ? "1" : "0", expected);
            return;
        }
        QVERIFY2(found.ok, "text not found");
        QCOMPARE(::field(found, field), expected);
    }

    void displayNone()
    {
        QVERIFY(!findRun("span{display:none}", "<p>a<span>x</span></p>", "x").ok);
        QVERIFY(findRun("span{display:none}", "<p>a<span>x</span></p>", "a").ok);
        QVERIFY(!findRun("", "<p>a<span hidden=\"\">x</span></p>", "x").ok);
    }

    // Text a book places far outside the page (for screen readers only) is not shown; positioned
    // text near the page still is, in the flow.
    void offThePage_data()
    {
        QTest::addColumn<QString>("css");
        QTest::addColumn<bool>("shown");
        QTest::newRow("absolute, far left") << "h1{position:absolute; left:-999em}" << false;
        QTest::newRow("fixed, far above") << "h1{position:fixed; top:-2000px}" << false;
        QTest::newRow("absolute, far right") << "h1{position:absolute; right:-100em}" << false;
        QTest::newRow("absolute, nearby") << "h1{position:absolute; left:-10px; top:0}" << true;
        QTest::newRow("relative, far left") << "h1{position:relative; left:-999em}" << true;
        QTest::newRow("static offsets") << "h1{left:-999em}" << true;
    }
    void offThePage()
    {
        QFETCH(QString, css);
        QFETCH(bool, shown);
        QCOMPARE(findRun(css, "<h1>Title</h1><p>text</p>", "Title").ok, shown);
        QVERIFY(findRun(css, "<h1>Title</h1><p>text</p>", "text").ok);
    }

    void lengths_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<double>("fontSize");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<double>("px");
        QTest::newRow("px") << "12px" << 16.0 << true << 12.0;
        QTest::newRow("upper-case unit") << "12PX" << 16.0 << true << 12.0;
        QTest::newRow("pt") << "9pt" << 16.0 << true << 12.0;
        QTest::newRow("pc") << "1pc" << 16.0 << true << 16.0;
        QTest::newRow("mm") << "25.4mm" << 16.0 << true << 96.0;
        QTest::newRow("em") << "1.5em" << 20.0 << true << 30.0;
        QTest::newRow("rem ignores the font size") << "2rem" << 20.0 << true << 32.0;
        QTest::newRow("ex") << "2ex" << 20.0 << true << 20.0;
        QTest::newRow("percent") << "50%" << 16.0 << true << 300.0;
        QTest::newRow("leading dot") << ".5em" << 16.0 << true << 8.0;
        QTest::newRow("signed") << "-3px" << 16.0 << true << -3.0;
        QTest::newRow("exponent") << "1e1px" << 16.0 << true << 10.0;
        QTest::newRow("unitless zero") << "0" << 16.0 << true << 0.0;
        QTest::newRow("unitless number") << "12" << 16.0 << false << 0.0;
        QTest::newRow("unknown unit") << "12furlongs" << 16.0 << false << 0.0;
        QTest::newRow("keyword") << "auto" << 16.0 << false << 0.0;
        QTest::newRow("calc") << "calc(1px + 2px)" << 16.0 << false << 0.0;
        QTest::newRow("empty") << "" << 16.0 << false << 0.0;
        QTest::newRow("lone dot") << ".em" << 16.0 << false << 0.0;
    }
    void lengths()
    {
        QFETCH(QString, value);
        QFETCH(double, fontSize);
        QFETCH(bool, ok);
        QFETCH(double, px);
        double out = -12345;
        QCOMPARE(Css::parseLength(value, fontSize, ParseParams(), &out), ok);
        QCOMPARE(out, ok ? px : -12345.0);
    }

    void lengthsFollowTheParams()
    {
        ParseParams params;
        params.baseFontSize = 32; // px scale 2
        params.referenceWidth = 1000;
        double out = 0;
        QVERIFY(Css::parseLength("10px", 16, params, &out));
        QCOMPARE(out, 20.0);
        QVERIFY(Css::parseLength("1rem", 16, params, &out));
        QCOMPARE(out, 32.0);
        QVERIFY(Css::parseLength("10%", 16, params, &out));
        QCOMPARE(out, 100.0);
    }

    void colours_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("argb"); // "" = not a colour
        QTest::newRow("short hex") << "#0a8" << "#ff00aa88";
        QTest::newRow("short hex with alpha") << "#0a88" << "#8800aa88";
        QTest::newRow("hex") << "#FF8000" << "#ffff8000";
        QTest::newRow("hex alpha comes last") << "#11223344" << "#44112233";
        QTest::newRow("rgb") << "rgb(255, 0, 128)" << "#ffff0080";
        QTest::newRow("rgb percent") << "rgb(100%, 0%, 50%)" << "#ffff0080";
        QTest::newRow("rgba") << "rgba(0,0,255,0.5)" << "#800000ff";
        QTest::newRow("space syntax") << "rgb(0 0 255 / 50%)" << "#800000ff";
        QTest::newRow("hsl") << "hsl(120, 100%, 50%)" << "#ff00ff00";
        QTest::newRow("named") << "DarkRed" << "#ff8b0000";
        QTest::newRow("transparent") << "transparent" << "#00000000";
        QTest::newRow("currentColor") << "currentColor" << "#ff123456";
        QTest::newRow("bad hex length") << "#12345" << "";
        QTest::newRow("not hex") << "#ggg" << "";
        QTest::newRow("unknown name") << "blurple" << "";
        QTest::newRow("qt-only syntax") << "#ff123456789" << "";
        QTest::newRow("too few arguments") << "rgb(1,2)" << "";
    }
    void colours()
    {
        QFETCH(QString, value);
        QFETCH(QString, argb);
        QColor out;
        const bool ok = Css::parseColour(value, QColor(0x12, 0x34, 0x56), &out);
        QCOMPARE(ok, !argb.isEmpty());
        if (ok)
            QCOMPARE(out.name(QColor::HexArgb), argb);
    }

    void fontFaces()
    {
        const Css::StyleSheet sheet = Css::StyleSheet::parse(
            "@font-face { font-family: \"My Serif\"; src: url('../fonts/a b.otf') format('opentype'), url(x.woff); }"
            "p { color: red }"
            "@font-face { font-family: Other; src: local(Other), url(fonts/o.ttf) }");
        const QList<Css::FontFace> faces = sheet.fontFaces();
        QCOMPARE(faces.size(), 2);
        QCOMPARE(faces[0].family, QStringLiteral("My Serif"));
        QCOMPARE(faces[0].source, QStringLiteral("../fonts/a b.otf"));
        QCOMPARE(faces[1].family, QStringLiteral("Other"));
        QCOMPARE(faces[1].source, QStringLiteral("fonts/o.ttf"));
        QCOMPARE(faces[0].minWeight, 400);
        QVERIFY(!faces[0].italic);
        QVERIFY(!sheet.isEmpty());
        QVERIFY(Css::StyleSheet::parse("/* nothing */").isEmpty());

        // The descriptors of a face, and the folder its source is relative to.
        const QList<Css::FontFace> described = Css::StyleSheet::parse(
            "@font-face { font-family: V; font-weight: 700 300; font-style: oblique 10deg; src: url(v.woff) }"
            "@font-face { font-family: B; font-weight: bold; src: url(b.woff) }", {}, {}, "css/").fontFaces();
        QCOMPARE(described.size(), 2);
        QCOMPARE(described[0].directory, QStringLiteral("css/"));
        QCOMPARE(described[0].minWeight, 300);
        QCOMPARE(described[0].maxWeight, 700);
        QVERIFY(described[0].italic);
        QCOMPARE(described[1].minWeight, 700);
        QCOMPARE(described[1].maxWeight, 700);
    }

    void appendedSheetWinsTies()
    {
        Css::StyleSheet linked = Css::StyleSheet::parse("p{color:red} .c{font-weight:bold}");
        linked.append(Css::StyleSheet::parse("p{color:blue}"));
        linked.append(linked); // a sheet appended to itself keeps working
        QDomDocument document;
        QVERIFY(XmlDomParser::parse("<p class=\"c\">x</p>", &document));
        Css::ElementTree tree;
        const QList<Css::Declaration> declarations = linked.declarationsFor(tree.push(document.documentElement()));
        const Css::ComputedStyle style = Css::ComputedStyle::compute(Css::ComputedStyle::initial(ParseParams()), declarations, ParseParams());
        QCOMPARE(style.text.colour, QColor(Qt::blue));
        QCOMPARE(style.text.weight, 700);
    }

    void declarationsInCascadeOrder()
    {
        const Css::StyleSheet sheet = Css::StyleSheet::parse("#i{a:1} p{b:2 !important} .c{c:3}");
        QDomDocument document;
        QVERIFY(XmlDomParser::parse("<p id=\"i\" class=\"c\">x</p>", &document));
        Css::ElementTree tree;
        QStringList order;
        for (const Css::Declaration& d : sheet.declarationsFor(tree.push(document.documentElement()), "d:4; e:5 !important"))
            order.append(d.property);
        QCOMPARE(order, QStringList({ "c", "a", "d", "b", "e" }));
    }

    // Hostile sheets: a selector of thousands of parts is dropped without losing its neighbours,
    // and a sheet of megabytes parses whole. Both run in linear time (a quadratic parse of these
    // would not finish within the test's time limit).
    void hostileSheets()
    {
        QString longSelector;
        for (int i = 0; i < 20000; ++i)
            longSelector += QStringLiteral("div ");
        QString compound = QStringLiteral("p");
        for (int i = 0; i < 20000; ++i)
            compound += QStringLiteral(".c");
        QVERIFY(Css::Selector::parseList(longSelector + "p").isEmpty());
        QVERIFY(Css::Selector::parseList(compound).isEmpty());
        QCOMPARE(Css::Selector::parseList(longSelector + "p, em").size(), 1);

        QString big;
        for (int i = 0; i < 40000; ++i)
            big += QStringLiteral(".k%1 > span + em, h%1 [x~=\"y\"] { margin: %1px; color: red }\n").arg(i);
        big += longSelector + QStringLiteral("p{color:lime} ") + compound + QStringLiteral("{color:lime} p{color:blue}");
        QVERIFY(big.size() > 1000000);
        const Found found = findRun(big, "<p class=\"c\">x</p>", "x");
        QVERIFY(found.ok);
        QCOMPARE(colour(found.run.style.colour), QStringLiteral("#ff0000ff"));

        // Unbalanced openings nest as deep as the text is long.
        QString deep;
        for (int i = 0; i < 100000; ++i)
            deep += QStringLiteral("@media screen { (");
        const Css::ParsedSheet parsed = Css::Parser::parseSheet(deep);
        QVERIFY(parsed.rules.isEmpty());
    }

    // Matching costs steps linear in the document for a fixed sheet, however the combinators could
    // be fitted, and a sheet too costly to match is cut to its early rules, within the budget.
    void matchingStepsGrowLinearly_data()
    {
        QTest::addColumn<QString>("css");
        QTest::addColumn<bool>("cut");
        QTest::newRow("general sibling") << "p ~ p { color: red }" << false;
        QTest::newRow("sibling chains") << "div p ~ p ~ p, p + p + p ~ p { color: red }" << false;
        QTest::newRow("descendants") << "html body div p, body * p, div p:not(.x ~ p) { color: red }" << false;
        QTest::newRow("counted from the end") << "p:nth-last-child(2n+1), p:nth-last-of-type(3), p:only-of-type { color: red }" << false;
        QTest::newRow("negated siblings") << ":not(p ~ p) ~ p, :not(:not(p + p)) { color: red }" << false;
        QString hostile;
        while (hostile.size() < 1000000)
            hostile += QStringLiteral("p+p{color:red}");
        QTest::newRow("megabyte of sibling rules") << hostile << true;
        QString keyed;
        for (int i = 0; i < 2000; ++i)
            keyed += QStringLiteral("div.x%1 > p + p { color: red }\n").arg(i);
        QTest::newRow("thousands of rules on one key") << keyed << true;
    }
    void matchingStepsGrowLinearly()
    {
        QFETCH(QString, css);
        QFETCH(bool, cut);
        const Css::StyleSheet sheet = Css::StyleSheet::parse(css);
        auto stepsFor = [&](int paragraphs, bool* wasCut) {
            QString xml = QStringLiteral("<html><body><div class=\"x7\">");
            for (int i = 0; i < paragraphs; ++i)
                xml += QStringLiteral("<p>x</p>");
            xml += QStringLiteral("</div></body></html>");
            QDomDocument document;
            if (!XmlDomParser::parse(xml, &document))
                return qint64(-1);
            Css::ElementTree tree;
            Css::MatchBudget budget;
            int elements = 0;
            for (QDomElement e = document.documentElement(); !e.isNull(); e = e.firstChildElement()) {
                sheet.declarationsFor(tree.push(e), QString(), &budget);
                ++elements;
                if (e.tagName() != u"div")
                    continue;
                for (QDomElement p = e.firstChildElement(); !p.isNull(); p = p.nextSiblingElement()) {
                    sheet.declarationsFor(tree.push(p), QString(), &budget);
                    tree.pop();
                    ++elements;
                }
                break;
            }
            *wasCut = budget.cut();
            // Never more than the allowance, give or take the rule being matched when it ran out.
            if (budget.steps() > Css::MatchBudget::kBaseSteps + Css::MatchBudget::kStepsPerElement * elements + 1000)
                return qint64(-2);
            return budget.steps();
        };
        bool cutSmall = false, cutLarge = false;
        const qint64 small = stepsFor(1000, &cutSmall);
        const qint64 large = stepsFor(8000, &cutLarge);
        QVERIFY2(small > 0 && large > 0, "within the budget");
        QCOMPARE(cutLarge, cut);
        if (!cut) {
            QVERIFY2(large <= 9 * small, qPrintable(QStringLiteral("%1 steps for 1000, %2 for 8000").arg(small).arg(large)));
            QVERIFY(large < 100 * 8000);
        }
    }

    void deepSelectorMatch()
    {
        // A chain of descendant combinators against a deep chain of matching ancestors: the
        // matcher must not try every way to fit the compounds onto the ancestors.
        QString selector;
        for (int i = 0; i < Css::Selector::kMaxCompounds - 1; ++i)
            selector += QStringLiteral("div ");
        selector += QStringLiteral("p");
        const QList<Css::Selector> list = Css::Selector::parseList(selector);
        QCOMPARE(list.size(), 1);
        QString xml;
        for (int i = 0; i < 200; ++i)
            xml += QStringLiteral("<div>");
        xml += QStringLiteral("<span><p/></span>");
        for (int i = 0; i < 200; ++i)
            xml += QStringLiteral("</div>");
        QDomDocument document;
        QVERIFY(XmlDomParser::parse(xml, &document));
        Css::ElementTree tree;
        const Css::ElementFacts* subject = nullptr;
        for (QDomElement e = document.documentElement(); !e.isNull(); e = e.firstChildElement())
            subject = &tree.push(e);
        QVERIFY(list[0].matches(*subject));
        const QList<Css::Selector> tooMany = Css::Selector::parseList(QStringLiteral("section ") + selector);
        QCOMPARE(tooMany.size(), 0);
        const QList<Css::Selector> missing = Css::Selector::parseList(QStringLiteral("em ") + selector.mid(4));
        QVERIFY(!missing[0].matches(*subject));
    }

    // Selectors against a small DOM: the ids of the elements each matches, in document order.
    void selectorTable_data()
    {
        QTest::addColumn<QString>("css");
        QTest::addColumn<QStringList>("ids");
        const QString epub = QStringLiteral("@namespace epub \"http://www.idpf.org/2007/ops\"; ");
        const QString svg = QStringLiteral("@namespace svg url(http://www.w3.org/2000/svg); ");
        const struct { const char* name; QString css; QStringList ids; } rows[] = {
            { "general sibling", "p ~ span", { "s1" } },
            { "general sibling of a type", "p ~ p", { "p2", "p3" } },
            { "general sibling after a class", ".x ~ p", { "p3" } },
            { "adjacent", "p + p", { "p2" } },
            { "adjacent after another type", "span + p", { "p3" } },
            { "sibling chain", "ol li:nth-child(3) ~ li", { "l4", "l5" } },
            { "siblings of a child", "body > div ~ ol", { "o1" } },
            { "root", ":root", { "h" } },
            { "first child", "p:first-child", { "p1", "p4" } },
            { "last child", "p:last-child", { "p3", "p4" } },
            { "only child", "p:only-child", { "p4" } },
            { "nth-child an+b", "li:nth-child(2n+1)", { "l1", "l3", "l5" } },
            { "nth-child odd", "li:nth-child( odd )", { "l1", "l3", "l5" } },
            { "nth-child even", "li:nth-child(even)", { "l2", "l4" } },
            { "nth-child -n+b", "li:nth-child(-n + 2)", { "l1", "l2" } },
            { "nth-child b", "li:nth-child(4)", { "l4" } },
            { "nth-child of a huge step", "li:nth-child(2147483648n+1)", { "l1" } },
            { "nth-last-child", "li:nth-last-child(2)", { "l4" } },
            { "nth-of-type", "p:nth-of-type(2)", { "p2" } },
            { "nth-last-of-type", "#d1 > :nth-last-of-type(2)", { "p2" } },
            { "last-of-type", "div > :last-of-type", { "s1", "p3", "p4" } },
            { "first-of-type", "div :first-of-type", { "p1", "a1", "s1", "p4" } },
            { "only-of-type", "div > :only-of-type", { "s1", "p4" } },
            { "empty", "div :empty", { "s1", "p4" } },
            { "combined structure", "div p:nth-child(n+2):not(:last-child)", { "p2" } },
            { "not a class", "p:not(.x)", { "p1", "p3", "p4" } },
            { "not a list", "p:not(.x, :first-child)", { "p3" } },
            { "not a complex selector", "p:not(#d1 > p)", { "p4" } },
            { "not nested", "p:not(:not(.x))", { "p2" } },
            { "not of a state a reader lacks", "p:not(:hover)", { "p1", "p2", "p3", "p4" } },
            { "never hovered", "p:hover, p:visited, p:focus", {} },
            { "pseudo-elements are not elements", "p::first-line, p:first-letter, p::before", {} },
            { "lang", "p:lang(fr)", { "p4" } },
            { "lang of an ancestor", "p:lang(en)", { "p1", "p2", "p3" } },
            { "link", ":link", { "a1" } },
            { "declared prefix", epub + "[epub|type~=\"z3998:poem\"]", { "d2" } },
            { "another prefix for the same namespace", "@namespace e \"http://www.idpf.org/2007/ops\"; [e|type~=\"chapter\"]", { "d2" } },
            { "prefix of another namespace", "@namespace e \"urn:other\"; [e|type]", {} },
            { "undeclared prefix as written", "[epub|type^=z3998]", { "d2" } },
            { "any namespace", "[*|type]", { "d2" } },
            { "no namespace", "[type], [|type]", {} },
            { "namespaced type", svg + "svg|rect", { "r1" } },
            { "default namespace", "@namespace url(http://www.w3.org/1999/xhtml); rect, span", { "s1" } },
            { "any namespace type", "@namespace url(http://www.w3.org/1999/xhtml); *|rect", { "r1" } },
            { "no namespace type", "|rect, |p", {} },
        };
        for (const auto& row : rows)
            QTest::newRow(row.name) << row.css << row.ids;
    }
    void selectorTable()
    {
        QFETCH(QString, css);
        QFETCH(QStringList, ids);
        const QString xml = QStringLiteral(
            "<html id=\"h\" xmlns=\"http://www.w3.org/1999/xhtml\" xmlns:epub=\"http://www.idpf.org/2007/ops\""
            " xmlns:svg=\"http://www.w3.org/2000/svg\" lang=\"en\"><body id=\"b\">"
            "<div id=\"d1\"><p id=\"p1\">a</p><p id=\"p2\" class=\"x\">b <a id=\"a1\" href=\"#\">l</a></p><span id=\"s1\"></span>"
            "<p id=\"p3\">c</p></div>"
            "<div id=\"d2\" epub:type=\"z3998:poem chapter\"><p id=\"p4\" lang=\"fr-CA\"></p></div>"
            "<svg:svg id=\"g1\"><svg:rect id=\"r1\"/></svg:svg>"
            "<ol id=\"o1\"><li id=\"l1\"/><li id=\"l2\"/><li id=\"l3\"/><li id=\"l4\"/><li id=\"l5\"/></ol>"
            "</body></html>");
        QDomDocument document;
        QVERIFY(XmlDomParser::parse(xml, &document));
        const Css::StyleSheet sheet = Css::StyleSheet::parse(css + QStringLiteral(" { x: 1 }"));
        QStringList found;
        Css::ElementTree tree;
        std::function<void(const QDomElement&)> visit = [&](const QDomElement& element) {
            if (!sheet.declarationsFor(tree.push(element)).isEmpty())
                found.append(element.attribute(QStringLiteral("id")));
            for (QDomElement child = element.firstChildElement(); !child.isNull(); child = child.nextSiblingElement())
                visit(child);
            tree.pop();
        };
        visit(document.documentElement());
        QCOMPARE(found, ids);
    }

    // Two rules that match one element: the more specific wins, and of equals the later one.
    void specificity_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<bool>("firstWins");
        QTest::newRow("id inside not") << "p:not(#zz)" << "p.x.y" << true;
        QTest::newRow("pseudo-class over type") << "p:nth-child(2)" << "body p" << true;
        QTest::newRow("combinators add their types") << "div ~ p" << "p" << true;
        QTest::newRow("namespace adds nothing") << "*|p" << "p" << false;
        QTest::newRow("not counts its most specific argument") << ":not(span, .z)" << "p" << true;
        QTest::newRow("against a class and a type") << ":not(span, .z)" << "p.x" << false;
        QTest::newRow("attribute as a class") << "[epub|type]" << ".x" << false;
        QTest::newRow("structural and type against an attribute") << "p:first-of-type" << "[class]" << true;
        QTest::newRow("universal adds nothing") << "*.x" << ".x" << false;
    }
    void specificity()
    {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(bool, firstWins);
        const Found found = findRun(first + QStringLiteral(" { color: #ff0000 } ") + second + QStringLiteral(" { color: #0000ff }"),
                                    "<div></div><p class=\"x y\" epub:type=\"t\">text</p>", "text");
        QVERIFY(found.ok);
        QCOMPARE(colour(found.run.style.colour), firstWins ? QStringLiteral("#ffff0000") : QStringLiteral("#ff0000ff"));
    }

    void supportsConditions_data()
    {
        QTest::addColumn<QString>("condition");
        QTest::addColumn<bool>("holds");
        QTest::newRow("a property read") << "(display: grid)" << true;
        QTest::newRow("a shorthand of ones read") << "(font: 12px serif)" << true;
        QTest::newRow("a property not read") << "(writing-mode: vertical-rl)" << false;
        QTest::newRow("no value") << "(color:)" << false;
        QTest::newRow("not") << "not (writing-mode: vertical-rl)" << true;
        QTest::newRow("and") << "(display: flex) and (color: red)" << true;
        QTest::newRow("and fails") << "(display: flex) and (hyphens: auto)" << false;
        QTest::newRow("or") << "(hyphens: auto) or (margin: 0)" << true;
        QTest::newRow("and with or needs parentheses") << "(margin: 0) and (color: red) or (padding: 0)" << false;
        QTest::newRow("nested") << "((hyphens: auto) or (margin: 0)) and (not (writing-mode: x))" << true;
        QTest::newRow("selector") << "selector(p ~ p:nth-child(2))" << true;
        QTest::newRow("selector with a pseudo-element") << "selector(p::before)" << false;
        QTest::newRow("nothing") << "" << false;
        QTest::newRow("no parentheses") << "display: block" << false;
    }
    void supportsConditions()
    {
        QFETCH(QString, condition);
        QFETCH(bool, holds);
        QCOMPARE(Css::Parser::supportsApplies(condition), holds);
        // And as a block: its rules apply exactly when it holds.
        const Found found = findRun(QStringLiteral("@supports ") + condition + QStringLiteral(" { p { color: #ff0000 } }"), "<p>t</p>", "t");
        QVERIFY(found.ok);
        QCOMPARE(found.run.style.colour.isValid(), holds);
    }

    // @import and @namespace stand before every other rule (after @charset), @import before
    // @namespace; an import for another medium is left out.
    void importsAndNamespaces()
    {
        const Css::ParsedSheet parsed = Css::Parser::parseSheet(
            "@charset \"utf-8\"; @import 'a.css'; @import url(b.css) screen and (color); @import url(\"c.css\") print;"
            "@namespace epub url(http://www.idpf.org/2007/ops); @import 'after-namespace.css';"
            "@namespace url(http://www.w3.org/1999/xhtml); p { x: 1 } @import 'late.css'; @namespace late url(x);"
            "@media screen { @import 'nested.css'; q { y: 2 } }");
        QCOMPARE(parsed.imports, QStringList({ "a.css", "b.css" }));
        QCOMPARE(parsed.namespaces.size(), 2);
        QCOMPARE(parsed.namespaces[0].prefix, QStringLiteral("epub"));
        QCOMPARE(parsed.namespaces[0].uri, QStringLiteral("http://www.idpf.org/2007/ops"));
        QCOMPARE(parsed.namespaces[1].prefix, QString());
        QCOMPARE(parsed.rules.size(), 2);

        // Imported sheets come first, in order, so the importing sheet wins ties.
        QStringList loaded;
        const Css::StyleSheet sheet = Css::StyleSheet::parse("@import 'one.css'; @import 'two.css'; p { color: #0000ff }",
                                                             [&](const QString& url) {
                                                                 loaded.append(url);
                                                                 return Css::StyleSheet::parse(url == u"one.css" ? "p { color: #ff0000; font-style: italic }"
                                                                                                                 : "p { color: #00ff00; font-weight: bold }");
                                                             });
        QCOMPARE(loaded, QStringList({ "one.css", "two.css" }));
        QDomDocument document;
        QVERIFY(XmlDomParser::parse("<p>x</p>", &document));
        Css::ElementTree tree;
        const Css::ComputedStyle style = Css::ComputedStyle::compute(Css::ComputedStyle::initial(ParseParams()),
                                                                     sheet.declarationsFor(tree.push(document.documentElement())), ParseParams());
        QCOMPARE(style.text.colour, QColor(Qt::blue));
        QVERIFY(style.text.italic);
        QCOMPARE(style.text.weight, 700);
    }

    void mediaQueries_data()
    {
        QTest::addColumn<QString>("prelude");
        QTest::addColumn<bool>("applies");
        QTest::newRow("empty") << "" << true;
        QTest::newRow("screen") << "screen" << true;
        QTest::newRow("only screen") << "only screen" << true;
        QTest::newRow("ALL") << "ALL" << true;
        QTest::newRow("print") << "print" << false;
        QTest::newRow("kindle") << "amzn-kf8" << false;
        QTest::newRow("not kindle") << "not amzn-mobi" << true;
        QTest::newRow("not screen") << "not screen" << false;
        QTest::newRow("feature") << "screen and (max-width: 600px)" << true;
        QTest::newRow("list") << "print, screen" << true;
        // Features, against a colour screen of 600 x 800 px in a light theme.
        QTest::newRow("min-width") << "screen and (min-width: 500px)" << true;
        QTest::newRow("max-width") << "(max-width: 400px)" << false;
        QTest::newRow("width in em") << "(min-width: 40em)" << false;
        QTest::newRow("exact width") << "(width: 600px)" << true;
        QTest::newRow("height") << "(min-height: 700px) and (max-height: 900px)" << true;
        QTest::newRow("portrait") << "(orientation: portrait)" << true;
        QTest::newRow("landscape") << "(orientation: landscape)" << false;
        QTest::newRow("aspect ratio") << "(min-aspect-ratio: 1/2) and (max-aspect-ratio: 1/1)" << true;
        QTest::newRow("colour") << "screen and (color)" << true;
        QTest::newRow("monochrome") << "(monochrome)" << false;
        QTest::newRow("light scheme") << "(prefers-color-scheme: light)" << true;
        QTest::newRow("dark scheme") << "(prefers-color-scheme: dark)" << false;
        QTest::newRow("not with a feature") << "not screen and (max-width: 400px)" << true;
        QTest::newRow("print with a feature") << "print and (color)" << false;
        QTest::newRow("device range") << "only screen and (min-device-width: 320px) and (max-device-width: 480px)" << false;
        QTest::newRow("unknown feature") << "screen and (-webkit-min-device-pixel-ratio: 2)" << false;
        QTest::newRow("dangling and") << "screen and" << false;
        QTest::newRow("feature list") << "(max-width: 300px), (min-width: 301px)" << true;
    }
    void mediaQueries()
    {
        QFETCH(QString, prelude);
        QFETCH(bool, applies);
        QCOMPARE(Css::Parser::mediaApplies(prelude), applies);
    }

    // Queries take the scheme the application sets; a sheet says whether it asked for it.
    void colourSchemeIsTheApplications()
    {
        struct Restore {
            ~Restore() { ColourScheme::setPrefersDark(false); }
        } restore;
        for (const bool dark : {true, false}) {
            ColourScheme::setPrefersDark(dark);
            QCOMPARE(Css::Parser::mediaApplies(u"(prefers-color-scheme: dark)"), dark);
            QCOMPARE(Css::Parser::mediaApplies(u"all and (prefers-color-scheme: light)"), !dark);
        }
        const auto asks = [](const QString& text) { return Css::StyleSheet::parse(text).asksColourScheme(); };
        QVERIFY(asks(QStringLiteral("@media all and (PREFERS-color-scheme: dark) { p { color: white } }")));
        QVERIFY(asks(QStringLiteral("@import url(dark.css) (prefers-color-scheme: dark); p { color: black }")));
        QVERIFY(!asks(QStringLiteral("@media screen and (min-width: 10px) { p { color: white } }")));
        Css::StyleSheet combined = Css::StyleSheet::parse(QStringLiteral("p { color: black }"));
        combined.append(Css::StyleSheet::parse(QStringLiteral("@media (prefers-color-scheme: light) { p { color: red } }")));
        QVERIFY(combined.asksColourScheme());
    }
};

QTEST_GUILESS_MAIN(TestCss)
#include "tst_css.moc"
