#include "text/PlainTextParagraphs.h"

#include <QTest>

namespace {

constexpr int kBudget = 512;

using PlainTextParagraphs::Block;

// Blocks as short strings: a paragraph is its text, "L:" leads lines laid out by hand, "~" is a
// gap and "#" a section break.
QStringList blocksOf(const QString& text, const PlainTextParagraphs::ForEach& forEach = {})
{
    QStringList blocks;
    PlainTextParagraphs::split(text, kBudget, [&](const Block& block) {
        switch (block.kind) {
        case Block::Paragraph:
            blocks.append(block.text);
            break;
        case Block::Lines:
            blocks.append(QStringLiteral("L:") + block.text);
            break;
        case Block::Gap:
            blocks.append(QStringLiteral("~"));
            break;
        default:
            blocks.append(QStringLiteral("#"));
            break;
        }
    }, forEach);
    return blocks;
}

// The words wrapped greedily at 70 columns, each line ended.
QString wrappedAt70(const QString& words)
{
    QString text;
    qsizetype column = 0;
    for (const QString& word : words.split(QLatin1Char(' '))) {
        if (column > 0 && column + 1 + word.size() > 70) {
            text += QLatin1Char('\n');
            column = 0;
        }
        if (column > 0) {
            text += QLatin1Char(' ');
            ++column;
        }
        text += word;
        column += word.size();
    }
    return text + QLatin1Char('\n');
}

// The texts of the paragraphs alone, the pieces of a cut paragraph one by one.
QStringList paragraphsOf(const QString& text)
{
    QStringList paragraphs;
    PlainTextParagraphs::split(text, kBudget, [&](const Block& block) {
        if (block.kind == Block::Paragraph)
            paragraphs.append(block.text);
    });
    return paragraphs;
}

QString repeated(const QString& unit, qsizetype length)
{
    QString text;
    while (text.size() < length)
        text += unit;
    return text;
}

} // namespace

class TestPlainTextParagraphs : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // A long text is cut in sections, each starting after a blank line: the gaps and breaks at
    // their edges, and runs of blank lines across them, come out as one pass over the text finds
    // them, in whatever order the sections are cut.
    void longTextIsCutInSections()
    {
        QString text;
        QStringList expected;
        for (int i = 0; i < 3000; ++i) {
            if (i > 0 && i % 7 == 0) {
                text += QStringLiteral("\n\n"); // a blank line more than between paragraphs: a gap
                expected.append(QStringLiteral("~"));
            } else if (i > 0 && i % 11 == 0) {
                text += QStringLiteral("\n* * *\n\n");
                expected.append(QStringLiteral("#"));
            } else if (i > 0) {
                text += QLatin1Char('\n');
            }
            const QString paragraph = QStringLiteral("Paragraph %1 of a long book goes on for a few lines, as the "
                                                     "paragraphs of novels do, until it ends with a full stop.").arg(i).repeated(2);
            text += wrappedAt70(paragraph);
            expected.append(paragraph);
        }
        QCOMPARE(blocksOf(text), expected);
        const auto backwards = [](qsizetype count, const std::function<void(qsizetype)>& job) {
            for (qsizetype k = count - 1; k >= 0; --k)
                job(k);
        };
        QCOMPARE(blocksOf(text, backwards), expected);
    }

    // Lines this short are no wrapped prose: blocks keep their lines, and blank lines between
    // them stay gaps.
    void shortLinesKeepTheirBreaks_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("blocks");
        QTest::newRow("empty") << QString() << QStringList();
        QTest::newRow("blank lines only") << "\n\n \t\n" << QStringList();
        // Lines that do not run on (no lower case goes on, none stops in mid-sentence) keep their
        // breaks; a line alone between blank lines is a paragraph of one line.
        QTest::newRow("a block keeps its lines") << "One\nTwo\n\nThree" << QStringList{"L:One\nTwo", "~", "Three"};
        QTest::newRow("CRLF") << "One\r\nTwo\r\n\r\nThree\r\n" << QStringList{"L:One\nTwo", "~", "Three"};
        QTest::newRow("CR alone") << "One\rTwo\r\rThree" << QStringList{"L:One\nTwo", "~", "Three"};
        QTest::newRow("LF then CR is two line ends") << "One\n\rTwo" << QStringList{"One", "Two"};
        QTest::newRow("white space makes a line blank") << "One\n \t \nTwo" << QStringList{"One", "Two"};
        QTest::newRow("a blank run is one separation") << "One\n\n\n\nTwo" << QStringList{"One", "Two"};
        QTest::newRow("no blank line") << "One\nTwo\nThree" << QStringList{"L:One\nTwo\nThree"};
        QTest::newRow("blank lines at the edges separate nothing")
            << "\n\nOne\nTwo\nThree\n\n" << QStringList{"L:One\nTwo\nThree"};
        QTest::newRow("indents past the body kept")
            << "    One\n      Two\n\nThree" << QStringList{"L:    One\n      Two", "~", "Three"};
        QTest::newRow("the body indent removed")
            << "  One\n  Two\n    Three" << QStringList{"L:One\nTwo\n  Three"};
        QTest::newRow("form feed") << "One\fTwo" << QStringList{"One", "#", "Two"};
        QTest::newRow("breaks at the edges vanish") << "\f***\nOne\n---\n\f" << QStringList{"One"};
        const QString longA = QString(44, u'A') + u'.';
        const QString longB = QString(44, u'B') + u'.';
        QTest::newRow("line ends after long lines") << longA + "\r\n" + longB + "\r\n\r\nThree"
                                                    << QStringList{"L:" + longA + "\n" + longB, "~", "Three"};
        QTest::newRow("form feed after a long line") << longA + "\f" + longB << QStringList{longA, "#", longB};
        QTest::newRow("two marks are no break") << "One\n**\nTwo" << QStringList{"L:One\n**\nTwo"};
        QTest::newRow("lower case runs on") << "one\ntwo\n\nthree" << QStringList{"one two", "three"};
    }
    void shortLinesKeepTheirBreaks()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, blocks);
        QCOMPARE(blocksOf(text), blocks);
    }

    // Books with one paragraph per line often leave blank lines around chapter titles only: their
    // lines stay apart instead of melting into one giant paragraph; a hard-wrapped block is one
    // paragraph, cut into pieces of whole words only past 16 budgets.
    void blockOfParagraphLinesKeepsItsLines_data()
    {
        QTest::addColumn<int>("lineLength");
        QTest::addColumn<int>("lineCount");
        QTest::addColumn<int>("paragraphCount");
        QTest::newRow("hard-wrapped paragraph") << 70 << 20 << 1;
        QTest::newRow("lines longer than any wrap width") << 300 << 3 << 3;
        QTest::newRow("paragraph longer than sixteen budgets") << 60 << 200 << 9;
    }
    void blockOfParagraphLinesKeepsItsLines()
    {
        QFETCH(int, lineLength);
        QFETCH(int, lineCount);
        QFETCH(int, paragraphCount);
        const QString line = QString(lineLength, QLatin1Char('x'));
        QStringList lines;
        for (int i = 0; i < lineCount; ++i)
            lines.append(line);
        QStringList paragraphs = paragraphsOf(QStringLiteral("Title\n\n") + lines.join(QLatin1Char('\n')));
        QCOMPARE(paragraphs.size(), 1 + paragraphCount);
        QCOMPARE(paragraphs.takeFirst(), QStringLiteral("Title"));
        const QString separator = paragraphCount == lineCount ? QStringLiteral(" ") : QString();
        QCOMPARE(paragraphs.join(separator), lines.join(QLatin1Char(' ')));
    }

    // A line far longer than a chunk is cut into pieces near the budget, at sentence ends where it
    // has them; nothing is lost and nothing is cut inside a surrogate pair.
    void longLineIsCut_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("pieceEnd");
        QTest::newRow("sentences") << repeated(QStringLiteral("Some words make a sentence. "), 100000).trimmed()
                                   << QStringLiteral(".");
        QTest::newRow("ideographic sentences") << repeated(QStringLiteral("昔々ある所にお爺さんが住んでいました。"), 100000)
                                               << QStringLiteral("。");
        QTest::newRow("words without sentence ends") << repeated(QStringLiteral("word "), 100000).trimmed() << QString();
        QTest::newRow("no spaces at all") << QString(100000, QLatin1Char('x')) << QString();
        QTest::newRow("surrogate pairs") << repeated(QStringLiteral("😀"), 100000) << QString();
    }
    void longLineIsCut()
    {
        QFETCH(QString, line);
        QFETCH(QString, pieceEnd);
        const QStringList pieces = paragraphsOf(line);
        QVERIFY(pieces.size() > 100);
        QCOMPARE(pieces.join(QString()), line);
        for (qsizetype i = 0; i < pieces.size(); ++i) {
            const QString& piece = pieces.at(i);
            QVERIFY(piece.size() <= PlainTextParagraphs::longLineLength(kBudget));
            QVERIFY(!piece.front().isLowSurrogate());
            if (i + 1 < pieces.size()) {
                QVERIFY(piece.size() >= kBudget);
                if (!pieceEnd.isEmpty())
                    QVERIFY(piece.endsWith(pieceEnd));
            }
        }
    }

    void numbersAreNoSentenceEnds()
    {
        const QString line = repeated(QStringLiteral("3.14 "), 20000);
        for (const QString& piece : paragraphsOf(line))
            QVERIFY(!piece.endsWith(QLatin1String("3.")));
    }
};

QTEST_GUILESS_MAIN(TestPlainTextParagraphs)
#include "tst_plaintextparagraphs.moc"
