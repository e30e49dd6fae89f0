#include "css/CssUserAgentSheet.h"

namespace Css {

namespace {

// Close to the defaults of a browser, without the page margin of body, so that books without
// style sheets read like their authors saw them.
const char* const kHtmlSheet = R"css(
html, body, address, article, aside, blockquote, center, dd, details, dialog, dir, div, dl, dt,
fieldset, figcaption, figure, footer, form, h1, h2, h3, h4, h5, h6, header, hgroup, hr, legend,
main, menu, nav, ol, p, pre, section, summary, ul, listing, plaintext, xmp, search,
table, caption, thead, tbody, tfoot, tr, td, th { display: block }
li { display: list-item }
head, style, script, title, meta, link, base, template, datalist, param, rp, area, map, noembed,
colgroup, col, [hidden] { display: none }

p { margin-top: 1em; margin-bottom: 1em }
blockquote, figure { margin: 1em 40px }
dl { margin-top: 1em; margin-bottom: 1em }
dd { margin-left: 40px }
ul, ol, menu, dir { margin-top: 1em; margin-bottom: 1em; padding-left: 40px }
ul ul, ul ol, ol ul, ol ol, ul menu, ol menu, menu ul, menu ol { margin-top: 0; margin-bottom: 0 }
[dir=rtl] dd, dd[dir=rtl] { margin-left: 0; margin-right: 40px }
[dir=rtl] ul, [dir=rtl] ol, [dir=rtl] menu, [dir=rtl] dir, ul[dir=rtl], ol[dir=rtl], menu[dir=rtl],
dir[dir=rtl] { padding-left: 0; padding-right: 40px }
ul, menu, dir { list-style-type: disc }
ol { list-style-type: decimal }
ul ul, ol ul, menu ul { list-style-type: circle }
ul ul ul, ol ul ul, ul ol ul, ol ol ul { list-style-type: square }

h1 { font-size: 2em; margin-top: 0.67em; margin-bottom: 0.67em }
h2 { font-size: 1.5em; margin-top: 0.83em; margin-bottom: 0.83em }
h3 { font-size: 1.17em; margin-top: 1em; margin-bottom: 1em }
h4 { margin-top: 1.33em; margin-bottom: 1.33em }
h5 { font-size: 0.83em; margin-top: 1.67em; margin-bottom: 1.67em }
h6 { font-size: 0.67em; margin-top: 2.33em; margin-bottom: 2.33em }
h1, h2, h3, h4, h5, h6, b, strong, th { font-weight: bold }

pre, listing, xmp, plaintext { white-space: pre; font-family: monospace; margin-top: 1em; margin-bottom: 1em }
code, kbd, samp, tt { font-family: monospace }
em, i, cite, var, dfn, address { font-style: italic }
u, ins { text-decoration: underline }
s, strike, del { text-decoration: line-through }
small { font-size: smaller }
big { font-size: larger }
sub { vertical-align: sub; font-size: smaller }
sup { vertical-align: super; font-size: smaller }
mark { background-color: yellow; color: black }
a[href] { text-decoration: underline }
hr { margin-top: 0.5em; margin-bottom: 0.5em }
center, caption, th { text-align: center }
rt { font-size: 60% }
math[display=block] { display: block; text-align: center }
)css";

// FictionBook has no style sheets of its own worth the name: these presets are its whole look.
// A section title's size also depends on the depth of its section (given by the parser).
const char* const kFictionBookSheet = R"css(
FictionBook, body, section, title, subtitle, epigraph, poem, stanza, v, cite, text-author, p,
annotation, date, table, tr, td, th, image { display: block }
binary, description, stylesheet { display: none }

p { text-indent: 1.5em }
title { font-weight: bold; text-align: center; text-indent: 0; margin-top: 1em; margin-bottom: 0.5em }
title p, subtitle, text-author, v, td p, th p, td, th { text-indent: 0 }
title p { text-align: center }
subtitle { font-weight: bold; text-align: center; margin-top: 0.5em; margin-bottom: 0.5em }
epigraph { font-style: italic; margin-top: 0.5em; margin-bottom: 1em; margin-left: 30% }
epigraph p { text-indent: 0; text-align: left }
text-author { font-style: italic; font-weight: bold; text-align: right }
cite { margin: 0.5em 2em }
poem { margin-top: 1em; margin-bottom: 1em; margin-left: 2em }
stanza { margin-top: 0.5em; margin-bottom: 0.5em }
v { text-align: left }
date { text-align: right; font-style: italic }
th { font-weight: bold; text-align: center }

emphasis { font-style: italic }
strong { font-weight: bold }
strikethrough { text-decoration: line-through }
sub { vertical-align: sub; font-size: smaller }
sup { vertical-align: super; font-size: smaller }
code { font-family: monospace }
a { text-decoration: underline }
a[type="note"] { text-decoration: none; vertical-align: super; font-size: smaller }

image { text-align: center }
p image, v image, subtitle image, text-author image, td image, th image, a image { display: inline }
)css";

} // namespace

const StyleSheet& userAgentSheet(Vocabulary vocabulary)
{
    if (vocabulary == Vocabulary::FictionBook) {
        static const StyleSheet sheet = StyleSheet::parse(QString::fromUtf8(kFictionBookSheet));
        return sheet;
    }
    static const StyleSheet sheet = StyleSheet::parse(QString::fromUtf8(kHtmlSheet));
    return sheet;
}

} // namespace Css
