#include "formats/BookFontFaces.h"
#include "formats/EmbeddedFonts.h"
#include "TestFonts.h"
#include "TestWoff.h"

#include <QFontDatabase>
#include <QTest>
#include <QtEndian>

#include <woff2/encode.h>

namespace {

// The WOFF 2.0 file of a TrueType font, as the woff2 library's encoder writes it.
QByteArray woff2Of(const QByteArray& ttf)
{
    const auto* data = reinterpret_cast<const uint8_t*>(ttf.constData());
    size_t size = woff2::MaxWOFF2CompressedSize(data, size_t(ttf.size()));
    QByteArray woff2(qsizetype(size), Qt::Uninitialized);
    if (!woff2::ConvertTTFToWOFF2(data, size_t(ttf.size()), reinterpret_cast<uint8_t*>(woff2.data()), &size))
        return QByteArray();
    woff2.truncate(qsizetype(size));
    return woff2;
}

} // namespace

class TestEmbeddedFonts : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void registersUnderAFamilyOfItsOwn_data();
    void registersUnderAFamilyOfItsOwn();
    void sameDataIsRegisteredOnce();
    void manyFontsAllRegister();
    void dataThatIsNoFont_data();
    void dataThatIsNoFont();
    void faceMatching_data();
    void faceMatching();
};

void TestEmbeddedFonts::registersUnderAFamilyOfItsOwn_data()
{
    QTest::addColumn<QByteArray>("data");
    const QByteArray ttf = TestFonts::monospaced();
    QVERIFY2(!ttf.isEmpty(), "fonts-dejavu-core is installed by scripts/install-deps.sh");
    QTest::newRow("TrueType") << ttf;
    QTest::newRow("WOFF, compressed") << TestWoff::fromSfnt(ttf, true);
    QTest::newRow("WOFF, stored") << TestWoff::fromSfnt(ttf, false);
    QTest::newRow("WOFF2") << woff2Of(ttf);
}

void TestEmbeddedFonts::registersUnderAFamilyOfItsOwn()
{
    QFETCH(QByteArray, data);
    const EmbeddedFonts::Font font = EmbeddedFonts::add(data);
    QCOMPARE(font.ownFamily, QStringLiteral("DejaVu Sans Mono"));
    QCOMPARE(font.weight, 400);
    QVERIFY(!font.italic);
    QVERIFY(font.family.startsWith(QStringLiteral("Vellora Book Font ")));
    QVERIFY(QFontDatabase::families().contains(font.family));
    // The face itself answers to the new name: the monospaced glyphs, not a fallback's.
    QVERIFY(TestFonts::isMonospaced(font.family));
}

void TestEmbeddedFonts::sameDataIsRegisteredOnce()
{
    QByteArray ttf = TestFonts::monospaced();
    QVERIFY(!ttf.isEmpty());
    ttf += "of its own"; // a font ignores what follows its tables; no other case registered this
    const qsizetype before = QFontDatabase::families().size();
    const QString family = EmbeddedFonts::add(ttf).family;
    QVERIFY(!family.isEmpty());
    QCOMPARE(EmbeddedFonts::add(QByteArray(ttf.constData(), ttf.size())).family, family);
    QCOMPARE(QFontDatabase::families().size(), before + 1);
    // Other data of the same font is another registration, under another name.
    const QString other = EmbeddedFonts::add(ttf + "!").family;
    QVERIFY(!other.isEmpty() && other != family);
}

void TestEmbeddedFonts::manyFontsAllRegister()
{
    // More fonts than are kept in memory (16 MB): those past it are registered from files, and
    // answer to their names as the first do.
    const QByteArray ttf = TestFonts::monospaced(true);
    QVERIFY(!ttf.isEmpty());
    const qsizetype count = 16 * 1024 * 1024 / ttf.size() + 8;
    for (qsizetype i = 0; i < count; ++i) {
        const QString family = EmbeddedFonts::add(ttf + "many " + QByteArray::number(i)).family;
        QVERIFY2(!family.isEmpty(), qPrintable(QString::number(i)));
        if (i == 0 || i + 1 == count)
            QVERIFY2(TestFonts::isMonospaced(family), qPrintable(family));
    }
}

void TestEmbeddedFonts::dataThatIsNoFont_data()
{
    QTest::addColumn<QByteArray>("data");
    const QByteArray woff = TestWoff::fromSfnt(TestFonts::monospaced());
    QByteArray inflating = woff;
    qToBigEndian<quint32>(0x7fffffff, inflating.data() + 16); // a decoded size of 2 GB
    QByteArray corrupt = woff;
    corrupt[woff.size() - 100] = char(~corrupt[woff.size() - 100]);
    QByteArray strangeFlavour = woff;
    strangeFlavour.replace(4, 4, "gctt"); // the version of the font inside: none there is
    QByteArray hostileDirectory = TestFonts::monospaced().left(12 + 16);
    qToBigEndian<quint16>(1, hostileDirectory.data() + 4);
    qToBigEndian<quint32>(0xfffffff0, hostileDirectory.data() + 12 + 8); // a table far beyond the file

    QTest::newRow("empty") << QByteArray();
    QTest::newRow("text") << QByteArray("not a font at all");
    QTest::newRow("WOFF cut short") << woff.left(200);
    QTest::newRow("WOFF inflating beyond the limit") << inflating;
    QTest::newRow("WOFF with damaged compressed data") << corrupt;
    QTest::newRow("WOFF of no sfnt version") << strangeFlavour;
    QTest::newRow("table outside the file") << hostileDirectory;
    QTest::newRow("WOFF2 header only") << QByteArray("wOF2\0\1\0\0", 8);
}

void TestEmbeddedFonts::dataThatIsNoFont()
{
    QFETCH(QByteArray, data);
    const qsizetype before = QFontDatabase::families().size();
    QVERIFY(EmbeddedFonts::add(data).family.isEmpty());
    QCOMPARE(QFontDatabase::families().size(), before);
}

// Faces of one family as "weight[-weight][i]=name"; the face CSS font matching picks.
void TestEmbeddedFonts::faceMatching_data()
{
    QTest::addColumn<QStringList>("faces");
    QTest::addColumn<int>("weight");
    QTest::addColumn<bool>("italic");
    QTest::addColumn<QString>("expected");

    const QStringList regularBold = { "400=R", "700=B" };
    QTest::newRow("exact weight") << regularBold << 700 << false << "B";
    QTest::newRow("normal") << regularBold << 400 << false << "R";
    QTest::newRow("semi-bold goes heavier") << regularBold << 600 << false << "B";
    QTest::newRow("light goes lighter, then heavier") << regularBold << 300 << false << "R";
    QTest::newRow("500 takes 500 before lighter") << QStringList { "400=R", "500=M", "700=B" } << 500 << false << "M";
    QTest::newRow("450 takes 500 before 400") << QStringList { "400=R", "500=M" } << 450 << false << "M";
    QTest::newRow("450 takes 400 before 600") << QStringList { "400=R", "600=S" } << 450 << false << "R";
    QTest::newRow("heavy beyond every face") << regularBold << 900 << false << "B";
    QTest::newRow("range holds the weight") << QStringList { "100-900=V", "400=R" } << 650 << false << "V";
    QTest::newRow("style before weight") << QStringList { "700=B", "400i=I" } << 700 << true << "I";
    QTest::newRow("no italic face: the upright one") << regularBold << 400 << true << "R";
}

void TestEmbeddedFonts::faceMatching()
{
    QFETCH(QStringList, faces);
    QFETCH(int, weight);
    QFETCH(bool, italic);
    QFETCH(QString, expected);
    BookFontFaces table;
    for (const QString& face : std::as_const(faces)) {
        const QString spec = face.section(u'=', 0, 0);
        const bool faceItalic = spec.endsWith(u'i');
        const QString weights = faceItalic ? spec.chopped(1) : spec;
        table.declare(QStringLiteral("Book Face"), weights.section(u'-', 0, 0).toInt(), weights.section(u'-', -1).toInt(),
                      faceItalic, face.section(u'=', 1));
    }
    table.addOwnName(QStringLiteral("Inner Name"), 400, false, QStringLiteral("own"));
    QCOMPARE(table.resolve(QStringLiteral("book FACE"), weight, italic), expected); // names ignore case
    QCOMPARE(table.resolve(QStringLiteral("Inner Name"), weight, italic), QStringLiteral("own"));
    QVERIFY(table.resolve(QStringLiteral("Georgia"), weight, italic).isEmpty());
}

QTEST_MAIN(TestEmbeddedFonts)
#include "tst_embeddedfonts.moc"
