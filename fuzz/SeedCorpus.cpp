// vellora-fuzz-seeds OUTDIR: writes the seed corpus of every harness to OUTDIR/<harness>/, made
// from the same kind of fixtures the tests use (tests/data, TestZip, TestRar, EncodedText):
// small well-formed books and documents, settings stores, and a few that stand at the limits (nesting past the
// caps, entries declaring sizes past the caps). The build runs it; see fuzz/CMakeLists.txt.

#include "EncodedText.h"
#include "FuzzBundle.h"
#include "TestRar.h"
#include "TestWoff.h"
#include "TestZip.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QCoreApplication>
#include <QImage>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace {

QDir outRoot;

void fail(const QString& what)
{
    std::fprintf(stderr, "vellora-fuzz-seeds: %s\n", qPrintable(what));
    std::exit(1);
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("cannot read ") + path);
    return file.readAll();
}

void writeSeed(const QString& harness, const QString& name, const QByteArray& bytes)
{
    if (!outRoot.mkpath(harness))
        fail(QStringLiteral("cannot make ") + outRoot.filePath(harness));
    QFile file(outRoot.filePath(harness + u'/' + name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        fail(QStringLiteral("cannot write ") + file.fileName());
}

QByteArray image(const char* format, int width, int height)
{
    QImage picture(width, height, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, format);
    return bytes;
}

// A 1 x 1 GIF: Qt reads GIF but does not write it.
QByteArray gif()
{
    return QByteArray::fromHex("47494638396101000100800000ffffff00000021f90401000000002c00000000010001000002024401003b");
}

QByteArray zipBytes(const QList<TestZip::Entry>& entries)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("seed.zip"));
    if (!dir.isValid() || !TestZip::write(path, entries))
        fail(QStringLiteral("cannot write a zip"));
    return readFile(path);
}

QList<TestZip::Entry> zipEntries(const QList<FuzzPart>& parts)
{
    QList<TestZip::Entry> entries;
    for (const FuzzPart& part : parts)
        entries.append({ part.name, part.data, false });
    return entries;
}

// Sets the sizes the first entry declares, in its local header and in the central directory.
QByteArray withDeclaredSize(QByteArray zip, quint32 size)
{
    auto put = [&zip](qsizetype at, quint32 value) {
        for (int i = 0; i < 4; ++i)
            zip[at + i] = char((value >> (8 * i)) & 0xff);
    };
    const qsizetype local = zip.indexOf("PK\x03\x04");
    const qsizetype central = zip.indexOf("PK\x01\x02");
    if (local < 0 || central < 0)
        fail(QStringLiteral("no zip headers"));
    put(local + 22, size);
    put(central + 24, size);
    return zip;
}

QByteArray nested(const QByteArray& open, const QByteArray& close, int depth, const QByteArray& inner)
{
    return open.repeated(depth) + inner + close.repeated(depth);
}

// ---- EPUB ----

QByteArray container(const QByteArray& opfPath)
{
    return "<?xml version=\"1.0\"?>\n<container version=\"1.0\" "
           "xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\"><rootfiles>"
           "<rootfile full-path=\"" + opfPath + "\" media-type=\"application/oebps-package+xml\"/>"
           "</rootfiles></container>\n";
}

QByteArray package(const QByteArray& manifest, const QByteArray& spine,
                   const QByteArray& metadata = "<dc:title>The Harbour</dc:title><dc:creator>A. Writer</dc:creator>"
                                                "<meta name=\"cover\" content=\"cover\"/>")
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<package xmlns=\"http://www.idpf.org/2007/opf\" "
           "version=\"3.0\" unique-identifier=\"uid\"><metadata xmlns:dc=\"http://purl.org/dc/elements/1.1/\">"
        + metadata + "</metadata><manifest>" + manifest + "</manifest><spine>" + spine + "</spine></package>\n";
}

QByteArray xhtml(const QByteArray& body, const QByteArray& head = QByteArray())
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" "
           "xmlns:epub=\"http://www.idpf.org/2007/ops\"><head><title>t</title>" + head + "</head><body>" + body
        + "</body></html>\n";
}

QList<FuzzPart> epubBook(const QByteArray& chapter, const QByteArray& css)
{
    const QByteArray manifest =
        "<item id=\"c1\" href=\"text/chapter.xhtml\" media-type=\"application/xhtml+xml\"/>"
        "<item id=\"c2\" href=\"text/notes%20page.xhtml\" media-type=\"application/xhtml+xml\"/>"
        "<item id=\"css\" href=\"css/chapter.css\" media-type=\"text/css\"/>"
        "<item id=\"cover\" href=\"images/harbour.jpg\" media-type=\"image/jpeg\" properties=\"cover-image\"/>"
        "<item id=\"font\" href=\"fonts/face.otf\" media-type=\"font/otf\"/>";
    return {
        { QStringLiteral("mimetype"), "application/epub+zip" },
        { QStringLiteral("META-INF/container.xml"), container("OEBPS/content.opf") },
        { QStringLiteral("OEBPS/content.opf"), package(manifest, "<itemref idref=\"c1\"/><itemref idref=\"c2\"/>") },
        { QStringLiteral("OEBPS/text/chapter.xhtml"), chapter },
        { QStringLiteral("OEBPS/text/notes page.xhtml"),
          xhtml("<section epub:type=\"endnotes\"><ol><li id=\"n1\"><p>A note &mdash; &nbsp;x</p></li></ol></section>",
                "<style>@font-face { font-family: Face; src: url(../fonts/face.otf) } li { font-family: Face }</style>") },
        { QStringLiteral("OEBPS/css/chapter.css"), css },
        { QStringLiteral("OEBPS/images/harbour.jpg"), image("JPEG", 6, 4) },
        { QStringLiteral("OEBPS/fonts/face.otf"), "OTTO not really a font" },
    };
}

void epubSeeds(const QByteArray& chapter, const QByteArray& css)
{
    const QList<FuzzPart> book = epubBook(chapter, css);
    writeSeed(QStringLiteral("epub"), QStringLiteral("bundle-book"), FuzzBundle::join(book));
    writeSeed(QStringLiteral("epub"), QStringLiteral("zip-book"), zipBytes(zipEntries(book)));
    writeSeed(QStringLiteral("epub"), QStringLiteral("bundle-root-package"),
              FuzzBundle::join({
                  { QStringLiteral("META-INF/container.xml"), container("content.opf") },
                  { QStringLiteral("content.opf"),
                    package("<item id=\"a\" href=\"a.html\" media-type=\"text/html\"/>"
                            "<item id=\"b\" href=\"missing.xhtml\" media-type=\"application/xhtml+xml\"/>"
                            "<item id=\"cover-image\" href=\"c.png\" media-type=\"image/png\"/>",
                            "<itemref idref=\"a\"/><itemref idref=\"b\"/><itemref idref=\"zzz\"/>") },
                  { QStringLiteral("a.html"), "<p>Not XML &nbsp; at all<br><p>second &copy; 2024" },
                  { QStringLiteral("c.png"), image("PNG", 2, 3) },
              }));
    writeSeed(QStringLiteral("epub"), QStringLiteral("bundle-deep-nesting"),
              FuzzBundle::join({
                  { QStringLiteral("META-INF/container.xml"), container("deep.opf") },
                  { QStringLiteral("deep.opf"), package("<item id=\"d\" href=\"d.xhtml\" media-type=\"application/xhtml+xml\"/>",
                                                        "<itemref idref=\"d\"/>") },
                  { QStringLiteral("d.xhtml"), xhtml(nested("<div>", "</div>", 600, "deep"), "<style>div { margin: 1px }</style>") },
              }));
    // Spine items that are no content documents: a fallback chain to XHTML, a chain that loops,
    // binary data with no fallback and binary data declared as XHTML.
    QByteArray binary;
    for (int i = 0; i < 600; ++i)
        binary += char(i * 13);
    writeSeed(QStringLiteral("epub"), QStringLiteral("bundle-fallbacks"),
              FuzzBundle::join({
                  { QStringLiteral("META-INF/container.xml"), container("OPS/package.opf") },
                  { QStringLiteral("OPS/package.opf"),
                    package("<item id=\"j\" href=\"data.json\" media-type=\"application/json\" fallback=\"m\"/>"
                            "<item id=\"m\" href=\"data.xml\" media-type=\"application/xml\" fallback=\"x\"/>"
                            "<item id=\"x\" href=\"x.xhtml\" media-type=\"application/xhtml+xml\"/>"
                            "<item id=\"l1\" href=\"loop.xml\" media-type=\"application/xml\" fallback=\"l2\"/>"
                            "<item id=\"l2\" href=\"loop.css\" media-type=\"text/css\" fallback=\"l1\"/>"
                            "<item id=\"bin\" href=\"blob.bin\" media-type=\"application/octet-stream\"/>"
                            "<item id=\"fake\" href=\"fake.xhtml\" media-type=\"application/xhtml+xml\"/>",
                            "<itemref idref=\"j\"/><itemref idref=\"l1\"/><itemref idref=\"bin\"/>"
                            "<itemref idref=\"fake\"/><itemref idref=\"x\"/>") },
                  { QStringLiteral("OPS/data.json"), "{\"text\": \"not shown\"}" },
                  { QStringLiteral("OPS/data.xml"), "<data>not shown</data>" },
                  { QStringLiteral("OPS/x.xhtml"), xhtml("<p>Shown in place of the JSON.</p>") },
                  { QStringLiteral("OPS/loop.xml"), "<loop/>" },
                  { QStringLiteral("OPS/blob.bin"), binary },
                  { QStringLiteral("OPS/fake.xhtml"), binary },
              }));
    // Names as publishers write them: a title with markup and runs of spaces, paths climbing past
    // the root, entries linked in another letter case.
    writeSeed(QStringLiteral("epub"), QStringLiteral("zip-publisher-names"),
              zipBytes(zipEntries({
                  { QStringLiteral("META-INF/container.xml"), container("OEBPS/content.opf") },
                  { QStringLiteral("OEBPS/content.opf"),
                    package("<item id=\"c\" href=\"../../Text/Chapter.xhtml\" media-type=\"application/xhtml+xml\"/>",
                            "<itemref idref=\"c\"/>",
                            "<dc:title>The  <span xmlns=\"http://www.w3.org/1999/xhtml\">Long</span>\n\t Title</dc:title>"
                            "<dc:creator>Dave    Cramer</dc:creator>") },
                  { QStringLiteral("text/chapter.xhtml"),
                    xhtml("<p class=\"b\">Picture <img src=\"../../../images/a.png\"/></p>",
                          "<link rel=\"stylesheet\" href=\"../../STYLES/Book.CSS\"/>") },
                  { QStringLiteral("styles/book.css"), "p.b { font-weight: bold }" },
                  { QStringLiteral("images/a.png"), image("PNG", 3, 2) },
              })));
    // Fonts obfuscated by either algorithm, and one encrypted otherwise.
    writeSeed(QStringLiteral("epub"), QStringLiteral("bundle-obfuscated-fonts"),
              FuzzBundle::join({
                  { QStringLiteral("META-INF/container.xml"), container("content.opf") },
                  { QStringLiteral("META-INF/encryption.xml"),
                    "<encryption xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\" "
                    "xmlns:enc=\"http://www.w3.org/2001/04/xmlenc#\">"
                    "<enc:EncryptedData><enc:EncryptionMethod Algorithm=\"http://www.idpf.org/2008/embedding\"/>"
                    "<enc:CipherData><enc:CipherReference URI=\"fonts/a.otf\"/></enc:CipherData></enc:EncryptedData>"
                    "<enc:EncryptedData><enc:EncryptionMethod Algorithm=\"http://ns.adobe.com/pdf/enc#RC\"/>"
                    "<enc:CipherData><enc:CipherReference URI=\"fonts/b%20b.otf\"/></enc:CipherData></enc:EncryptedData>"
                    "<enc:EncryptedData><enc:EncryptionMethod Algorithm=\"http://www.w3.org/2001/04/xmlenc#aes128-cbc\"/>"
                    "<enc:CipherData><enc:CipherReference URI=\"fonts/c.otf\"/></enc:CipherData></enc:EncryptedData>"
                    "</encryption>" },
                  { QStringLiteral("content.opf"),
                    package("<item id=\"a\" href=\"fonts/a.otf\" media-type=\"font/otf\"/>"
                            "<item id=\"b\" href=\"fonts/b%20b.otf\" media-type=\"application/vnd.ms-opentype\"/>"
                            "<item id=\"t\" href=\"t.xhtml\" media-type=\"application/xhtml+xml\"/>",
                            "<itemref idref=\"t\"/>",
                            "<dc:identifier id=\"uid\">urn:isbn:123</dc:identifier>"
                            "<dc:identifier>urn:uuid:12345678-9abc-def0-1234-56789abcdef0</dc:identifier>") },
                  { QStringLiteral("t.xhtml"),
                    xhtml("<p>Text</p>", "<style>@font-face { font-family: C; src: url(fonts/c.otf) } p { font-family: C }</style>") },
                  { QStringLiteral("fonts/a.otf"), binary },
                  { QStringLiteral("fonts/b b.otf"), binary },
                  { QStringLiteral("fonts/c.otf"), binary },
              }));
    writeSeed(QStringLiteral("epub"), QStringLiteral("zip-entry-past-the-cap"),
              withDeclaredSize(zipBytes({ { QStringLiteral("META-INF/container.xml"), container("a.opf"), true } }),
                               0xfffffff0u));
}

// ---- Comics ----

QList<TestRar::Entry> comicEntries()
{
    return {
        { QStringLiteral("10.png"), image("PNG", 3, 5) },
        { QStringLiteral("2.png"), image("PNG", 5, 3) },
        { QStringLiteral("1.jpg"), image("JPEG", 4, 4) },
        { QStringLiteral("__MACOSX/._1.jpg"), "resource fork" },
        { QStringLiteral("Chapter 2"), QByteArray(), true },
        { QStringLiteral("Chapter 2/3.gif"), gif() },
        { QStringLiteral("Chapter 2/4.webp"), image("WEBP", 2, 2) },
        { QStringLiteral("notes.txt"), "not a page" },
        { QStringLiteral("Глава/5.png"), image("PNG", 1, 1) },
    };
}

void comicSeeds()
{
    QList<FuzzPart> parts;
    for (const TestRar::Entry& entry : comicEntries())
        parts.append({ entry.directory ? entry.name + u'/' : entry.name, entry.data });
    writeSeed(QStringLiteral("comic"), QStringLiteral("bundle-pages"), FuzzBundle::join(parts));
    writeSeed(QStringLiteral("comic"), QStringLiteral("rar4-pages"), TestRar::build(TestRar::Format::Rar4, comicEntries()));
    writeSeed(QStringLiteral("comic"), QStringLiteral("rar5-pages"), TestRar::build(TestRar::Format::Rar5, comicEntries()));
    TestRar::Entry oversized { QStringLiteral("1.png"), image("PNG", 1, 1) };
    oversized.declaredSize = qint64(3) << 30;
    for (const TestRar::Format format : { TestRar::Format::Rar4, TestRar::Format::Rar5 }) {
        writeSeed(QStringLiteral("comic"), format == TestRar::Format::Rar4 ? QStringLiteral("rar4-size-past-the-cap")
                                                                           : QStringLiteral("rar5-size-past-the-cap"),
                  TestRar::build(format, { oversized }));
    }
    writeSeed(QStringLiteral("comic"), QStringLiteral("rar5-folders-only"),
              TestRar::build(TestRar::Format::Rar5, { { QStringLiteral("a"), QByteArray(), true } }));
}

// ---- FB2 ----

QByteArray fictionBook(const QByteArray& body, const QByteArray& encoding = "UTF-8")
{
    QByteArray base64 = image("PNG", 2, 2).toBase64();
    for (qsizetype at = 60; at < base64.size(); at += 61)
        base64.insert(at, '\n');
    return "<?xml version=\"1.0\" encoding=\"" + encoding
        + "\"?>\n<FictionBook xmlns=\"http://www.gribuser.ru/xml/fictionbook/2.0\" "
          "xmlns:l=\"http://www.w3.org/1999/xlink\">\n<description>\n<title-info><genre>prose</genre>"
          "<author><first-name>Anna</first-name><middle-name>K.</middle-name><last-name>Writer</last-name></author>"
          "<book-title>The Harbour&nbsp;Book</book-title><coverpage><image l:href=\"#cover.png\"/></coverpage>"
          "<lang>en</lang></title-info>\n<document-info><author><nickname>maker</nickname></author></document-info>\n"
          "</description>\n" + body + "<binary id=\"cover.png\" content-type=\"image/png\">\n" + base64
        + "\n</binary>\n</FictionBook>\n";
}

void fb2Seeds()
{
    const QByteArray body =
        "<body><title><p>The Harbour</p></title><epigraph><p>The sea.</p><text-author>J. C.</text-author></epigraph>"
        "<section id=\"s1\"><title><p>Chapter I</p></title><p>It was a <emphasis>grey</emphasis> morning "
        "<a l:href=\"#n1\" type=\"note\">1</a>.</p><empty-line/><p><strong>Nobody</strong> spoke.</p>"
        "<image l:href=\"#cover.png\"/><poem><stanza><v>Whereof one cannot speak,</v><v>thereof</v></stanza></poem>"
        "<section><title><p>Chapter 1.1</p></title><subtitle>*</subtitle><p>Inner <sub>2</sub><sup>3</sup></p>"
        "<cite><p>Quoted</p></cite><table><tr><td>cell</td></tr></table></section></section>"
        "<section><p>Second &#169; &amp; <code>code</code></p></section></body>\n"
        "<body name=\"notes\"><section id=\"n1\"><title><p>1</p></title><p>A note.</p></section></body>\n";
    const QByteArray book = fictionBook(body);
    writeSeed(QStringLiteral("fb2"), QStringLiteral("book.fb2"), book);
    writeSeed(QStringLiteral("fb2"), QStringLiteral("book.fbz"), zipBytes({ { QStringLiteral("book.fb2"), book, false } }));
    const QByteArray russian = EncodedText::encode(EncodedText::russian(), "windows-1251");
    writeSeed(QStringLiteral("fb2"), QStringLiteral("cp1251.fb2"),
              fictionBook("<body><section><p>" + russian + "</p></section></body>\n", "windows-1251"));
    writeSeed(QStringLiteral("fb2"), QStringLiteral("deep-sections.fb2"),
              fictionBook("<body>" + nested("<section><title><p>T</p></title><p>x</p>", "</section>", 100, "<p>deep</p>")
                          + "</body>\n"));
    writeSeed(QStringLiteral("fb2"), QStringLiteral("not-xml.fb2"),
              "<FictionBook><description><title-info><book-title>Broken</book-title></title-info>"
              "<body><section><p>unclosed <emphasis>text</p>");
}

// ---- Encodings and entities ----

void encodingSeeds()
{
    const QString russian = EncodedText::russian();
    struct Seed {
        const char* name;
        QByteArray bytes;
    };
    const QList<Seed> seeds {
        { "ascii", "Plain ASCII text, nothing more.\n" },
        { "utf8-russian", russian.toUtf8() },
        { "utf8-bom", "\xEF\xBB\xBF" + russian.toUtf8() },
        { "utf16le-bom", EncodedText::encode(QStringLiteral("\uFEFF") + russian, "UTF-16LE") },
        { "utf16be-bom", EncodedText::encode(QStringLiteral("\uFEFF") + russian, "UTF-16BE") },
        { "windows-1251", EncodedText::encode(russian, "windows-1251") },
        { "koi8-r", EncodedText::encode(russian, "KOI8-R") },
        { "cp866", EncodedText::encode(russian, "CP866") },
        { "latin1-german", EncodedText::encode(EncodedText::german(), "ISO-8859-1") },
        { "xml-declared-koi8-r", "<?xml version=\"1.0\" encoding=\"koi8-r\"?>\n<a>" + EncodedText::encode(russian, "KOI8-R") + "</a>" },
        { "html5-meta-charset", "<html><head><meta charset=\"windows-1251\"></head><body>" + EncodedText::encode(russian, "windows-1251") },
        { "html4-content-type", "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=cp866\">" + EncodedText::encode(russian, "CP866") },
        { "hint-shift-jis", "Shift_JIS\n" + EncodedText::encode(EncodedText::japanese(), "SHIFT_JIS") },
        { "hint-gb18030", "GB18030\n" + EncodedText::encode(EncodedText::chinese(), "GB18030") },
        { "hint-utf-16be", "utf-16be\n" + EncodedText::encode(russian, "UTF-16BE") },
        { "hint-unknown", "no-such-charset\nsome text \xff\xfe" },
        { "broken-utf8", "caf\xC3 \xC0\xAF \xED\xA0\x80 \xF4\x90\x80\x80 end" },
    };
    for (const Seed& seed : seeds)
        writeSeed(QStringLiteral("encoding"), QString::fromLatin1(seed.name), seed.bytes);

    const QList<Seed> entitySeeds {
        { "named", "caf&eacute; &nbsp;&copy; &mdash; &hellip; &euro; &Omega; &trade;" },
        { "xml-and-numeric", "&lt;p&gt; &amp; &quot;&apos; &#169; &#x41; &#0; &#xD800; &#99999999;" },
        { "unknown-and-bare", "a & b &foo; &Copy; &; &&& &nbsp &" },
        { "long-name", "&abcdefghijklmnopqrstuvwxyzabcdef; &abcdefghijklmnopqrstuvwxyzabcdefg;" },
        { "non-ascii-name", "&äöü; &日本; &١٢;" },
        { "no-ampersand", "text without any reference" },
    };
    for (const Seed& seed : entitySeeds)
        writeSeed(QStringLiteral("entities"), QString::fromLatin1(seed.name), seed.bytes);
}

// ---- CSS, HTML and layout ----

void cssSeeds(const QByteArray& css)
{
    const QList<QPair<const char*, QByteArray>> seeds {
        { "chapter.css", css },
        { "media-and-font-face",
          "@charset \"utf-8\"; @import url(x.css); @namespace epub \"http://www.idpf.org/2007/ops\";\n"
          "@media screen { @media all and (min-width: 10px) { p { color: red } } h1 { font-weight: bold } }\n"
          "@media print { p { color: blue } } @font-face { font-family: \"Face\"; src: url(\"../fonts/f.otf\") format(\"opentype\") }\n"
          "@page { margin: 1cm } @supports (display: grid) { p { color: green } }" },
        { "selectors",
          "* { margin: 0 } #c1.x > p.first + p { text-indent: 2em !important } a[href^=\"#\"], a[href$='1' i], "
          "p[title~=b], p[lang|=en], [epub|type*=note] { font-size: smaller; vertical-align: super }\n"
          "li:first-child { list-style-type: upper-roman } p::first-line, p:hover, p ~ p { color: red }\n"
          "\\31 0, .sc\\:x { font-variant: small-caps }" },
        { "shorthands-and-values",
          "p { font: italic small-caps bold 12px/1.5 \"Libre Baskerville\", Georgia, serif; margin: 1em auto -2px 5%;\n"
          "  padding: 1px 2px; border: thin solid rgb(10, 20, 30); border-left: 3px dotted hsl(120, 50%, 50%);\n"
          "  background: #fafafa url(a.png) no-repeat; text-decoration: underline overline line-through;\n"
          "  list-style: square inside; color: rgba(0,0,0,.5); letter-spacing: .1em; text-transform: capitalize;\n"
          "  white-space: pre-wrap; line-height: 150%; width: 50%; max-width: 300px; display: list-item;\n"
          "  font-size: xx-large; font-weight: bolder; text-align: right; text-indent: -1em; vertical-align: -3px }" },
        { "extreme-values",
          "p { margin: 1e308px -1e308px; font-size: 1e39em; line-height: 1e300; text-indent: 99999999999999999999px;\n"
          "  font-weight: 1e10; letter-spacing: -1e200em; width: 1e400%; border-width: 1e30px; color: #12345 }\n"
          "div { margin: calc(1px + 2em) } span { font-size: 0; line-height: -1 }" },
        { "broken", "p { color: red; /* unclosed comment \n h1 { x: \"unclosed string } }} { ; : } @media { p {" },
    };
    for (const auto& seed : seeds)
        writeSeed(QStringLiteral("css"), QString::fromLatin1(seed.first), seed.second);
}

void chapterSeeds(const QByteArray& chapter, const QByteArray& css)
{
    const QList<QPair<const char*, QByteArray>> seeds {
        { "chapter", FuzzBundle::join({ { QStringLiteral("chapter.css"), css }, { QStringLiteral("chapter.xhtml"), chapter } }) },
        { "lists-images-boxes",
          xhtml("<ol start=\"4\" style=\"list-style-type: lower-alpha\"><li>a</li><li value=\"9\">b</li></ol>"
                "<ul style=\"list-style-type: '- '\"><li>c<ul><li>d</li></ul></li></ul>"
                "<div style=\"border: 2px solid red; padding: 3px; margin: 1em; background: #eee\"><p>boxed</p>"
                "<div style=\"margin-top: 2em\"><p>inner</p></div></div>"
                "<p>An <img src=\"../images/i.png\" width=\"20\" height=\"20\"/> icon and "
                "<img src=\"big.jpg\" style=\"width: 200%; max-width: 50%\"/> a picture.</p>"
                "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\">"
                "<image xlink:href=\"cover.jpg\" width=\"600\" height=\"800\"/></svg><hr/>"
                "<table><tr><td>cell</td><td>two</td></tr></table><img src=\"image://epub/evil\"/>",
                "<style>li { margin: 0 0 1em } .x { display: none } td { padding: 1px }</style>") },
        { "text-shaping",
          xhtml("<p style=\"text-align: justify\">A verylongwordwithoutanybreakopportunityatallthatoverflowsthecolumn "
                "and soft&#173;hyph&#173;ens, dashes&#8212;and&#8211;such, non&#160;breaking spaces.</p>"
                "<p style=\"letter-spacing: 3px; text-transform: uppercase; font-variant: small-caps\">Caps <sup>up</sup>"
                "<sub>down</sub> <span style=\"vertical-align: 10px\">raised</span></p>"
                "<pre>\tpre  formatted\n  lines\n</pre><p style=\"white-space: pre\">  kept  <br/>  </p>"
                "<p style=\"text-indent: -2em; line-height: 3; font-size: 40px\">Big<br/><br/>text</p>"
                "<p style=\"text-align: center; color: red; background: yellow\"><u>under</u> <s>struck</s> "
                "<a href=\"#x\">link</a></p><h1>Head</h1><h6>Small</h6><blockquote><p>quote</p></blockquote>") },
        { "fiction-book",
          "<FictionBook xmlns=\"http://www.gribuser.ru/xml/fictionbook/2.0\" xmlns:l=\"http://www.w3.org/1999/xlink\">"
          "<body><section><title><p>Title</p></title><epigraph><p>e</p></epigraph><p>Text <emphasis>em</emphasis>"
          "<strong>st</strong><strikethrough>x</strikethrough></p><empty-line/><image l:href=\"#pic\"/>"
          "<poem><stanza><v>line</v></stanza></poem><section><title><p>Sub</p></title><subtitle>s</subtitle>"
          "<cite><p>c</p><text-author>a</text-author></cite></section></section></body></FictionBook>\n" },
        { "html-text", "<p>Not XML &nbsp; <b>bold<p>unclosed &copy; <br> line<br>&mdash; end" },
        { "deep-nesting", xhtml(nested("<div><b>", "</b></div>", 600, "deep"), "<style>div { padding: 1px }</style>") },
    };
    for (const auto& seed : seeds) {
        writeSeed(QStringLiteral("html"), QString::fromLatin1(seed.first), seed.second);
        writeSeed(QStringLiteral("layout"), QString::fromLatin1(seed.first), seed.second);
    }
}

// ---- settings store ----

// Stores as the application writes them, one of an older version and one QSettings cannot read.
void settingsSeeds()
{
    const QByteArray full =
        "[General]\nversion=4\n\n"
        "[customTheme]\nbackground=#101418\nprimaryAccent=#3d6cf0\nreadingText=#e8e6e3\n\n"
        "[history]\n1\\filePath=/home/reader/Books/The Tale.epub\n1\\lastOpened=2026-12-01T20:15:00Z\n"
        "1\\progress=0.42\n2\\filePath=/home/reader/Comics/issue 1.cbz\n2\\lastOpened=2026-11-30\n"
        "2\\progress=1\n3\\filePath=/home/reader/Comics/pages\n3\\lastOpened=2026-11-02T08:00:00+01:00\n"
        "3\\progress=0.1\nsize=3\n\n"
        "[reading]\nfontSize=18\nhorizontalMargin=40\nlineSpacing=1.2\nverticalMargin=8\n\n"
        "[saved-progress]\n3f2a9c\\chunkIndex=12\n3f2a9c\\intraOffset=140.5\n3f2a9c\\progress=0.42\n"
        "3f2a9c\\useBookColours=true\nb07e11\\chunkIndex=7\nb07e11\\pageShift=true\nb07e11\\mangaRTL=true\n\n"
        "[ui]\nbarsVisible=false\nlastFilePath=/home/reader/Books/The Tale.epub\nlastPage=reader\n"
        "sidebarOpen=true\nthemeName=custom\n\n"
        "[window]\nheight=900\nwidth=1400\nx=120\ny=60\n";
    const QList<QPair<const char*, QByteArray>> seeds {
        { "full.ini", full },
        { "first-run.ini", "[General]\nversion=4\n\n[window]\nheight=768\nwidth=1024\nx=-1\ny=-1\n" },
        { "older-version.ini", "[General]\nversion=3\n\n[reading]\nfontSize=20\n\n[history]\n1\\filePath=/a.txt\nsize=1\n" },
        { "unreadable.ini", QByteArray("[General]\nversion=4\n[ui\nthemeName=\"light\n\x00\xff\xfe", 44) },
    };
    for (const auto& seed : seeds)
        writeSeed(QStringLiteral("settings"), QString::fromLatin1(seed.first), seed.second);
}

} // namespace

// The project's own icon font (OpenType, CFF outlines) as it is, wrapped in WOFF with its tables
// compressed and stored, and gathered into a collection of one.
void fontSeeds()
{
    const QByteArray otf = readFile(QStringLiteral(VELLORA_TEST_DATA "/../../src/assets/MaterialIconsOutlined-Regular.otf"));
    writeSeed(QStringLiteral("font"), QStringLiteral("icons.otf"), otf);
    writeSeed(QStringLiteral("font"), QStringLiteral("icons.woff"), TestWoff::fromSfnt(otf));
    writeSeed(QStringLiteral("font"), QStringLiteral("icons-stored.woff"), TestWoff::fromSfnt(otf, false));
    // A TTC header (tag, version 1.0, one font at offset 16) before the font, whose table offsets
    // then all lie 16 bytes further on.
    QByteArray collection = QByteArray("ttcf\0\1\0\0\0\0\0\1\0\0\0\x10", 16) + otf;
    const quint16 tables = quint16(quint8(otf[4]) << 8 | quint8(otf[5]));
    for (int i = 0; i < tables; ++i) {
        char* offset = collection.data() + 16 + 12 + i * 16 + 8;
        const quint32 value = quint32(quint8(offset[0])) << 24 | quint32(quint8(offset[1])) << 16
            | quint32(quint8(offset[2])) << 8 | quint8(offset[3]);
        const quint32 moved = value + 16;
        for (int b = 0; b < 4; ++b)
            offset[b] = char(moved >> (24 - 8 * b));
    }
    writeSeed(QStringLiteral("font"), QStringLiteral("collection.ttc"), collection);
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv); // image format plugins
    if (argc != 2)
        fail(QStringLiteral("usage: vellora-fuzz-seeds OUTDIR"));
    outRoot = QDir(QString::fromLocal8Bit(argv[1]));
    if (outRoot.exists() && !outRoot.removeRecursively())
        fail(QStringLiteral("cannot empty ") + outRoot.path());
    if (!QDir().mkpath(outRoot.path()))
        fail(QStringLiteral("cannot make ") + outRoot.path());

    const QByteArray chapter = readFile(QStringLiteral(VELLORA_TEST_DATA "/chapter.xhtml"));
    const QByteArray css = readFile(QStringLiteral(VELLORA_TEST_DATA "/chapter.css"));
    epubSeeds(chapter, css);
    comicSeeds();
    fb2Seeds();
    encodingSeeds();
    cssSeeds(css);
    chapterSeeds(chapter, css);
    settingsSeeds();
    fontSeeds();
    return 0;
}
