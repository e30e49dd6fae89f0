#include "text/PlainTextParagraphs.h"

#include <QTest>

#include <atomic>
#include <thread>
#include <vector>

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

// How a wrapper measures and breaks: in characters or in UTF-8 bytes; like fold -s (a word fits
// only with the space after it, and that space stays at the line's end) or like an editor.
struct Wrapper {
    int width = 70;
    bool bytes = false;
    bool fold = false;      // fold -s: the space after the last word of a line belongs to it
    bool trailing = false;  // the line keeps that space

    qsizetype measure(const QString& text) const { return bytes ? text.toUtf8().size() : text.size(); }

    // Whether the word fits after the line's visible text; last: the paragraph's last word.
    bool fits(const QString& line, const QString& word, bool last) const
    {
        return measure(line) + 1 + measure(word) + (fold && !last ? 1 : 0) <= width;
    }

    QStringList lines(const QString& paragraph) const
    {
        QStringList lines;
        const QStringList words = paragraph.split(QLatin1Char(' '));
        QString line;
        for (qsizetype i = 0; i < words.size(); ++i) {
            if (!line.isEmpty() && !fits(line, words.at(i), i + 1 == words.size())) {
                lines.append(trailing ? line + QLatin1Char(' ') : line);
                line.clear();
            }
            line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + words.at(i);
        }
        lines.append(line);
        return lines;
    }
};

const QStringList kEnglishSentences{
    QStringLiteral("The coach came up the hill slowly, for the road was heavy with the rain of the night."),
    QStringLiteral("Nobody spoke."),
    QStringLiteral("At the inn the landlord had lit a fire in the long room, and the smell of bread came through the door."),
    QStringLiteral("She looked at the letter a long while before she opened it."),
    QStringLiteral("It was from her brother, who had been away at sea for three years and had never once written home."),
    QStringLiteral("Outside, the wind was rising."),
    QStringLiteral("They would have to leave before dawn if they meant to reach the river crossing by noon."),
    QStringLiteral("He counted the coins twice and put them back in the purse."),
    QStringLiteral("A dog barked somewhere in the village, and then another answered it from farther off."),
    QStringLiteral("There was nothing more to be done that evening."),
    QStringLiteral("In the morning the fields were white with frost and the sky was clear as glass."),
    QStringLiteral("Everyone agreed that the winter had come early that year."),
};

const QStringList kRussianSentences{
    QStringLiteral("Карета медленно поднималась в гору, потому что дорога размокла от ночного дождя."),
    QStringLiteral("Все молчали."),
    QStringLiteral("На постоялом дворе хозяин затопил печь в большой комнате, и из двери потянуло свежим хлебом."),
    QStringLiteral("Она долго смотрела на письмо, прежде чем его открыть."),
    QStringLiteral("Письмо было от брата, который три года плавал на корабле и ни разу не написал домой."),
    QStringLiteral("За окном поднимался ветер."),
    QStringLiteral("Им надо было выехать до рассвета, чтобы к полудню добраться до переправы."),
    QStringLiteral("Он дважды пересчитал монеты и убрал их обратно в кошелёк."),
    QStringLiteral("Где-то в деревне залаяла собака, и ей ответила другая, издалека."),
    QStringLiteral("Больше в тот вечер делать было нечего."),
    QStringLiteral("Утром поля побелели от инея, а небо было чистое, как стекло."),
    QStringLiteral("Все согласились, что зима в тот год пришла рано."),
};

// Paragraphs of one to five sentences that a wrapper without blank lines leaves unambiguous:
// the next paragraph's first word would have fit on each last line (short sentences are added
// until it does). Every fourth paragraph gets more of them, where that makes its last line long
// all the same (the next word fits only within the last tenth of the width); near counts those.
QStringList paragraphsFor(const QStringList& sentences, const Wrapper& wrapper, int count, int& near)
{
    QStringList paragraphs;
    for (int k = 0; k < count; ++k) {
        QStringList chosen;
        for (int j = 0; j <= k % 5; ++j)
            chosen.append(sentences.at((k + j * 5) % sentences.size()));
        paragraphs.append(chosen.join(QLatin1Char(' ')));
    }
    // The short sentences of the pool.
    QStringList fillers;
    for (const QString& sentence : sentences) {
        if (sentence.size() < 30)
            fillers.append(sentence);
    }
    near = 0;
    for (int k = 0; k + 1 < count; ++k) {
        const QString word = paragraphs.at(k + 1).section(QLatin1Char(' '), 0, 0);
        const auto fitOf = [&](const QString& paragraph) {
            return wrapper.measure(wrapper.lines(paragraph).last().trimmed()) + 1 + wrapper.measure(word);
        };
        QString& paragraph = paragraphs[k];
        for (int f = 0; f < 20 && fitOf(paragraph) + (wrapper.fold ? 1 : 0) > wrapper.width; ++f)
            paragraph += QLatin1Char(' ') + fillers.at((k + f) % fillers.size());
        QString longer = paragraph;
        for (int f = 0; f < 12 && k % 4 == 0; ++f) {
            longer += QLatin1Char(' ') + fillers.at((k + f) % fillers.size());
            const int fit = int(fitOf(longer)) + (wrapper.fold ? 1 : 0);
            if (fit <= wrapper.width && 10 * fit > 9 * wrapper.width) {
                paragraph = longer;
                break;
            }
        }
        const int fit = int(fitOf(paragraph)) + (wrapper.fold ? 1 : 0);
        if (fit > wrapper.width)
            return {}; // no unambiguous break found
        near += 10 * fit > 9 * wrapper.width;
    }
    return paragraphs;
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

    // Verse whose lines start in lower case, in stanzas or without a blank line, with its title,
    // keeps every line; the same poems many times over, past the short-file rules, too.
    void verseKeepsItsLines_data()
    {
        QTest::addColumn<QString>("text");
        const QString english = QStringLiteral(
            "Harbour at Dusk\n\n"
            "the boats come in along the grey,\nand gulls go wheeling out of sight,\n"
            "the lantern men have gone away\nand left the water to the night.\n\n"
            "a rope lies coiled beside the wall,\nthe nets are drying on the stone,\n"
            "and somewhere far a bell will call\nthe last of us to wander home.\n\n"
            "we stood and watched the tide return,\nwe did not speak, we did not need,\n"
            "the lamps along the quay would burn\nfor anyone who came to read.\n");
        const QString englishLong = QStringLiteral(
            "Letter Not Sent\n\n"
            "i meant to write you when the rains began,\nto tell you how the river took the bridge,\n"
            "and how the orchard flooded past the ridge\nwhere once we sat and made our summer plan.\n\n"
            "but paper waited, white and patient, there,\nand every evening found another cause,\n"
            "a broken gate, a cough, the kitchen floor,\nand so the season passed me unaware.\n");
        const QString russian = QStringLiteral(
            "Вечер\n\n"
            "над рекою туман поднимается,\nи деревья стоят не дыша,\n"
            "за холмом огонёк зажигается,\nи спокойна, как в детстве, душа.\n\n"
            "по тропинке иду неторопливо,\nгде когда-то бродили вдвоём,\n"
            "и шумит над водою крапива,\nи не думаю я ни о чём.\n");
        const QString russianLong = QStringLiteral(
            "Дорога\n\n"
            "мы шли по дороге, и пыль поднималась до неба,\nи солнце висело над полем, как медный фонарь,\n"
            "в деревне пекли на закате горячего хлеба,\nи пахло полынью, и было всё так же, как встарь.\n\n"
            "никто не спросил нас, откуда идём и куда мы,\nникто не окликнул, не вышел навстречу с крыльца,\n"
            "лишь старые ветлы стояли у края, как храмы,\nи ветер молчал, и дорога была без конца.\n");
        const struct {
            const char* name;
            QString text;
        } poems[] = {{"English", english}, {"English, long lines", englishLong},
                     {"Russian", russian}, {"Russian, long lines", russianLong},
                     {"a collection", (english + u'\n' + englishLong + u'\n' + russian + u'\n' + russianLong).repeated(2)}};
        for (const auto& poem : poems) {
            QTest::addRow("%s", poem.name) << poem.text;
            QTest::addRow("%s, no blank lines", poem.name) << QString(poem.text).replace(QStringLiteral("\n\n"), QStringLiteral("\n"));
        }
    }
    void verseKeepsItsLines()
    {
        QFETCH(QString, text);
        QStringList shown;
        for (const QString& block : blocksOf(text)) {
            if (block != QStringLiteral("~"))
                shown += block.startsWith(QStringLiteral("L:")) ? block.mid(2).split(u'\n') : QStringList{block};
        }
        QCOMPARE(shown, text.split(u'\n', Qt::SkipEmptyParts));
    }

    // Prose hard-wrapped at any width, by a greedy wrapper counting characters or bytes, with or
    // without the white space fold -s leaves, with or without blank lines, gives back its
    // paragraphs: one whose last line is long still ends where the next word would have fit.
    void wrappedProseGivesItsParagraphs_data()
    {
        QTest::addColumn<QStringList>("sentences");
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("bytes");
        QTest::addColumn<bool>("fold");
        QTest::addColumn<bool>("trailing");
        QTest::addColumn<bool>("blank");
        for (int width : {40, 55, 70, 80}) {
            for (bool blank : {false, true}) {
                QTest::addRow("English at %d, editor%s", width, blank ? ", blank lines" : "")
                    << kEnglishSentences << width << false << false << false << blank;
                QTest::addRow("English at %d, fold -s%s", width, blank ? ", blank lines" : "")
                    << kEnglishSentences << width << false << true << true << blank;
                QTest::addRow("English at %d, fold -s stripped%s", width, blank ? ", blank lines" : "")
                    << kEnglishSentences << width << false << true << false << blank;
                QTest::addRow("Russian at %d, editor%s", width, blank ? ", blank lines" : "")
                    << kRussianSentences << width << false << false << false << blank;
                // GNU fold counts bytes: 40 of them hold too few Russian words to say much.
                if (width < 55)
                    continue;
                QTest::addRow("Russian at %d bytes, fold -s%s", width, blank ? ", blank lines" : "")
                    << kRussianSentences << width << true << true << true << blank;
                QTest::addRow("Russian at %d bytes, fold -s stripped%s", width, blank ? ", blank lines" : "")
                    << kRussianSentences << width << true << true << false << blank;
            }
        }
    }
    void wrappedProseGivesItsParagraphs()
    {
        QFETCH(QStringList, sentences);
        QFETCH(int, width);
        QFETCH(bool, bytes);
        QFETCH(bool, fold);
        QFETCH(bool, trailing);
        QFETCH(bool, blank);
        const Wrapper wrapper{width, bytes, fold, trailing};
        int near = 0;
        const QStringList paragraphs = paragraphsFor(sentences, wrapper, 30, near);
        QCOMPARE(paragraphs.size(), 30);
        QVERIFY2(near >= 2, "too few long last lines to show the rule");
        QString text;
        for (const QString& paragraph : paragraphs)
            text += wrapper.lines(paragraph).join(u'\n') + (blank ? QStringLiteral("\n\n") : QStringLiteral("\n"));
        QCOMPARE(blocksOf(text), paragraphs);
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

    // A caller counting what the blocks will cost stops the finder at the record it refuses: the
    // finding ends there (each section at most one record later) and no block is handed on. A
    // caller that refuses nothing gets the blocks it would get without counting.
    void refusedRecordStopsTheFinding_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("sideBySide");
        QTest::addColumn<int>("allowed");
        const QString formFeeds = repeated(QStringLiteral("word\f"), 400000);
        const QString paragraphs = repeated(QStringLiteral("A short paragraph of prose.\n\n"), 600000);
        QTest::newRow("form feeds, refused") << formFeeds << false << 1000;
        QTest::newRow("form feeds side by side, refused") << formFeeds << true << 1000;
        QTest::newRow("paragraphs side by side, refused") << paragraphs << true << 1000;
        QTest::newRow("paragraphs side by side, all allowed") << paragraphs << true << -1;
        QTest::newRow("form feeds, all allowed") << formFeeds << false << -1;
    }
    void refusedRecordStopsTheFinding()
    {
        QFETCH(QString, text);
        QFETCH(bool, sideBySide);
        QFETCH(int, allowed);
        const PlainTextParagraphs::ForEach threads = [](qsizetype count, const std::function<void(qsizetype)>& job) {
            std::atomic<qsizetype> next{0};
            std::vector<std::thread> pool;
            for (int t = 0; t < 4; ++t) {
                pool.emplace_back([&] {
                    for (qsizetype k = next++; k < count; k = next++)
                        job(k);
                });
            }
            for (std::thread& thread : pool)
                thread.join();
        };
        const PlainTextParagraphs::ForEach forEach = sideBySide ? threads : PlainTextParagraphs::ForEach();
        std::atomic<int> told{0}, separated{0};
        QStringList blocks;
        int separators = 0;
        PlainTextParagraphs::split(
            text, kBudget,
            [&](const Block& block) {
                blocks.append(block.text);
                separators += block.kind == Block::Gap || block.kind == Block::Break;
            },
            forEach,
            [&told, &separated, allowed](bool before) {
                separated += before;
                return ++told <= allowed || allowed < 0;
            });
        if (allowed < 0) {
            // Each separator told of is handed on: what is counted for it is never more than it costs.
            QVERIFY(separated.load() <= separators);
            QCOMPARE(blocks, [&] {
                QStringList plain;
                PlainTextParagraphs::split(text, kBudget, [&plain](const Block& block) { plain.append(block.text); });
                return plain;
            }());
            QVERIFY(told.load() > 1000);
            return;
        }
        QVERIFY(blocks.isEmpty());
        // Sections hold 64 Ki characters: each that starts after the refusal records one.
        QVERIFY2(told.load() <= allowed + 1 + text.size() / 65536 + 1, qPrintable(QString::number(told.load())));
    }

    // The paragraphs of a book share the memory they were joined into: each outlives the text and
    // the finding, and a change to one, on any thread, changes none of the others.
    void paragraphsAreStringsOfTheirOwn()
    {
        QList<Block> blocks;
        QStringList expected;
        {
            QString text;
            for (int i = 0; i < 6000; ++i) { // past the size that takes huge pages
                const QString paragraph = QStringLiteral("Paragraph %1 is wrapped on three lines or so, "
                                                         "as the paragraphs of an old novel are.").arg(i).repeated(2);
                text += wrappedAt70(paragraph) + QLatin1Char('\n');
                expected.append(paragraph);
            }
            const auto onThreads = [](qsizetype count, const std::function<void(qsizetype)>& job) {
                std::vector<std::thread> threads;
                for (qsizetype k = 0; k < count; ++k)
                    threads.emplace_back(job, k);
                for (std::thread& thread : threads)
                    thread.join();
            };
            PlainTextParagraphs::split(text, kBudget, [&blocks](const Block& block) { blocks.append(block); }, onThreads);
            text.fill(u'x');
        }
        QCOMPARE(blocks.size(), expected.size());
        std::vector<std::thread> writers;
        for (qsizetype i = 0; i < blocks.size(); i += 2)
            writers.emplace_back([&blocks, i] { blocks[i].text.append(QStringLiteral(" And more.")); });
        for (qsizetype i = 1; i < blocks.size(); i += 2)
            blocks[i].text[0] = u'p';
        for (std::thread& writer : writers)
            writer.join();
        for (qsizetype i = 0; i < blocks.size(); ++i) {
            QString paragraph = expected.at(i);
            if (i % 2 == 0)
                paragraph += QStringLiteral(" And more.");
            else
                paragraph[0] = u'p';
            QCOMPARE(blocks.at(i).text, paragraph);
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
