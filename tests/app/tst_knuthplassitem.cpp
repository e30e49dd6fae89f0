#include "ChunkLayoutEngine.h"
#include "IBookImageResolver.h"
#include "KnuthPlassItem.h"

#include <QPainter>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTest>

#include <cmath>

namespace {

// Answers every URL with one solid image and counts the requests.
class SolidImageResolver : public IBookImageResolver {
public:
    explicit SolidImageResolver(QColor colour)
        : image(8, 8, QImage::Format_ARGB32)
    {
        image.fill(colour);
    }
    QImage resolveImage(const QString&) override
    {
        ++requests;
        return image;
    }
    QSizeF imageSize(const QString&) override { return image.size(); }

    QImage image;
    int requests = 0;
};

// Clears the painter's process-wide resolver when a test ends, however it ends.
struct ResolverScope {
    explicit ResolverScope(IBookImageResolver* resolver) { KnuthPlassItem::setImageResolver(resolver); }
    ~ResolverScope() { KnuthPlassItem::setImageResolver(nullptr); }
};

QImage paintItem(KnuthPlassItem& item, const QRect& clip = QRect())
{
    QImage target(int(item.width()), int(item.height()), QImage::Format_ARGB32_Premultiplied);
    target.fill(Qt::transparent);
    QPainter painter(&target);
    if (!clip.isNull())
        painter.setClipRect(clip);
    item.paint(&painter);
    painter.end();
    return target;
}

// What a band item paints, in an image of its size (top at 0).
QImage paintBand(QQuickPaintedItem& band)
{
    QImage target(int(band.width()), int(std::ceil(band.height())), QImage::Format_ARGB32_Premultiplied);
    target.fill(Qt::transparent);
    QPainter painter(&target);
    band.paint(&painter);
    painter.end();
    return target;
}

QColor pixel(const QImage& image, int x, int y)
{
    return image.pixelColor(x, y);
}

// A style whose runs carry an underline: a run without text shows its pen colour as the
// underline's pixels, whatever fonts the machine has. Its box reaches 15.5 above the baseline and
// 4.5 below, so on a line at 0 the underline (baseline + 2) fills pixel row 17 exactly.
LayoutStyle underlined(const QColor& colour)
{
    LayoutStyle style;
    style.font.setPixelSize(16);
    style.ascent = 15.5;
    style.descent = 4.5;
    style.colour = LayoutColour::of(colour);
    style.underline = true;
    return style;
}

// One line at y holding one run without text, 100 wide, in `style`.
ChunkLayout withLine(const LayoutStyle& style, double y = 0)
{
    LayoutRun run;
    run.width = 100;
    run.baseline = y + 15.5;
    LayoutLine line;
    line.y = y;
    line.height = 20;
    line.baseline = 15.5;
    line.runs.append(run);
    ChunkLayout layout;
    layout.styles.append(style);
    layout.lines.append(line);
    layout.height = y + 20;
    layout.width = 100;
    return layout;
}


// A tall chunk: `count` underlined lines, one every 100 px.
ChunkLayout underlinedLines(int count)
{
    ChunkLayout layout;
    layout.styles.append(underlined(QColor()));
    for (int i = 0; i < count; ++i)
        layout.lines.append(withLine(underlined(QColor()), i * 100.0).lines);
    layout.height = 100.0 * count;
    return layout;
}

InlineRun styledText(const QString& text, const TextStyle& style = {})
{
    InlineRun run;
    run.text = text;
    run.style = style;
    return run;
}

// A chunk of everything a layout holds: a framed box with a background, text in several fonts,
// colours and decorations (a link, a background, a raised run, a word hyphenated at a line end),
// an image and a rule. Its book colours all contrast with their backdrops, so the pen keeps them.
ContentChunk mixedChunk()
{
    TextStyle bold;
    bold.weight = 700;
    TextStyle red;
    red.colour = QColor(0xff, 0x60, 0x60);
    red.italic = true;
    TextStyle link;
    link.link = link.underline = true;
    TextStyle marked;
    marked.background = QColor(0x20, 0x40, 0x20);
    marked.colour = QColor(Qt::white);
    marked.lineThrough = true;
    TextStyle raised;
    raised.size = 10;
    raised.baselineShift = 6;
    raised.overline = true;
    TextStyle serif;
    serif.families = QStringList{QStringLiteral("serif")};
    serif.size = 20;

    BoxStyle frame;
    frame.marginTop = frame.marginBottom = 8;
    frame.paddingLeft = frame.paddingRight = frame.paddingTop = frame.paddingBottom = 6;
    frame.borderLeft = 3;
    frame.borderTop = frame.borderBottom = frame.borderRight = 1;
    frame.borderColour = QColor(0x80, 0x80, 0xff);
    frame.background = QColor(0x10, 0x10, 0x30);

    BlockItem open;
    open.kind = BlockItem::ContainerStart;
    open.box = frame;
    BlockItem close = open;
    close.kind = BlockItem::ContainerEnd;
    BlockItem first;
    first.runs = {styledText(QStringLiteral("Plain words, then "), {}), styledText(QStringLiteral("bold ones"), bold),
                  styledText(QStringLiteral(" and red italics "), red), styledText(QStringLiteral("with a link"), link),
                  styledText(QStringLiteral(", some "), {}), styledText(QStringLiteral("struck out"), marked),
                  styledText(QStringLiteral(" text, x"), {}), styledText(QStringLiteral("2"), raised),
                  styledText(QStringLiteral(" and an extra\u00ADordinarily long hyphen\u00ADated word."), {})};
    InlineRun picture;
    picture.kind = InlineRun::Image;
    picture.url = QStringLiteral("image://epub/picture.png");
    picture.width = 40;
    picture.height = 30;
    BlockItem second;
    second.align = TextAlign::Center;
    second.runs = {styledText(QStringLiteral("A picture "), serif), picture, styledText(QStringLiteral(" in a line."), serif)};
    BlockItem rule;
    rule.kind = BlockItem::Rule;
    rule.ruleColour = QColor(0xc0, 0x80, 0x40);

    ContentChunk chunk;
    chunk.blocks = {open, first, second, close, rule};
    return chunk;
}

// Draws the runs as each one's own font, text, colours and decorations say, one run after
// another with nothing carried over: what the painter must match however it shares its work.
void paintRunsPlainly(QPainter& painter, const KnuthPlassItem& item, const ChunkLayout& layout)
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    for (const LayoutLine& line : layout.lines) {
        for (const LayoutRun& run : line.runs) {
            const LayoutStyle& style = layout.styleOf(run);
            const QRectF rect = layout.rectOf(run);
            if (item.useBookColours() && style.background.paints())
                painter.fillRect(rect, style.background.toColor());
            const QColor theme = style.link ? item.linkColor() : item.textColor();
            painter.setPen(item.useBookColours() && !style.colour.none ? style.colour.toColor() : theme);
            QFont font = style.font;
            if (line.letterSpacing > 0 && spacesLetters(layout.textOf(run)))
                font.setLetterSpacing(QFont::AbsoluteSpacing, line.letterSpacing);
            painter.setFont(font);
            painter.drawText(QPointF(run.x, run.baseline), layout.textOf(run));
            const double size = style.font.pixelSize();
            const auto rule = [&](double y) { painter.drawLine(QPointF(rect.left(), y), QPointF(rect.right(), y)); };
            if (style.underline)
                rule(run.baseline + 2);
            if (style.lineThrough)
                rule(run.baseline - 0.35 * size);
            if (style.overline)
                rule(run.baseline - 0.85 * size);
        }
    }
}

} // namespace

class TestKnuthPlassItem : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void defaults()
    {
        KnuthPlassItem item;
        QCOMPARE(item.textColor(), QColor(QStringLiteral("#c4c8d8")));
        QCOMPARE(item.linkColor(), QColor(QStringLiteral("#5785c1")));
        QCOMPARE(item.dimColor(), QColor(QStringLiteral("#71738c")));
        QCOMPARE(item.surfaceColor(), QColor(QStringLiteral("#191d35")));
        QVERIFY(!item.useBookColours());
        QCOMPARE(item.horizontalMargin(), 0.0);
        QVERIFY(item.antialiasing());
        QCOMPARE(item.renderTarget(), QQuickPaintedItem::Image);
        QVERIFY(!item.layout().isValid());
    }

    void layoutIsAlwaysTaken()
    {
        KnuthPlassItem item;
        QSignalSpy changed(&item, &KnuthPlassItem::layoutChanged);
        ChunkLayout layout;
        layout.height = 120;
        layout.width = 300;
        item.setLayout(QVariant::fromValue(layout));
        QCOMPARE(item.implicitHeight(), 120.0);
        item.setLayout(QVariant::fromValue(layout));
        QCOMPARE(changed.count(), 2);

        item.setLayout(QVariant(QStringLiteral("not a layout")));
        QCOMPARE(item.implicitHeight(), 0.0);
        QCOMPARE(item.chunkLayout(), ChunkLayout());
        QCOMPARE(item.layout().toString(), QStringLiteral("not a layout"));
        QCOMPARE(changed.count(), 3);
    }

    void settersEmitOnlyOnChange_data()
    {
        QTest::addColumn<QByteArray>("property");
        QTest::addColumn<QVariant>("start");
        QTest::addColumn<QVariant>("next");
        QTest::addColumn<int>("emitted");
        const QColor text(QStringLiteral("#c4c8d8"));
        QTest::newRow("same text colour") << QByteArray("textColor") << QVariant(text) << QVariant(text) << 0;
        QTest::newRow("new text colour") << QByteArray("textColor") << QVariant(text) << QVariant(QColor(Qt::white)) << 1;
        QTest::newRow("new link colour") << QByteArray("linkColor") << QVariant(QColor(Qt::blue)) << QVariant(QColor(Qt::red)) << 1;
        QTest::newRow("same dim colour") << QByteArray("dimColor") << QVariant(QColor(Qt::gray)) << QVariant(QColor(Qt::gray)) << 0;
        QTest::newRow("new surface colour") << QByteArray("surfaceColor") << QVariant(QColor(Qt::black)) << QVariant(QColor(Qt::white)) << 1;
        QTest::newRow("same flag") << QByteArray("useBookColours") << QVariant(true) << QVariant(true) << 0;
        QTest::newRow("new flag") << QByteArray("useBookColours") << QVariant(true) << QVariant(false) << 1;
        QTest::newRow("margin within 1e-12") << QByteArray("horizontalMargin") << QVariant(1.0) << QVariant(1.0 + 1e-13) << 0;
        QTest::newRow("new margin") << QByteArray("horizontalMargin") << QVariant(1.0) << QVariant(1.01) << 1;
        QTest::newRow("margin from 0") << QByteArray("horizontalMargin") << QVariant(0.0) << QVariant(1e-13) << 1;
    }
    void settersEmitOnlyOnChange()
    {
        QFETCH(QByteArray, property);
        QFETCH(QVariant, start);
        QFETCH(QVariant, next);
        QFETCH(int, emitted);
        KnuthPlassItem item;
        QVERIFY(item.setProperty(property, start));
        const QMetaProperty meta = item.metaObject()->property(item.metaObject()->indexOfProperty(property));
        QSignalSpy spy(&item, meta.notifySignal());
        QVERIFY(item.setProperty(property, next));
        QCOMPARE(spy.count(), emitted);
    }

    void contrast()
    {
        QCOMPARE(KnuthPlassItem::relativeLuminance(Qt::black), 0.0);
        QCOMPARE(KnuthPlassItem::relativeLuminance(Qt::white), 1.0);
        QCOMPARE(KnuthPlassItem::contrastRatio(Qt::black, Qt::white), 21.0);
        QCOMPARE(KnuthPlassItem::contrastRatio(Qt::white, Qt::black), 21.0);
        QCOMPARE(KnuthPlassItem::contrastRatio(Qt::red, Qt::red), 1.0);
        // #777777 on white is the classic "just below 4.5" grey.
        QVERIFY(qAbs(KnuthPlassItem::contrastRatio(QColor(0x77, 0x77, 0x77), Qt::white) - 4.48) < 0.01);
    }

    void penColour_data()
    {
        QTest::addColumn<bool>("bookColours");
        QTest::addColumn<QColor>("runColour");
        QTest::addColumn<QColor>("blockBackground");
        QTest::addColumn<bool>("link");
        QTest::addColumn<QColor>("expected");
        const QColor text(QStringLiteral("#c4c8d8"));
        const QColor link(QStringLiteral("#5785c1"));
        QTest::newRow("theme text") << false << QColor(Qt::red) << QColor() << false << text;
        QTest::newRow("theme link") << false << QColor(Qt::red) << QColor() << true << link;
        QTest::newRow("book colour kept") << true << QColor(Qt::red) << QColor(Qt::black) << false << QColor(Qt::red);
        QTest::newRow("no book colour: theme") << true << QColor() << QColor() << false << text;
        QTest::newRow("dark grey on black turns white") << true << QColor(0x33, 0x33, 0x33) << QColor(Qt::black) << false << QColor(Qt::white);
        QTest::newRow("light grey on white turns black") << true << QColor(0xee, 0xee, 0xee) << QColor(Qt::white) << false << QColor(Qt::black);
        QTest::newRow("surface is the backdrop") << true << QColor(0x20, 0x20, 0x40) << QColor() << false << QColor(Qt::white);
    }
    void penColour()
    {
        QFETCH(bool, bookColours);
        QFETCH(QColor, runColour);
        QFETCH(QColor, blockBackground);
        QFETCH(bool, link);
        QFETCH(QColor, expected);
        LayoutStyle style = underlined(runColour);
        style.blockBackground = LayoutColour::of(blockBackground);
        style.link = link;
        KnuthPlassItem item;
        item.setSize(QSizeF(100, 20));
        item.setUseBookColours(bookColours);
        item.setLayout(QVariant::fromValue(withLine(style)));
        const QImage image = paintItem(item);
        QCOMPARE(pixel(image, 50, 17), expected);
        QCOMPARE(pixel(image, 50, 5).alpha(), 0);
    }

    void runBackgroundOnlyWithBookColours()
    {
        LayoutStyle style = underlined(QColor(Qt::white));
        style.background = LayoutColour::of(QColor(Qt::blue));
        KnuthPlassItem item;
        item.setSize(QSizeF(100, 20));
        item.setLayout(QVariant::fromValue(withLine(style)));
        QCOMPARE(pixel(paintItem(item), 50, 5).alpha(), 0);
        item.setUseBookColours(true);
        QCOMPARE(pixel(paintItem(item), 50, 5), QColor(Qt::blue));
    }

    void decorations()
    {
        LayoutStyle style = underlined(QColor());
        style.underline = false;
        style.ascent = 30.3; // a box from 0 to 40
        style.descent = 9.7;
        style.lineThrough = true;
        style.overline = true;
        ChunkLayout layout = withLine(style);
        LayoutRun& run = layout.lines[0].runs[0];
        run.baseline = 30.3; // line-through at 30.3 - 5.6 = 24.7, overline at 30.3 - 13.6 = 16.7
        run.x = 10;
        run.width = 50;
        layout.height = 40;
        KnuthPlassItem item;
        item.setSize(QSizeF(100, 40));
        item.setLayout(QVariant::fromValue(layout));
        const QImage image = paintItem(item);
        QVERIFY(pixel(image, 30, 24).alpha() > 0);
        QVERIFY(pixel(image, 30, 16).alpha() > 0);
        QCOMPARE(pixel(image, 30, 5).alpha(), 0);
        QCOMPARE(pixel(image, 5, 24).alpha(), 0); // left of the run
        QCOMPARE(pixel(image, 70, 24).alpha(), 0); // right of the run
    }

    void boxesAndRules()
    {
        ChunkLayout layout;
        layout.height = 100;
        layout.width = 100;
        LayoutBox sideBar;
        sideBar.rect = QRectF(0, 0, 40, 40);
        sideBar.left = 4;
        LayoutBox framed;
        framed.rect = QRectF(50, 0, 40, 40);
        framed.background = QColor(Qt::yellow);
        framed.borderColour = QColor(Qt::green);
        framed.top = 4;
        framed.right = 4;
        LayoutRule rule;
        rule.rect = QRectF(0, 60, 100, 4);
        rule.colour = QColor(Qt::red);
        layout.boxes = {sideBar, framed};
        layout.rules = {rule};

        KnuthPlassItem item;
        item.setSize(QSizeF(100, 100));
        item.setLayout(QVariant::fromValue(layout));
        QImage image = paintItem(item);
        const QColor dim = item.dimColor();
        QCOMPARE(pixel(image, 1, 20), dim);            // the plain side bar
        QCOMPARE(pixel(image, 10, 20).alpha(), 0);
        QCOMPARE(pixel(image, 70, 20).alpha(), 0);     // book backgrounds and borders ignored
        QCOMPARE(pixel(image, 70, 1).alpha(), 0);
        QCOMPARE(pixel(image, 50, 61), dim);           // the rule in the theme's colour

        item.setUseBookColours(true);
        image = paintItem(item);
        QCOMPARE(pixel(image, 1, 20), dim);            // no border colour: the dim colour
        QCOMPARE(pixel(image, 70, 20), QColor(Qt::yellow));
        QCOMPARE(pixel(image, 70, 1), QColor(Qt::green));
        QCOMPARE(pixel(image, 88, 20), QColor(Qt::green));
        QCOMPARE(pixel(image, 70, 38), QColor(Qt::yellow)); // no bottom border
        QCOMPARE(pixel(image, 50, 61), QColor(Qt::red));
    }

    void darkInkOnTransparentGetsABackingOnADarkPage_data()
    {
        QTest::addColumn<QColor>("ink");
        QTest::addColumn<int>("transparentColumns"); // of the 8 x 8 picture, at its right
        QTest::addColumn<bool>("darkPage");
        QTest::addColumn<double>("invert");
        QTest::addColumn<QColor>("drawnInk");
        QTest::addColumn<bool>("backed");
        const QColor black(Qt::black);
        QTest::newRow("black on transparent, dark page") << black << 4 << true << 0.0 << black << true;
        QTest::newRow("dark grey on transparent, dark page") << QColor(0x30, 0x30, 0x30) << 6 << true << 0.0
                                                             << QColor(0x30, 0x30, 0x30) << true;
        QTest::newRow("black on transparent, light page") << black << 4 << false << 0.0 << black << false;
        QTest::newRow("white on transparent, dark page") << QColor(Qt::white) << 4 << true << 0.0 << QColor(Qt::white) << false;
        QTest::newRow("black with its own ground, dark page") << black << 1 << true << 0.0 << black << false;
        // A book's own dark rule (filter: invert()) makes the ink light: no backing then.
        QTest::newRow("inverted by the book") << black << 4 << true << 1.0 << QColor(Qt::white) << false;
        QTest::newRow("half inverted") << black << 4 << true << 0.5 << QColor(128, 128, 128) << false;
    }
    // The backing is the text colour, under the whole picture; the picture's ink, inverted as the
    // book asks, stays on top.
    void darkInkOnTransparentGetsABackingOnADarkPage()
    {
        QFETCH(QColor, ink);
        QFETCH(int, transparentColumns);
        QFETCH(bool, darkPage);
        QFETCH(double, invert);
        QFETCH(QColor, drawnInk);
        QFETCH(bool, backed);
        SolidImageResolver resolver(ink);
        for (int x = 8 - transparentColumns; x < 8; ++x) {
            for (int y = 0; y < 8; ++y)
                resolver.image.setPixelColor(x, y, Qt::transparent);
        }
        ResolverScope scope(&resolver);
        ChunkLayout layout;
        layout.height = 40;
        layout.width = 40;
        layout.images.append(LayoutImage{QStringLiteral("image://epub/logo.png"), QRectF(0, 0, 40, 40), invert});
        KnuthPlassItem item;
        item.setSize(QSizeF(40, 40));
        item.setLayout(QVariant::fromValue(layout));
        if (!darkPage) {
            item.setTextColor(QColor(0x20, 0x20, 0x20));
            item.setSurfaceColor(QColor(0xf0, 0xf0, 0xf0));
        }
        const QImage painted = paintItem(item);
        QCOMPARE(pixel(painted, 38, 20), backed ? item.textColor() : QColor(Qt::transparent));
        QCOMPARE(pixel(painted, 1, 20), drawnInk);
    }

    void imagesAndMargin()
    {
        ChunkLayout layout;
        layout.height = 60;
        layout.width = 100;
        layout.images.append(LayoutImage{QStringLiteral("image://epub/a.png"), QRectF(10.5, 10.5, 40, 20)});
        KnuthPlassItem item;
        item.setSize(QSizeF(120, 60));
        item.setLayout(QVariant::fromValue(layout));
        item.setHorizontalMargin(20);

        QImage image = paintItem(item);
        QCOMPARE(pixel(image, 30, 20), item.dimColor()); // outline moved right by the margin
        QCOMPARE(pixel(image, 50, 20).alpha(), 0);       // an outline only
        QCOMPARE(pixel(image, 10, 20).alpha(), 0);

        SolidImageResolver resolver(Qt::magenta);
        ResolverScope scope(&resolver);
        image = paintItem(item);
        QCOMPARE(resolver.requests, 1);
        QCOMPARE(pixel(image, 50, 20), QColor(Qt::magenta));
        QCOMPARE(pixel(image, 75, 20).alpha(), 0);
    }

    void mixedChunkPaintsRunByRun_data()
    {
        QTest::addColumn<bool>("bookColours");
        QTest::newRow("theme colours") << false;
        QTest::newRow("book colours") << true;
    }
    // A real layout of mixed content, painted by the item, against its boxes, rules and images
    // painted by the item with the runs drawn plainly on top (text and images do not overlap).
    void mixedChunkPaintsRunByRun()
    {
        QFETCH(bool, bookColours);
        SolidImageResolver resolver(Qt::magenta);
        ResolverScope scope(&resolver);
        const ChunkLayoutEngine engine;
        LayoutParams params;
        params.width = 260;
        const ChunkLayout layout = engine.layoutPreparedChunk(engine.prepareChunk(mixedChunk(), 16, &resolver), params);
        QVERIFY(layout.styles.size() >= 6);
        QVERIFY(layout.height < ChunkLayout::kMaxTileHeight);
        QVERIFY(!layout.images.isEmpty() && !layout.rules.isEmpty() && !layout.boxes.isEmpty());
        bool hyphenated = false;
        for (const LayoutLine& line : layout.lines)
            hyphenated = hyphenated || (!line.runs.isEmpty() && layout.textOf(line.runs.last()).endsWith(u'-'));
        QVERIFY(hyphenated);

        KnuthPlassItem item;
        item.setSize(QSizeF(params.width + 20, layout.height));
        item.setHorizontalMargin(10);
        item.setUseBookColours(bookColours);
        item.setLayout(QVariant::fromValue(layout));
        const QImage painted = paintItem(item);

        ChunkLayout withoutRuns = layout;
        for (LayoutLine& line : withoutRuns.lines)
            line.runs.clear();
        item.setLayout(QVariant::fromValue(withoutRuns));
        QImage expected = paintItem(item);
        QPainter painter(&expected);
        painter.translate(item.horizontalMargin(), 0);
        paintRunsPlainly(painter, item, layout);
        painter.end();

        QCOMPARE(painted.size(), expected.size());
        QVERIFY(painted != paintItem(item)); // the runs drew something
        QVERIFY(painted == expected);
    }

    void onlyTheClipBandIsDrawn()
    {
        ChunkLayout layout = withLine(underlined(QColor()), 0);
        const ChunkLayout second = withLine(underlined(QColor()), 200);
        layout.lines.append(second.lines);
        layout.images.append(LayoutImage{QStringLiteral("image://epub/a.png"), QRectF(10, 300, 40, 20)});
        layout.height = 400;
        KnuthPlassItem item;
        item.setSize(QSizeF(100, 400));
        item.setLayout(QVariant::fromValue(layout));
        SolidImageResolver resolver(Qt::magenta);
        ResolverScope scope(&resolver);

        const QImage top = paintItem(item, QRect(0, 0, 100, 100));
        QVERIFY(pixel(top, 50, 17).alpha() > 0);
        QCOMPARE(resolver.requests, 0); // the image lies outside the band

        const QImage lower = paintItem(item, QRect(0, 190, 100, 150));
        QCOMPARE(pixel(lower, 50, 217), item.textColor());
        QCOMPARE(resolver.requests, 1);
    }

    void tallChunksArePaintedInBands()
    {
        const ChunkLayout layout = underlinedLines(100);
        KnuthPlassItem item;
        item.setLayout(QVariant::fromValue(layout));
        item.setSize(QSizeF(300, 10000));

        const QList<QRectF> bands = item.bandRects();
        QVERIFY(bands.size() >= 3);
        double top = 0;
        for (const QRectF& band : bands) {
            QCOMPARE(band.top(), top);
            QVERIFY(band.height() <= ChunkLayout::kMaxTileHeight);
            QVERIFY(std::fmod(band.top(), 100.0) == 0 || std::fmod(band.top(), 100.0) >= 20); // no line cut
            QCOMPARE(band.width(), 300.0);
            top = band.bottom();
        }
        QCOMPARE(top, 10000.0);
        QCOMPARE(item.childItems().size(), bands.size());

        // A band paints its own part of the chunk, with its top at 0.
        qsizetype b = 1;
        while (bands.at(b).height() < 200)
            ++b;
        auto* band = qobject_cast<QQuickPaintedItem*>(item.childItems().at(b));
        QVERIFY(band);
        QCOMPARE(band->position(), bands.at(b).topLeft());
        const QImage bandImage = paintBand(*band);
        const int firstLineTop = int(std::ceil(bands.at(b).top() / 100.0)) * 100;
        const int underline = firstLineTop + 17 - int(bands.at(b).top());
        QCOMPARE(pixel(bandImage, 50, underline), item.textColor());
        QCOMPARE(pixel(bandImage, 50, underline + 50).alpha(), 0);

        item.setLayout(QVariant::fromValue(withLine(underlined(QColor()))));
        item.setSize(QSizeF(300, 20));
        QCOMPARE(item.bandRects().size(), 1);
        QCOMPARE(item.childItems().size(), 1);
    }

    // A line set tighter than its font has glyphs above and below its box; at the chunk's top and
    // bottom the painted bands reach out to them, so nothing is cut there.
    void glyphsStandingOutOfTheChunkArePainted()
    {
        ChunkLayout layout = withLine(underlined(QColor()));
        layout.lines[0].height = 12; // the style's box reaches from 5.5 above the line to 14.5
        layout.lines[0].baseline = 10;
        layout.lines[0].runs[0].baseline = 10;
        layout.height = 12;
        KnuthPlassItem item;
        item.setLayout(QVariant::fromValue(layout));
        item.setSize(QSizeF(300, 12));
        QCOMPARE(item.childItems().size(), 1);
        auto* band = qobject_cast<QQuickPaintedItem*>(item.childItems().constFirst());
        QVERIFY(band);
        QVERIFY(band->y() <= -5.5);
        QVERIFY(band->y() + band->height() >= 14.5);

        const QImage bandImage = paintBand(*band);
        // The underline lies at row 11.5 to 12.5 of the chunk: half of it below the item's bottom.
        QCOMPARE(pixel(bandImage, 50, int(std::floor(12 - band->y()))).alpha() > 0, true);
    }

    // Scrolling through a very tall chunk keeps only the bands within a screen of the view.
    void onlyBandsNearTheViewportExist()
    {
        const ChunkLayout layout = underlinedLines(400);
        KnuthPlassItem item;
        item.setLayout(QVariant::fromValue(layout));
        item.setSize(QSizeF(300, 40000));
        const QList<QRectF> bands = item.bandRects();
        QCOMPARE(item.liveBandCount(), bands.size()); // no viewport told: all of it counts
        item.setViewportHeight(800);
        for (double top = 0; top < 40000; top += 700) {
            item.setViewportTop(top);
            QCOMPARE(item.childItems().size(), item.liveBandCount());
            const QRectF near(0, top - 800, 300, 3 * 800);
            const auto meetsNear = [&near](const QRectF& band) { return band.bottom() >= near.top() && band.top() <= near.bottom(); };
            QCOMPARE(item.liveBandCount(), int(std::count_if(bands.cbegin(), bands.cend(), meetsNear)));
            QVERIFY(item.liveBandCount() < 5);
            bool showsTheViewport = false;
            for (QQuickItem* child : item.childItems()) {
                const QRectF band(child->position(), child->size());
                QVERIFY(meetsNear(band));
                showsTheViewport = showsTheViewport || (band.top() <= top && band.bottom() > top);
            }
            QVERIFY(showsTheViewport);
        }
    }

    // A size no setting reaches (a stored line spacing of 1e308 made one) lays no bands at all,
    // rather than allocating one per 4096 pixels of it.
    void sizesPastTheLimitsPaintNothing_data()
    {
        QTest::addColumn<QSizeF>("size");
        QTest::addColumn<int>("bands");
        QTest::newRow("at the limits") << QSizeF(32768, 16777216) << 4096;
        QTest::newRow("infinitely tall") << QSizeF(300, qInf()) << 0;
        QTest::newRow("a trillion pixels tall") << QSizeF(300, 1e12) << 0;
        QTest::newRow("wider than any screen") << QSizeF(1e6, 20) << 0;
    }
    void sizesPastTheLimitsPaintNothing()
    {
        QFETCH(QSizeF, size);
        KnuthPlassItem item;
        item.setLayout(QVariant::fromValue(withLine(underlined(QColor()))));
        item.setSize(size);
        QTEST(int(item.bandRects().size()), "bands");
        QTEST(int(item.childItems().size()), "bands");
        item.setSize(QSizeF(300, 20));
        QCOMPARE(item.childItems().size(), 1);
    }

    void tallChunkInAWindow()
    {
        const ChunkLayout layout = underlinedLines(100);
        QQuickWindow window;
        window.setColor(Qt::black);
        window.resize(100, 300);
        KnuthPlassItem item(window.contentItem());
        item.setLayout(QVariant::fromValue(layout));
        item.setSize(QSizeF(100, 10000));
        item.setY(-4000); // the window shows 4000..4300, across the cut near 4096
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QImage shown = window.grabWindow();
        QVERIFY(!shown.isNull());
        const qreal ratio = shown.devicePixelRatio();
        for (int lineTop : {0, 100, 200})
            QCOMPARE(shown.pixelColor(50 * ratio, (lineTop + 17) * ratio), item.textColor());
        QCOMPARE(shown.pixelColor(50 * ratio, 60 * ratio), QColor(Qt::black));
    }
};

QTEST_MAIN(TestKnuthPlassItem)
#include "tst_knuthplassitem.moc"
