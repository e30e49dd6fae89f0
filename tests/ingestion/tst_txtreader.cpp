#include "content/DocumentChunkBuilder.h"
#include "EncodedText.h"
#include "formats/DefaultFormats.h"
#include "formats/FormatRegistry.h"
#include "formats/TxtReader.h"
#include "text/PlainTextParagraphs.h"
#include "text/TextContentCheck.h"
#include "text/TextEncoding.h"

#include <QCryptographicHash>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QRegularExpression>
#include <QTest>

namespace {

// The texts of the chunks' paragraphs, in order.
QStringList paragraphTexts(const QList<ContentChunk>& chunks)
{
    QStringList texts;
    for (const ContentChunk& chunk : chunks) {
        for (const BlockItem& block : chunk.blocks) {
            if (block.kind != BlockItem::Paragraph)
                continue;
            QString text;
            for (const InlineRun& run : block.runs)
                text += run.text;
            texts.append(text);
        }
    }
    return texts;
}

// The chunks' blocks as short strings: ">" leads a paragraph set apart by a first-line indent,
// "L:" lines laid out by hand, "~" is a gap and "#" a section break.
QStringList blockShapes(const QList<ContentChunk>& chunks)
{
    QStringList shapes;
    for (const ContentChunk& chunk : chunks) {
        for (const BlockItem& block : chunk.blocks) {
            if (block.kind == BlockItem::Rule) {
                shapes.append(QStringLiteral("#"));
                continue;
            }
            QString text;
            for (const InlineRun& run : block.runs)
                text += run.text;
            if (block.preformatted)
                shapes.append(QStringLiteral("L:") + text);
            else if (text == QStringLiteral("\u00A0"))
                shapes.append(QStringLiteral("~"));
            else
                shapes.append((block.indent > 0 ? QStringLiteral(">") : QString()) + text);
        }
    }
    return shapes;
}

// The paragraph as a greedy wrapper at 70 columns leaves it, its first line indented.
QString wrapped(const QString& paragraph, int indent = 0)
{
    QString text(indent, QLatin1Char(' '));
    qsizetype column = indent;
    bool lineStart = true;
    for (const QString& word : paragraph.split(QLatin1Char(' '))) {
        if (!lineStart && column + 1 + word.size() > 70) {
            text += QLatin1Char('\n');
            column = 0;
            lineStart = true;
        }
        if (!lineStart) {
            text += QLatin1Char(' ');
            ++column;
        }
        text += word;
        column += word.size();
        lineStart = false;
    }
    return text + QLatin1Char('\n');
}

const QString kA = QStringLiteral(
    "It was the best of times, it was the worst of times, it was the age of wisdom, it was the age "
    "of foolishness, it was the epoch of belief, it was the epoch of incredulity.");
const QString kB = QStringLiteral(
    "There were a king with a large jaw and a queen with a plain face, on the throne of England; "
    "there were a king with a large jaw and a queen with a fair face, on the throne of France.");
const QString kC = QStringLiteral(
    "In both countries it was clearer than crystal to the lords of the State preserves of loaves "
    "and fishes, that things in general were settled for ever.");
const QString kD = QStringLiteral("It was the year of Our Lord one thousand seven hundred and seventy-five.");
const QString kVerse = QStringLiteral(
    "Tyger Tyger, burning bright,\nIn the forests of the night;\nWhat immortal hand or eye,\n"
    "Could frame thy fearful symmetry?\n");

} // namespace

class TestTxtReader : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QVERIFY(dir.isValid()); }

    void opensLegacyEncodedBook()
    {
        // A hard-wrapped paragraph between a heading and a closing line, with DOS line ends.
        QString text = QStringLiteral("Глава первая\n\n") + wrapped(EncodedText::russian())
            + QStringLiteral("\nКонец");
        text.replace(u'\n', QStringLiteral("\r\n"));
        const QByteArray bytes = EncodedText::encode(text, "windows-1251");
        const QString path = write(QStringLiteral("Книга.том 1.txt"), bytes);

        TxtReader reader;
        QVERIFY(reader.open(path));
        QCOMPARE(reader.contentKind(), 1);
        QCOMPARE(reader.errorString(), QString());
        QCOMPARE(reader.filePath(), path);
        QCOMPARE(reader.title(), QStringLiteral("Книга.том 1"));
        QCOMPARE(reader.author(), QString());
        QCOMPARE(reader.coverImageUrl(), QString());
        QVERIFY(reader.pages().isEmpty());
        QCOMPARE(reader.contentHash(), QCryptographicHash::hash(bytes, QCryptographicHash::Md5));
        const QStringList expected{QStringLiteral("Глава первая"), EncodedText::russian(), QStringLiteral("Конец")};
        QCOMPARE(paragraphTexts(reader.chunks()), expected);
        for (const ContentChunk& chunk : reader.chunks())
            QCOMPARE(chunk.id, path);
    }

    // Paragraphs found however the file marks them, and set apart by an indent when they follow
    // a paragraph; lines laid out by hand keep their breaks.
    void findsParagraphs_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("shapes");
        const QString blankLed = wrapped(kA) + u'\n' + wrapped(kB) + u'\n' + wrapped(kC);
        const QStringList three{kA, ">" + kB, ">" + kC};
        QTest::newRow("blank-line paragraphs") << blankLed.toUtf8() << three;
        QTest::newRow("indent-led paragraphs")
            << (wrapped(kA, 4) + wrapped(kB, 4) + wrapped(kC, 4)).toUtf8() << three;
        QTest::newRow("indent-led with a one-line paragraph")
            << (wrapped(kA, 4) + wrapped(kD, 4) + wrapped(kB, 4)).toUtf8()
            << QStringList{kA, ">" + kD, ">" + kB};
        QTest::newRow("indented and blank-line paragraphs")
            << (wrapped(kA, 4) + u'\n' + wrapped(kB, 4) + u'\n' + wrapped(kC, 4)).toUtf8() << three;
        QTest::newRow("wrapped without blank lines or indents")
            << (wrapped(kA) + wrapped(kB) + wrapped(kC)).toUtf8() << three;
        QTest::newRow("one paragraph per line")
            << (kA + u' ' + kB + u'\n' + kC + u' ' + kD + u'\n').toUtf8()
            << QStringList{kA + u' ' + kB, ">" + kC + u' ' + kD};
        QTest::newRow("verse between paragraphs")
            << (wrapped(kA) + u'\n' + kVerse + u'\n' + wrapped(kB)).toUtf8()
            << QStringList{kA, "~", "L:" + kVerse.trimmed(), "~", kB};
        QTest::newRow("verse in text without blank lines or indents")
            << (wrapped(kA) + kVerse + wrapped(kB)).toUtf8() << QStringList{kA, "~", "L:" + kVerse.trimmed(), "~", kB};
        const QString address = QStringLiteral("    Mr. Jarvis Lorry,\n    Tellson's Bank,\n    London.");
        QTest::newRow("indented address in blank-line text")
            << (wrapped(kA) + u'\n' + address + QStringLiteral("\n\n") + wrapped(kB)).toUtf8()
            << QStringList{kA, "~", "L:" + address, "~", kB};
        QString indentedVerse;
        for (const QString& line : kVerse.split(u'\n', Qt::SkipEmptyParts).mid(0, 2))
            indentedVerse += QStringLiteral("        ") + line + u'\n';
        QTest::newRow("indented verse in indent-led text")
            << (wrapped(kA, 4) + indentedVerse + wrapped(kB, 4) + wrapped(kC, 4) + wrapped(kD, 4)).toUtf8()
            << QStringList{kA, "~", "L:" + indentedVerse.chopped(1), "~", kB, ">" + kC, ">" + kD};
        QTest::newRow("scene break")
            << (wrapped(kA) + u'\n' + wrapped(kB) + QStringLiteral("\n\n\n") + wrapped(kC)).toUtf8()
            << QStringList{kA, ">" + kB, "~", kC};
        QTest::newRow("section breaks")
            << (wrapped(kA) + QStringLiteral("\n* * *\n\n") + wrapped(kB) + QStringLiteral("\n-----\n\n")
                + wrapped(kC) + QStringLiteral("\n\f\n") + wrapped(kD)).toUtf8()
            << QStringList{kA, "#", kB, "#", kC, "#", kD};
        // Shapes of real books: prose between two verse-like blocks stays prose; a line left
        // short by the long word after it, or by its sentence's end, is still part of its paragraph.
        const QString verse2 = QStringLiteral("Tyger Tyger, burning bright,\nIn the forests of the night;\n");
        QTest::newRow("prose between verse")
            << (verse2 + QStringLiteral("\nIt was a cold night, and nobody\nslept until the boats came home.\n\n")
                + verse2).toUtf8()
            << QStringList{"L:" + verse2.trimmed(), "~", "It was a cold night, and nobody slept until the boats came home.",
                           "~", "L:" + verse2.trimmed()};
        const QString longWord = QStringLiteral(
            "The letter was addressed, in a careful hand, to the office at "
            "http://www.example.org/correspondence/incoming/1775 and nobody there read it.");
        QTest::newRow("early wrap before a long word")
            << (wrapped(kA) + u'\n' + wrapped(longWord) + u'\n' + wrapped(kC)).toUtf8()
            << QStringList{kA, ">" + longWord, ">" + kC};
        const QString sentences = QStringLiteral("\"I will not,\" declared Nicholas, flaring\nup. He turned away.\n"
                                                 "Nobody followed him out of the room that night.\n");
        QTest::newRow("short lines ending sentences")
            << (wrapped(kA) + u'\n' + sentences + u'\n' + wrapped(kB)).toUtf8()
            << QStringList{kA, ">" + QString(sentences).replace(u'\n', u' ').trimmed(), ">" + kB};
        QTest::newRow("two paragraphs of two lines")
            << QStringLiteral("The rain had stopped before the coach\nreached the inn at the crossroads.\n\n"
                              "Its passengers climbed down in silence\nand went inside to the fire.\n").toUtf8()
            << QStringList{"The rain had stopped before the coach reached the inn at the crossroads.",
                           ">Its passengers climbed down in silence and went inside to the fire."};
        QTest::newRow("three indent-led paragraphs, the first not indented")
            << QStringLiteral("The rain had stopped before the coach\nreached the inn at the crossroads.\n"
                              "    Its passengers climbed down in silence.\n    The landlord met them at the\n"
                              "door with a lantern.\n").toUtf8()
            << QStringList{"The rain had stopped before the coach reached the inn at the crossroads.",
                           ">Its passengers climbed down in silence.",
                           ">The landlord met them at the door with a lantern."};
        // A paragraph of two lines whose first was left short by hand before a capitalised
        // word, in a long book: still one paragraph, as the long first line says.
        const QString handEdited = QStringLiteral("Prince Andrew looked at his sister once, and smiled;\n"
                                                  "Natasha had not said a word all evening.\n");
        QString longBook;
        QStringList longShapes;
        for (int i = 0; i < 4; ++i) {
            longBook += wrapped(kA) + u'\n' + wrapped(kB) + u'\n' + wrapped(kC) + u'\n';
            longShapes << (i == 0 ? kA : ">" + kA) << ">" + kB << ">" + kC;
        }
        QTest::newRow("two lines left short by hand before a capital")
            << (longBook + handEdited + u'\n' + wrapped(kD)).toUtf8()
            << (longShapes << ">" + QString(handEdited).replace(u'\n', u' ').trimmed() << ">" + kD);
        QString crlf = blankLed;
        crlf.replace(u'\n', QStringLiteral("\r\n"));
        QTest::newRow("CRLF") << crlf.toUtf8() << three;
        QString cr = blankLed;
        cr.replace(u'\n', u'\r');
        QTest::newRow("CR") << cr.toUtf8() << three;
        QTest::newRow("BOM") << QByteArray("\xEF\xBB\xBF") + blankLed.toUtf8() << three;
    }
    void findsParagraphs()
    {
        QFETCH(QByteArray, bytes);
        TxtReader reader;
        QVERIFY(reader.open(write(QStringLiteral("book.txt"), bytes)));
        QTEST(blockShapes(reader.chunks()), "shapes");
    }

    // Whatever rule a file's paragraphs are found by, each paragraph and each block of lines
    // after the first starts visibly: with a first-line indent, or after a gap or a break, so
    // that a paragraph whose last line is full still shows where it ends.
    void everyParagraphStartIsVisible_data()
    {
        findsParagraphs_data();
        const QString full = QStringLiteral("This first paragraph is long enough to wrap, and its last line is full\n"
                                            "right to the edge of the line, as a greedy wrapper left it there, ok.\n");
        const QString second = QStringLiteral("The second paragraph starts under it.\n");
        QTest::newRow("two short blank-line paragraphs, the first full")
            << (full + u'\n' + second).toUtf8() << QStringList{};
        QTest::newRow("two short indent-led paragraphs") << (full + "    " + second).toUtf8() << QStringList{};
        QTest::newRow("lines right after a paragraph and before one")
            << (wrapped(kA) + QStringLiteral("One\nTwo\nThree\n") + wrapped(kB)).toUtf8() << QStringList{};
        QTest::newRow("contents before the text, no blank lines")
            << (QStringLiteral("Contents\nChapter One\nChapter Two\n") + wrapped(kA) + wrapped(kB) + wrapped(kC)).toUtf8()
            << QStringList{};
    }
    void everyParagraphStartIsVisible()
    {
        QFETCH(QByteArray, bytes);
        TxtReader reader;
        QVERIFY(reader.open(write(QStringLiteral("book.txt"), bytes)));
        const QStringList shapes = blockShapes(reader.chunks());
        const auto separates = [](const QString& shape) { return shape == u"~" || shape == u"#"; };
        for (qsizetype i = 1; i < shapes.size(); ++i) {
            if (!separates(shapes.at(i)))
                QVERIFY2(shapes.at(i).startsWith(u'>') || separates(shapes.at(i - 1)), qPrintable(shapes.join(u'|')));
        }
    }

    // Hebrew lines laid out by hand sit at the side they start on; Hebrew stored in visual order
    // (each line as it stands on screen) reads in logical order.
    void hebrewLinesStartAtTheRight_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("logical");
        const QString logical = QStringLiteral("שלום עולם (2024)\nמה שלומך היום?\nטוב מאוד, תודה!\nלילה טוב לכם.");
        QTest::newRow("logical") << logical << logical;
        QString visual;
        for (const QString& line : logical.split(u'\n')) {
            QString reversed = line;
            std::reverse(reversed.begin(), reversed.end());
            reversed.replace(QStringLiteral("4202"), QStringLiteral("2024"));
            reversed.replace(u'(', u'#').replace(u')', u'(').replace(u'#', u')');
            visual += (visual.isEmpty() ? QString() : QStringLiteral("\n")) + reversed;
        }
        QTest::newRow("visual") << visual << logical;
    }
    void hebrewLinesStartAtTheRight()
    {
        QFETCH(QString, stored);
        QFETCH(QString, logical);
        TxtReader reader;
        QVERIFY(reader.open(write(QStringLiteral("hebrew.txt"), EncodedText::encode(stored, "IBM862"))));
        const QList<ContentChunk> chunks = reader.chunks();
        QCOMPARE(blockShapes(chunks), QStringList{"L:" + logical});
        QCOMPARE(chunks[0].blocks[0].align, TextAlign::Right);
    }

    // However the text is laid out, no chunk may grow far past the budget.
    void chunksStayNearTheBudget_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QString perLine;
        for (int i = 0; i < 3000; ++i)
            perLine += QStringLiteral("Paragraph %1 sits on a line of its own.\n").arg(i);
        QTest::newRow("one paragraph per line") << perLine.toUtf8();
        QString oneParagraph;
        while (oneParagraph.size() < 1000000)
            oneParagraph += QStringLiteral("A sentence of a paragraph that never ends. ");
        QTest::newRow("a megabyte paragraph") << oneParagraph.toUtf8();
        // Bytes of any value but the control characters: no line structure at all.
        QByteArray noise;
        for (int i = 0; i < 200000; ++i) {
            const char byte = char(0x20 + (i * 7919 + 13) % 0xE0);
            noise.append(byte == 0x7F ? ' ' : byte);
        }
        QTest::newRow("noise without control characters") << noise;
    }
    void chunksStayNearTheBudget()
    {
        QFETCH(QByteArray, bytes);
        TxtReader reader;
        QVERIFY(reader.open(write(QStringLiteral("big.txt"), bytes)));
        const QList<ContentChunk> chunks = reader.chunks();
        QVERIFY(chunks.size() > 10);
        const int limit = DocumentChunkBuilder::kReaderBudget
            + int(PlainTextParagraphs::longLineLength(DocumentChunkBuilder::kReaderBudget));
        for (const ContentChunk& chunk : chunks)
            QVERIFY2(chunk.weight <= limit, qPrintable(QString::number(chunk.weight)));
    }

    // A long book is built in sections side by side: its chunks are still cut where one builder
    // going through the whole book cuts them, as soon as a chunk reaches the budget, and each
    // paragraph that follows another is still indented, at the edges of the sections too.
    void longBookIsCutAsOneBuilderWould()
    {
        QString book;
        for (int i = 0; i < 4000; ++i) {
            // Long lines fill a chunk alone; their doubled spaces collapse into one.
            const QString words = i % 7 == 0 ? QStringLiteral("Word  and   word, ").repeated(60)
                                             : QStringLiteral("A short paragraph, %1 of its kind. ").arg(i).repeated(4);
            book += words.trimmed() + QLatin1Char('\n');
        }
        TxtReader reader;
        QVERIFY(reader.open(write(QStringLiteral("long.txt"), book.toUtf8())));
        const QList<ContentChunk> chunks = reader.chunks();
        const int budget = DocumentChunkBuilder::kReaderBudget;
        QVERIFY(chunks.size() > 100);
        for (qsizetype c = 0; c < chunks.size(); ++c) {
            const ContentChunk& chunk = chunks.at(c);
            int weight = 0;
            for (const BlockItem& block : chunk.blocks) {
                QVERIFY2(weight < budget, qPrintable(QStringLiteral("chunk %1 runs past its cut").arg(c)));
                weight += DocumentChunkBuilder::paragraphWeight(block);
            }
            QCOMPARE(chunk.weight, weight);
            QVERIFY2(c + 1 == chunks.size() || weight >= budget, qPrintable(QStringLiteral("chunk %1 cut early").arg(c)));
        }
        const QStringList shapes = blockShapes(chunks);
        QCOMPARE(shapes.size(), 4000);
        for (qsizetype i = 1; i < shapes.size(); ++i)
            QVERIFY2(shapes.at(i).startsWith(QLatin1Char('>')), qPrintable(QString::number(i)));
    }

    // A long UTF-8 book, of characters of every length, read in one pass gives the text the same
    // book stored as UTF-16 gives; one ill-formed byte near its end sends the whole book to
    // detection, as before that pass.
    void longUtf8BookReadsAsAWhole_data()
    {
        QTest::addColumn<bool>("broken");
        QTest::newRow("well-formed") << false;
        QTest::newRow("ill-formed near the end") << true;
    }
    void longUtf8BookReadsAsAWhole()
    {
        QFETCH(bool, broken);
        const QStringList tokens{QStringLiteral("Ascii"), QStringLiteral("words,"), QStringLiteral("\u0441\u043B\u043E\u0432\u043E"),
                                 QStringLiteral("\u20AC\u4E2D"), QStringLiteral("\U0001F600\u00E9"), QStringLiteral("end.")};
        QString book;
        for (int i = 0; book.size() < 700000; ++i) {
            QStringList line;
            for (int k = 0; k < 3 + i % 5; ++k)
                line.append(tokens.at((i + k) % tokens.size()));
            book += line.join(QLatin1Char(' ')) + QLatin1Char('\n');
        }
        QByteArray bytes = book.toUtf8();
        if (broken)
            bytes.insert(bytes.size() - 100, '\xFF');
        // Qt's reading of well-formed UTF-8; detection's of the rest.
        const QString text = broken ? TextEncoding::decode(bytes, QString()) : QString::fromUtf8(bytes);
        QStringEncoder toUtf16(QStringConverter::Utf16LE);
        const QByteArray wide = QByteArray("\xFF\xFE") + QByteArray(toUtf16(text));
        TxtReader utf8;
        TxtReader utf16;
        QVERIFY(utf8.open(write(QStringLiteral("utf8.txt"), bytes)));
        QVERIFY(utf16.open(write(QStringLiteral("utf16.txt"), wide)));
        QCOMPARE(text.contains(QChar::ReplacementCharacter), broken);
        QCOMPARE(paragraphTexts(utf8.chunks()), paragraphTexts(utf16.chunks()));
    }

    // An empty book still gives the reading model one chunk to show.
    void bookWithoutTextHasOneEmptyChunk_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("BOM alone") << QByteArray("\xEF\xBB\xBF");
        QTest::newRow("blank lines") << QByteArray("\r\n \r\n\t\n");
    }
    void bookWithoutTextHasOneEmptyChunk()
    {
        QFETCH(QByteArray, bytes);
        const QString path = write(QStringLiteral("empty.txt"), bytes);
        TxtReader reader;
        QVERIFY(reader.open(path));
        const QList<ContentChunk> chunks = reader.chunks();
        QCOMPARE(chunks.size(), 1);
        QCOMPARE(chunks.first().id, path);
        QCOMPARE(chunks.first().weight, 0);
        QCOMPARE(chunks.first().blocks.size(), 1);
        QCOMPARE(chunks.first().blocks.first().kind, int(BlockItem::Paragraph));
        QVERIFY(chunks.first().blocks.first().runs.isEmpty());
        QCOMPARE(reader.contentHash(), QCryptographicHash::hash(bytes, QCryptographicHash::Md5));
    }

    // A GB18030 book with codes its tables leave unassigned among the four-byte codes of the
    // supplementary planes: each unassigned code is one replacement character, and the characters
    // after it read as themselves, at every open.
    void gb18030UnassignedCodesStayInStep()
    {
        const QByteArray prose = EncodedText::encode(EncodedText::chinese(), "GB18030");
        const QByteArray codes =
            "\x90\x30\x81\x30 \xE3\x32\x9A\x35 \x95\x32\x82\x36 " // U+10000, U+10FFFF, U+20000
            "\xE3\x32\x9A\x36\x90\x30\x81\x30 " // past U+10FFFF, then U+10000
            "\x84\x31\xA5\x30\x95\x32\x82\x36 " // between the planes' ranges, then U+20000
            "\x81\x30\x41"; // a lead before a digit and a letter: the two are read as themselves
        const char32_t expectedCodes[] = {0x10000, ' ',    0x10FFFF, ' ', 0x20000, ' ', 0xFFFD, 0x10000, ' ',
                                          0xFFFD,  0x20000, ' ',     0xFFFD, '0', 'A'};
        const QString path = write(QStringLiteral("gb18030.txt"), prose + "\n\n" + codes + "\n\n" + prose);
        const QStringList expected{EncodedText::chinese(), QString::fromUcs4(expectedCodes, std::size(expectedCodes)),
                                   EncodedText::chinese()};
        for (int open = 0; open < 3; ++open) {
            TxtReader reader;
            QVERIFY(reader.open(path));
            QCOMPARE(paragraphTexts(reader.chunks()), expected);
        }
    }

    void unknownDeclaredEncodingStillOpens()
    {
        TxtReader reader;
        QVERIFY(reader.open(write(QStringLiteral("bogus.txt"), "<?xml encoding=\"x-bogus\"?>\nCaf\xC3\xA9")));
        QCOMPARE(paragraphTexts(reader.chunks()),
                 (QStringList{QStringLiteral("<?xml encoding=\"x-bogus\"?>"), QStringLiteral("Café")}));
    }

    void unreadablePathFails_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("missing file") << dir.filePath(QStringLiteral("missing.txt"));
        QTest::newRow("folder") << dir.path();
    }
    void unreadablePathFails()
    {
        QFETCH(QString, path);
        TxtReader reader;
        QVERIFY(reader.open(write(QStringLiteral("first.txt"), "text")));
        QVERIFY(!reader.open(path));
        QCOMPARE(reader.errorString(), QStringLiteral("Cannot open file: ") + path);
        QCOMPARE(reader.filePath(), path);
        QVERIFY(reader.chunks().isEmpty());
        QVERIFY(reader.contentHash().isEmpty());

        QVERIFY(!reader.loadMetadata(path));
        QCOMPARE(reader.errorString(), QStringLiteral("Cannot open file: ") + path);
    }

    // Decoded text against binary data and text its decoder could not read.
    // Manual pages formatted for a terminal and saved program output open as the text a terminal
    // shows: overstrike and escape sequences dropped, the line ends they stood next to kept.
    void terminalTextReadsAsShown_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("shown");
        const auto bold = [](const QString& word) {
            QString struck;
            for (const QChar c : word)
                struck += QString(c) + u'\b' + c;
            return struck;
        };
        const auto underlined = [](const QString& word) {
            QString struck;
            for (const QChar c : word)
                struck += QStringLiteral("_\b") + c;
            return struck;
        };
        QTest::newRow("nroff bold and underline")
            << bold("NAME") + "\n       cat - concatenate " + underlined("files") + "\n\n" + bold("SYNOPSIS") + "\n       "
                   + bold("cat") + " [" + underlined("OPTION") + "]... [" + underlined("FILE") + "]...\n"
            << QStringLiteral("NAME\n       cat - concatenate files\n\nSYNOPSIS\n       cat [OPTION]... [FILE]...\n");
        QTest::newRow("underline struck after the letter")
            << QStringLiteral("a\b_b\b_c\b_ d\b_e\b_ and _\b_ stays\n") << QStringLiteral("abc de and _ stays\n");
        QTest::newRow("overstruck letters outside the first plane")
            << QStringLiteral("\U0001D400\b\U0001D400 bold\n") << QStringLiteral("\U0001D400 bold\n");
        QTest::newRow("backspace at a line start")
            << QStringLiteral("\bText\n\bmore\b\nB\bBold\n") << QStringLiteral("Text\nmore\nBold\n");
        QTest::newRow("colours")
            << QStringLiteral("\x1B[1;31merror:\x1B[0m file \x1B[38;5;208mmissing\x1B[m\n\x1B[32mok\x1B[0m\n")
            << QStringLiteral("error: file missing\nok\n");
        QTest::newRow("cursor moves, title, designation")
            << QStringLiteral("\x1B]0;build log\x07\x1B[2K\x1B[1GStep 1\x1B(B done\x1B=\n\x1B]2;x\x1B\\Step 2\n")
            << QStringLiteral("Step 1 done\nStep 2\n");
        QTest::newRow("a sequence cut short by the line end")
            << QStringLiteral("one\x1B[12\ntwo\x1B]title\nthree\x1B\n") << QStringLiteral("one\ntwo\nthree\n");
    }
    // A code table's lone control characters are no terminal codes: they stay as they are.
    void loneControlCharactersStay()
    {
        QString table;
        for (char16_t u = 1; u < 0x80; ++u)
            table += QChar(u);
        table += QStringLiteral("\n") + kA.repeated(10) + u'\n';
        TxtReader reader;
        QVERIFY(reader.open(write(QStringLiteral("table.txt"), table.toUtf8())));
        QVERIFY(paragraphTexts(reader.chunks()).join(QString()).contains(QStringLiteral("\x06\x07\x08")));
    }

    void terminalTextReadsAsShown()
    {
        QFETCH(QString, stored);
        QFETCH(QString, shown);
        // Enough lines of the same that the codes are far more than one character in fifty.
        TxtReader reader;
        QVERIFY2(reader.open(write(QStringLiteral("terminal.txt"), stored.repeated(20).toUtf8())),
                 qPrintable(reader.errorString()));
        TxtReader plain;
        QVERIFY(plain.open(write(QStringLiteral("plain.txt"), shown.repeated(20).toUtf8())));
        QCOMPARE(paragraphTexts(reader.chunks()), paragraphTexts(plain.chunks()));
    }

    void judgesDecodedText_data()
    {
        using TextContentCheck::Verdict;
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("verdict");
        const QString prose = kA + kB; // over 300 characters
        QTest::newRow("prose") << prose << int(Verdict::Text);
        QTest::newRow("empty") << QString() << int(Verdict::Text);
        QTest::newRow("white space controls") << QStringLiteral("a\tb\nc\vd\fe\rf ") + prose << int(Verdict::Text);
        QTest::newRow("C1 quotes of windows-1252 read as Latin-1")
            << QStringLiteral("\u0093Quoted\u0094 ").repeated(40) << int(Verdict::Text);
        QTest::newRow("a DOS end mark") << prose + QChar(0x1A) << int(Verdict::Text);
        QTest::newRow("emoji in surrogate pairs") << QStringLiteral("smile \U0001F600 ").repeated(50) << int(Verdict::Text);
        QTest::newRow("one control in sixty") << QStringLiteral("\x01").append(QString(59, u'x')).repeated(10)
                                             << int(Verdict::Text);
        QTest::newRow("one control in forty") << QStringLiteral("\x01").append(QString(39, u'x')).repeated(10)
                                             << int(Verdict::Binary);
        QTest::newRow("controls after a long run of prose") << prose.repeated(3) + QString(40, QChar(1))
                                                            << int(Verdict::Binary);
        QTest::newRow("zero bytes between letters") << QStringLiteral("a").append(QChar(0)).repeated(100)
                                                    << int(Verdict::Binary);
        QTest::newRow("DEL and noncharacters") << QStringLiteral("\x7F\uFFFE\uFFFF abcdefghijklmnopqrstuvwxyz").repeated(10)
                                               << int(Verdict::Binary);
        QTest::newRow("a replacement character in twenty")
            << QStringLiteral("\uFFFD").append(QString(19, u'x')).repeated(10) << int(Verdict::Text);
        QTest::newRow("a replacement character in five")
            << QStringLiteral("\uFFFD").append(QString(4, u'x')).repeated(10) << int(Verdict::Undecodable);
        QTest::newRow("half surrogate pairs") << QStringLiteral("ab").append(QChar(0xDC00)).repeated(50)
                                              << int(Verdict::Undecodable);
    }
    void judgesDecodedText()
    {
        QFETCH(QString, text);
        QFETCH(int, verdict);
        QCOMPARE(int(TextContentCheck::judge(text)), verdict);
    }

    void bookBeyondTheMemoryBudgetIsRefused_data()
    {
        QTest::addColumn<int>("characters");
        QTest::addColumn<bool>("opens");
        // The budget leaves room for one paragraph of 1000 characters of text.
        QTest::newRow("within") << 1000 << true;
        QTest::newRow("one beyond") << 1001 << false;
        // Two bytes of UTF-8 each: characters count, not bytes.
        QTest::newRow("Cyrillic within") << -600 << true;
    }
    void bookBeyondTheMemoryBudgetIsRefused()
    {
        QFETCH(int, characters);
        QFETCH(bool, opens);
        const QByteArray text = characters >= 0 ? QByteArray(characters, 'a') : QString(-characters, QChar(0x0434)).toUtf8();
        const QString path = write(QStringLiteral("big.txt"), text);
        TxtReader reader;
        reader.setMemoryBudget(1000 * BookCostMeter::kBytesPerCharacter + BookCostMeter::kBytesPerBlock
                               + BookCostMeter::kBytesPerRun);
        if (!opens)
            QTest::ignoreMessage(QtWarningMsg, qPrintable("Book too large for the memory of this computer: " + path));
        QCOMPARE(reader.open(path), opens);
        QCOMPARE(reader.errorString(), opens ? QString() : QStringLiteral("Cannot open file: ") + path);
        QCOMPARE(reader.chunks().isEmpty(), !opens);
        QCOMPARE(reader.contentHash().isEmpty(), !opens);
    }

    // Text that costs far more than its characters: every line end, form feed or rule of stars
    // is a line to find or a block to hold. Such a book is refused within its budget, and a book
    // of the same size in ordinary paragraphs still opens.
    void floodsOfLinesAndBreaksAreRefused_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("opens");
        const int n = 200000;
        QTest::newRow("line feeds") << QByteArray(n, '\n') << false;
        QTest::newRow("carriage returns") << QByteArray(n, '\r') << false;
        QTest::newRow("form feeds") << QByteArray(n, '\f') << false;
        QTest::newRow("words and form feeds") << QByteArray("word\f").repeated(n / 5) << false;
        QTest::newRow("rules of stars") << QByteArray("word\n\n***\n\n").repeated(n / 11) << false;
        QTest::newRow("one-word lines") << QByteArray("a\n").repeated(n / 2) << false;
        // Lines and characters within the budget, paragraphs past it: refused while they are found.
        QTest::newRow("two-word paragraphs") << QByteArray("a word\n\n").repeated(n / 8) << false;
        QTest::newRow("ordinary paragraphs")
            << QByteArray("It was the best of times, it was the worst of times, it was the age of wisdom, it was "
                          "the age of foolishness, it was the epoch of belief, it was the epoch of incredulity, "
                          "it was the season of Light, it was the season of Darkness.\n\n")
                   .repeated(n / 220)
            << true;
    }
    void floodsOfLinesAndBreaksAreRefused()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, opens);
        const QString path = write(QStringLiteral("flood.txt"), text);
        TxtReader reader;
        // Room for the text as characters several times over, not for a block or line per byte.
        reader.setMemoryBudget(qint64(text.size()) * BookCostMeter::kBytesPerCharacter * 2);
        if (!opens) {
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Book content counted at \\d+ MB")));
            QTest::ignoreMessage(QtWarningMsg, qPrintable("Book too large for the memory of this computer: " + path));
        }
        QCOMPARE(reader.open(path), opens);
        QCOMPARE(reader.errorString(), opens ? QString() : QStringLiteral("Cannot open file: ") + path);
        QCOMPARE(reader.chunks().isEmpty(), !opens);
    }

    void metadataIsPathAndTitleOnly()
    {
        const QString path = write(QStringLiteral("War and Peace.txt"), "Well, Prince, so Genoa and Lucca");
        TxtReader reader;
        QVERIFY(reader.open(path));
        QVERIFY(reader.loadMetadata(path));
        QCOMPARE(reader.errorString(), QString());
        QCOMPARE(reader.filePath(), path);
        QCOMPARE(reader.title(), QStringLiteral("War and Peace"));
        QVERIFY(reader.chunks().isEmpty());
        QVERIFY(reader.contentHash().isEmpty());
    }

    // The last row of the application's table reads .txt files in any letter case.
    void txtRowOfTheFormatTable()
    {
        const QList<FormatSpec> table = DefaultFormats::table();
        const FormatSpec& row = table.last();
        QCOMPARE(row.extension, QStringLiteral("txt"));
        QVERIFY(!row.isDirectory);
        QVERIFY(row.scheme.isEmpty());
        QVERIFY(!row.sourceFactory);
        const FormatRegistry registry(table);
        const std::unique_ptr<FormatReader> reader = registry.createReader(QStringLiteral("/books/NOTES.TXT"));
        QVERIFY(dynamic_cast<TxtReader*>(reader.get()));
    }

private:
    QString write(const QString& name, const QByteArray& bytes)
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
            qFatal("cannot write fixture %s", qPrintable(path));
        return path;
    }

    QTemporaryDir dir;
};

QTEST_GUILESS_MAIN(TestTxtReader)
#include "tst_txtreader.moc"
