#include "ChunkFixture.h"
#include "ChunkLayoutDump.h"
#include "ChunkLayoutEngine.h"
#include "QtTextMeasurer.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QTest>
#include <QThread>
#include <QtConcurrent>

using namespace ChunkFixture;

namespace {

ContentChunk styledChunk(int seed)
{
    TextStyle bold;
    bold.weight = 700;
    TextStyle italic;
    italic.italic = true;
    italic.size = 20;
    TextStyle mono;
    mono.families = QStringList{"monospace"};
    mono.smallCaps = true;
    QList<InlineRun> runs{text(words(40 + seed) + " "), text("bold words ", bold),
                          text(QStringLiteral("hy\u00ADphen\u00ADated "), italic), text("mono", mono)};
    BoxStyle box;
    box.paddingLeft = 12;
    box.borderLeft = 3;
    return chunk({containerStart(box), paragraph(runs), paragraph(words(25 + seed)), containerEnd(box)});
}

// Two paragraphs of a Russian novel: long words, no hyphenation points and the narrow spaces of
// the default face (a line of 14 spaces may grow by some 70 px within the breaker's first
// tolerance). No set of breaks keeps every line within it, at 600 px as at 944 px, where the
// indented second paragraph's second line would need 82 px and one more word overfills it.
const char16_t* const kLongParagraph =
    u"Зовут его Николаем Петровичем Кирсановым. У него в пятнадцати верстах от постоялого "
    u"дворика хорошее имение в двести душ, или, как он выражается с тех пор, как размежевался "
    u"с крестьянами и завел «ферму», – в две тысячи десятин земли. Отец его, боевой генерал "
    u"1812 года, полуграмотный, грубый, но не злой русский человек, всю жизнь свою тянул "
    u"лямку, командовал сперва бригадой, потом дивизией и постоянно жил в провинции, где в "
    u"силу своего чина играл довольно значительную роль. Николай Петрович родился на юге "
    u"России, подобно старшему своему брату Павлу, о котором речь впереди, и воспитывался до "
    u"четырнадцатилетнего возраста дома, окруженный дешевыми гувернерами, развязными, но "
    u"подобострастными адъютантами и прочими полковыми и штабными личностями. Родительница "
    u"его, из фамилии Колязиных, в девицах Agathe, а в генеральшах Агафоклея Кузьминишна "
    u"Кирсанова, принадлежала к числу «матушек-командирш», носила пышные чепцы и шумные "
    u"шелковые платья, в церкви подходила первая ко кресту, говорила громко и много, допускала "
    u"детей утром к ручке, на ночь их благословляла, – словом, жила в свое удовольствие. В "
    u"качестве генеральского сына Николай Петрович – хотя не только не отличался храбростью, "
    u"но даже заслужил прозвище трусишки – должен был, подобно брату Павлу, поступить в "
    u"военную службу; но он переломил себе ногу в самый тот день, когда уже прибыло известие "
    u"об его определении, и, пролежав два месяца в постели, на всю жизнь остался «хроменьким». "
    u"Отец махнул на него рукой и пустил его по штатской. Он повез его в Петербург, как только "
    u"ему минул восемнадцатый год, и поместил его в университет. Кстати, брат его о ту пору "
    u"вышел офицером в гвардейский полк. Молодые люди стали жить вдвоем, на одной квартире, "
    u"под отдаленным надзором двоюродного дяди с материнской стороны, Ильи Колязина, важного "
    u"чиновника. Отец их вернулся к своей дивизии и к своей супруге и лишь изредка присылал "
    u"сыновьям большие четвертушки серой бумаги, испещренные размашистым писарским почерком. "
    u"На конце этих четвертушек красовались старательно окруженные «выкрутасами» слова: «Пиотр "
    u"Кирсаноф, генерал-майор». В 1835 году Николай Петрович вышел из университета "
    u"кандидатом,[1] и в том же году генерал Кирсанов, уволенный в отставку за неудачный "
    u"смотр, приехал в Петербург с женою на житье. Он нанял было дом у Таврического сада и "
    u"записался в Английский клуб,[2] но внезапно умер от удара. Агафоклея Кузьминишна скоро "
    u"за ним последовала: она не могла привыкнуть к глухой столичной жизни; тоска отставного "
    u"существованья ее загрызла. Между тем Николай Петрович успел, еще при жизни родителей и к "
    u"немалому их огорчению, влюбиться в дочку чиновника Преполовенского, бывшего хозяина его "
    u"квартиры, миловидную и, как говорится, развитую девицу: она в журналах читала серьезные "
    u"статьи в отделе «Наук». Он женился на ней, как только минул срок траура, и, покинув "
    u"министерство уделов, куда по протекции отец его записал, блаженствовал со своею Машей "
    u"сперва на даче около Лесного института, потом в городе, в маленькой и хорошенькой "
    u"квартире, с чистою лестницей и холодноватою гостиной, наконец – в деревне, где он "
    u"поселился окончательно и где у него в скором времени родился сын Аркадий. Супруги жили "
    u"очень хорошо и тихо: они почти никогда не расставались, читали вместе, играли в четыре "
    u"руки на фортепьяно, пели дуэты; она сажала цветы и наблюдала за птичным двором, он "
    u"изредка ездил на охоту и занимался хозяйством, а Аркадий рос да рос – тоже хорошо и "
    u"тихо. Десять лет прошло как сон. В 47-м году жена Кирсанова скончалась. Он едва вынес "
    u"этот удар, поседел в несколько недель; собрался было за границу, чтобы хотя немного "
    u"рассеяться… но тут настал 48-й год.[3] Он поневоле вернулся в деревню и после довольно "
    u"продолжительного бездействия занялся хозяйственными преобразованиями. В 55-м году он "
    u"повез сына в университет; прожил с ним три зимы в Петербурге, почти никуда не выходя и "
    u"стараясь заводить знакомства с молодыми товарищами Аркадия. На последнюю зиму он "
    u"приехать не мог, – и вот мы видим его в мае месяце 1859 года, уже совсем седого, "
    u"пухленького и немного сгорбленного: он ждет сына, получившего, как некогда он сам, "
    u"звание кандидата.";
const char16_t* const kShortParagraph =
    u"Слуга, из чувства приличия, а может быть, и не желая остаться под барским глазом, зашел "
    u"под ворота и закурил трубку. Николай Петрович поник головой и начал глядеть на ветхие "
    u"ступеньки крылечка: крупный пестрый цыпленок степенно расхаживал по ним, крепко стуча "
    u"своими большими желтыми ногами; запачканная кошка недружелюбно посматривала на него, "
    u"жеманно прикорнув на перила. Солнце пекло; из полутемных сеней постоялого дворика несло "
    u"запахом теплого ржаного хлеба. Замечтался наш Николай Петрович. «Сын… кандидат… Аркаша…» "
    u"– беспрестанно вертелось у него в голове; он пытался думать о чем-нибудь другом, и опять "
    u"возвращались те же мысли. Вспомнилась ему покойница-жена… «Не дождалась!» – шепнул он "
    u"уныло… Толстый сизый голубь прилетел на дорогу и поспешно отправился пить в лужицу возле "
    u"колодца. Николай Петрович стал глядеть на него, а ухо его уже ловило стук приближающихся "
    u"колес…";

} // namespace

// Real fonts: needs the QGuiApplication that QTEST_MAIN makes (offscreen platform under CTest).
class TestQtTextMeasurer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void measuresAsQtDoes();
    void fontsCarryAPixelSize_data();
    void fontsCarryAPixelSize();
    void layoutIsTheSameOnAPoolThread();
    void arabicLinesDoNotOverlap();
    void novelParagraphsFillTheirLines_data();
    void novelParagraphsFillTheirLines();
    void outlinesAreTracedOncePerMarkedWord();
    void markedWordsMeasureAloneAsAmongOthers();
    void lettersMeasureAloneAsAmongOthers_data();
    void lettersMeasureAloneAsAmongOthers();
};

void TestQtTextMeasurer::measuresAsQtDoes()
{
    const QtTextMeasurer measurer;
    const FontRequest request{QString(), 18, 700, true, false, 0};
    const QFontMetricsF fm(request.toFont());
    const QString word = QStringLiteral("Typography");
    QCOMPARE(measurer.advance(request, word), fm.horizontalAdvance(word));
    QCOMPARE(measurer.advance(request, word), fm.horizontalAdvance(word)); // from the cache
    const FontMetrics metrics = measurer.metrics(request);
    QCOMPARE(metrics.ascent, fm.ascent());
    QCOMPARE(metrics.descent, fm.descent());
    QCOMPARE(metrics.lineSpacing, fm.lineSpacing());
    FontRequest spaced = request;
    spaced.letterSpacing = 3;
    QVERIFY(measurer.advance(spaced, word) > measurer.advance(request, word) + 20);
}

void TestQtTextMeasurer::fontsCarryAPixelSize_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<int>("hint");
    QTest::newRow("default") << QString() << int(QFont::Serif);
    QTest::newRow("serif") << QStringLiteral("serif") << int(QFont::Serif);
    QTest::newRow("sans-serif") << QStringLiteral("sans-serif") << int(QFont::SansSerif);
    QTest::newRow("monospace") << QStringLiteral("monospace") << int(QFont::Monospace);
    QTest::newRow("named") << QStringLiteral("DejaVu Sans") << int(QFont::AnyStyle);
}

void TestQtTextMeasurer::fontsCarryAPixelSize()
{
    QFETCH(QString, family);
    QFETCH(int, hint);
    const QFont font = FontRequest{family, 21}.toFont();
    QCOMPARE(font.pixelSize(), 21);
    QCOMPARE(int(font.styleHint()), hint);
    QCOMPARE(font.families().value(0), family.isEmpty() ? QStringLiteral("serif") : family);
}

// Preparation and layout run on the GUI thread (the window) and on pool threads (the rest):
// both must give the same chunk, whatever the thread's font cache holds.
void TestQtTextMeasurer::layoutIsTheSameOnAPoolThread()
{
    const ChunkLayoutEngine engine;
    LayoutParams params;
    params.width = 320;
    auto run = [engine, params](const ContentChunk& content) {
        return engine.layoutPreparedChunk(engine.prepareChunk(content, 16, nullptr), params);
    };
    QList<ContentChunk> chunks;
    for (int seed = 0; seed < 16; ++seed)
        chunks << styledChunk(seed);

    QList<ChunkLayout> onGui;
    for (const ContentChunk& content : std::as_const(chunks))
        onGui << run(content);
    QVERIFY(onGui[0].lines.size() > 3);

    QThread* const gui = QThread::currentThread();
    bool elsewhere = false;
    const ChunkLayout single = QtConcurrent::run([&] {
                                   elsewhere = QThread::currentThread() != gui;
                                   return run(chunks[0]);
                               }).result();
    QVERIFY(elsewhere);
    QCOMPARE(single, onGui[0]);

    const QList<ChunkLayout> onPool = QtConcurrent::blockingMapped(chunks, run);
    QCOMPARE(onPool.size(), onGui.size());
    for (qsizetype i = 0; i < onGui.size(); ++i)
        QVERIFY2(onPool[i] == onGui[i], qPrintable(QString::number(i)));
}

// Lines of Arabic in the default (Latin) face take their glyphs from a fallback font: painted
// as the reader paints them, each line's ink stays inside its line box, so no two lines overlap.
void TestQtTextMeasurer::arabicLinesDoNotOverlap()
{
    const QString words = QStringLiteral("\u0628\u0650\u0633\u0652\u0645\u0650 \u0627\u0644\u0644\u0651\u064E\u0647\u0650 "
                                         "\u0627\u0644\u0631\u0651\u064E\u062D\u0652\u0645\u064E\u0670\u0646\u0650 "
                                         "\u0627\u0644\u0652\u0643\u0650\u062A\u064E\u0627\u0628\u064F \u062C\u064E\u0645\u0650\u064A\u0644\u064C");
    BlockItem arabic = paragraph(words + u' ' + words + u' ' + words);
    arabic.style.direction = TextDirection::RightToLeft;
    const ChunkLayoutEngine engine;
    LayoutParams params;
    params.width = 220;
    const ChunkLayout layout = engine.layoutPreparedChunk(engine.prepareChunk(chunk({arabic}), 16, nullptr), params);
    QVERIFY(layout.lines.size() >= 2);

    const int height = int(std::ceil(layout.height)) + 20;
    QList<QPair<int, int>> inks; // first and last row with ink, per line
    for (const LayoutLine& line : layout.lines) {
        QImage image(int(params.width) + 40, height, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.translate(20, 10);
        painter.setPen(Qt::black);
        for (const LayoutRun& run : line.runs) {
            QVERIFY(run.rightToLeft);
            painter.setFont(layout.styleOf(run).font);
            painter.setLayoutDirection(run.rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
            painter.drawText(QPointF(run.x, run.baseline), layout.textOf(run));
        }
        painter.end();
        int first = -1, last = -1;
        for (int y = 0; y < image.height(); ++y) {
            const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            if (std::any_of(row, row + image.width(), [](QRgb p) { return qAlpha(p) > 64; })) {
                first = first < 0 ? y - 10 : first;
                last = y - 10;
            }
        }
        QVERIFY(first >= 0);
        QVERIFY2(first >= std::floor(line.y) - 1 && last <= std::ceil(line.y + line.height) + 1,
                 qPrintable(QStringLiteral("ink %1..%2, line %3..%4").arg(first).arg(last).arg(line.y).arg(line.y + line.height)));
        inks.append({first, last});
    }
    for (qsizetype i = 1; i < inks.size(); ++i)
        QVERIFY(inks[i - 1].second < inks[i].first + 2);
}

void TestQtTextMeasurer::novelParagraphsFillTheirLines_data()
{
    QTest::addColumn<double>("width");
    for (double width : {600.0, 944.0})
        QTest::addRow("%d", int(width)) << width;
}

// Every line of a justified paragraph but its last fills the column, the lines the breaker had
// to set looser than its first tolerance too: a short line inside would read as a paragraph end.
void TestQtTextMeasurer::novelParagraphsFillTheirLines()
{
    QFETCH(double, width);
    const ChunkLayoutEngine engine;
    QList<KnuthPlass::Line> breaks;
    const LineBreakObserver observer = [&](const PreparedParagraph&, const QList<KnuthPlass::Item>&, double,
                                           const QList<KnuthPlass::Line>& lines) { breaks += lines; };
    LayoutParams params;
    params.width = width;
    BlockItem second = paragraph(QString::fromUtf16(kShortParagraph));
    second.indent = 24; // 1.5 em, as a plain-text book sets a paragraph after a paragraph
    const ContentChunk content = chunk({paragraph(QString::fromUtf16(kLongParagraph)), second});
    const ChunkLayout result = engine.layoutPreparedChunk(engine.prepareChunk(content, 16, nullptr), params, observer);
    QCOMPARE(breaks.size(), result.lines.size());
    int paragraphs = 0;
    int loose = 0;
    for (qsizetype i = 0; i < result.lines.size(); ++i) {
        const bool last = i + 1 == breaks.size() || breaks[i + 1].start < breaks[i].end;
        loose += breaks[i].ratio > 2;
        const LayoutLine& line = result.lines[i];
        if (last) {
            ++paragraphs;
            QVERIFY(line.width < width);
        } else {
            QVERIFY2(qAbs(line.x + line.width - width) < 1e-6, qPrintable(ChunkLayoutDump::lineText(result, line)));
        }
    }
    QCOMPARE(paragraphs, 2);
    QVERIFY(loose > 0); // the case holds in this face
}

// A window of chunks whose words come back again and again traces each word with marks once, and
// words without marks (Latin, Chinese, Thai consonants alone) never.
void TestQtTextMeasurer::outlinesAreTracedOncePerMarkedWord()
{
    QList<ContentChunk> window;
    QSet<QString> markedWords;
    for (int c = 0; c < 31; ++c) {
        QString arabic;
        QString thai;
        for (int w = 0; w < 20; ++w) {
            const int n = (c * 20 + w) % 37;
            QString word;
            for (int letter = 0; letter < 3; ++letter)
                word.append(QChar(0x0628 + (n >> (letter * 2)) % 4 + letter * 8)).append(QChar(0x064E));
            arabic += word + u' ';
            const QString tone = QString(QChar(0x0E01 + n % 40)) + QChar(0x0E48) + QChar(0x0E01 + n / 2);
            thai += tone + u' ' + QChar(0x0E01 + n) + QChar(0x0E02 + n) + u' ';
            markedWords << word << tone;
        }
        window.append(chunk({paragraph(arabic), paragraph(thai), paragraph(QStringLiteral("\u4E2D\u6587\u5B57")), paragraph(words(30))}));
    }
    const ChunkLayoutEngine engine;
    LayoutParams params;
    params.width = 300;
    // A font size no other case uses: its fonts have traced nothing on this thread yet.
    params.fontSize = 23;
    const int before = QtTextMeasurer::outlinesTraced();
    qsizetype lines = 0;
    for (const ContentChunk& chunk : std::as_const(window))
        lines += engine.layoutPreparedChunk(engine.prepareChunk(chunk, params.fontSize, nullptr), params).lines.size();
    QVERIFY(lines > 31 * 3);
    QCOMPARE(QtTextMeasurer::outlinesTraced() - before, int(markedWords.size()));
}

namespace {

// What a measurer on a new thread, with a cache of its own, makes of word after the others.
FontMetrics measuredOnANewThread(const FontRequest& font, const QStringList& before, const QString& word)
{
    FontMetrics result;
    QThread* thread = QThread::create([&] {
        const QtTextMeasurer measurer;
        for (const QString& other : before)
            measurer.textMetrics(font, other);
        result = measurer.textMetrics(font, word);
    });
    thread->start();
    thread->wait();
    delete thread;
    return result;
}

} // namespace

// A word's height does not hang on the words its thread measured before: a shallow word first
// must not stand in for a deeper one, nor a tall one for a short one.
void TestQtTextMeasurer::markedWordsMeasureAloneAsAmongOthers()
{
    const FontRequest font{QString(), 19};
    const QString deep = QStringLiteral("\u0628\u0651\u064E\u0643\u0650"); // shadda and fatha stacked, kasra below
    const QString shallow = QStringLiteral("\u0645\u064F\u0646"); // one damma
    for (const QString& word : {deep, shallow}) {
        const FontMetrics alone = measuredOnANewThread(font, {}, word);
        const FontMetrics among =
            measuredOnANewThread(font, {word == deep ? shallow : deep, QStringLiteral("\u0644\u064E")}, word);
        QCOMPARE(among.ascent, alone.ascent);
        QCOMPARE(among.descent, alone.descent);
    }
}

// A letter is measured by the font it is drawn from, whatever words its thread measured before:
// a private-use character, which no font draws, is no taller for having first come beside an
// ideograph in a word.
void TestQtTextMeasurer::lettersMeasureAloneAsAmongOthers_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("word");
    QTest::newRow("supplementary private use") << QString::fromUcs4(U"\U00020087\U000F932D") << QString::fromUcs4(U"\U0010012D");
    QTest::newRow("basic private use") << QString::fromUcs4(U"\U000215D7\uE000") << QString::fromUcs4(U"\U000F932D");
}

void TestQtTextMeasurer::lettersMeasureAloneAsAmongOthers()
{
    QFETCH(QString, first);
    QFETCH(QString, word);
    const FontRequest font{QString(), 19};
    const FontMetrics alone = measuredOnANewThread(font, {}, word);
    const FontMetrics among = measuredOnANewThread(font, {first}, word);
    QCOMPARE(among.ascent, alone.ascent);
    QCOMPARE(among.descent, alone.descent);
    QCOMPARE(among.lineSpacing, alone.lineSpacing);
}

QTEST_MAIN(TestQtTextMeasurer)
#include "tst_qttextmeasurer.moc"
