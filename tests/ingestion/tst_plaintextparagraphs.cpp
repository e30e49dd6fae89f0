#include "PlainTextParagraphs.h"

#include <QTest>

namespace {

constexpr int kBudget = 512;

QStringList paragraphsOf(const QString& text)
{
    QStringList paragraphs;
    PlainTextParagraphs::split(text, kBudget, [&](const QString& paragraph) { paragraphs.append(paragraph); });
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
    void splitsAtBlankLines_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("paragraphs");
        QTest::newRow("empty") << QString() << QStringList();
        QTest::newRow("blank lines only") << "\n\n \t\n" << QStringList();
        QTest::newRow("lines joined by a space") << "one\ntwo\n\nthree" << QStringList{"one two", "three"};
        QTest::newRow("CRLF") << "one\r\ntwo\r\n\r\nthree\r\n" << QStringList{"one two", "three"};
        QTest::newRow("CR alone") << "one\rtwo\r\rthree" << QStringList{"one two", "three"};
        QTest::newRow("LF then CR is two line ends") << "one\n\rtwo" << QStringList{"one", "two"};
        QTest::newRow("white space makes a line blank") << "one\n \t \ntwo" << QStringList{"one", "two"};
        QTest::newRow("several blank lines") << "one\n\n\n\ntwo" << QStringList{"one", "two"};
        QTest::newRow("no blank line: one paragraph per line")
            << "one\ntwo\nthree" << QStringList{"one", "two", "three"};
        QTest::newRow("blank lines at the edges separate nothing")
            << "\n\none\ntwo\n\n" << QStringList{"one", "two"};
    }
    void splitsAtBlankLines()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, paragraphs);
        QCOMPARE(paragraphsOf(text), paragraphs);
    }

    // Books with one paragraph per line often leave blank lines around chapter titles only: a
    // block that cannot be one hard-wrapped paragraph keeps its lines apart instead of melting
    // them into one giant paragraph.
    void blockOfParagraphLinesKeepsItsLines_data()
    {
        QTest::addColumn<int>("lineLength");
        QTest::addColumn<int>("lineCount");
        QTest::addColumn<int>("paragraphCount");
        QTest::newRow("hard-wrapped paragraph") << 70 << 20 << 1;
        QTest::newRow("lines longer than any wrap width") << 300 << 3 << 3;
        QTest::newRow("block longer than four budgets") << 60 << 200 << 200;
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
        const QStringList paragraphs = paragraphsOf(QStringLiteral("Title\n\n") + lines.join(QLatin1Char('\n')));
        QCOMPARE(paragraphs.size(), 1 + paragraphCount);
        QCOMPARE(paragraphs.first(), QStringLiteral("Title"));
        QCOMPARE(paragraphs.last().size(), (lineLength + 1) * lineCount / paragraphCount - 1);
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
