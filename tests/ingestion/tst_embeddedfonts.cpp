#include "formats/EmbeddedFonts.h"

#include <QDirIterator>
#include <QFile>
#include <QFontDatabase>
#include <QStandardPaths>
#include <QTest>

namespace {

// Two different font files of the system, or fewer when it has none.
QList<QByteArray> systemFonts()
{
    QList<QByteArray> fonts;
    QStringList roots = QStandardPaths::standardLocations(QStandardPaths::FontsLocation);
    roots.append(QStringLiteral("/usr/share/fonts"));
    for (const QString& root : std::as_const(roots)) {
        QDirIterator files(root, {QStringLiteral("*.ttf"), QStringLiteral("*.otf")}, QDir::Files,
                           QDirIterator::Subdirectories);
        while (files.hasNext() && fonts.size() < 2) {
            QFile file(files.next());
            if (file.open(QIODevice::ReadOnly))
                fonts.append(file.readAll());
        }
    }
    return fonts;
}

} // namespace

class TestEmbeddedFonts : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sameDataIsRegisteredOnce();
    void dataThatIsNoFont();
};

void TestEmbeddedFonts::sameDataIsRegisteredOnce()
{
    const QList<QByteArray> fonts = systemFonts();
    if (fonts.size() < 2 || fonts[0] == fonts[1])
        QSKIP("needs two font files of the system");

    const int first = EmbeddedFonts::add(fonts[0]);
    QVERIFY(first >= 0);
    QVERIFY(!QFontDatabase::applicationFontFamilies(first).isEmpty());
    QCOMPARE(EmbeddedFonts::add(QByteArray(fonts[0].constData(), fonts[0].size())), first);
    // Had the repeat been registered, it would have taken the next id.
    const int second = EmbeddedFonts::add(fonts[1]);
    QCOMPARE(second, first + 1);
}

void TestEmbeddedFonts::dataThatIsNoFont()
{
    QCOMPARE(EmbeddedFonts::add(QByteArray()), -1);
    QCOMPARE(EmbeddedFonts::add(QByteArray("not a font at all")), -1);
}

QTEST_MAIN(TestEmbeddedFonts)
#include "tst_embeddedfonts.moc"
