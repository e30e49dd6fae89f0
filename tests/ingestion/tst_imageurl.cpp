#include "images/ImageUrl.h"

#include <QTest>

class TestImageUrl : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void build_data()
    {
        QTest::addColumn<QString>("provider");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("src");
        QTest::addColumn<QString>("url");
        QTest::newRow("no book path") << "cbz" << "pages/01.png" << "" << "image://cbz/pages/01.png";
        QTest::newRow("book path encoded") << "epub" << "a.png" << "/a b/c" << "image://epub/a.png?src=%2Fa%20b%2Fc";
        QTest::newRow("entry with space") << "dir" << "a b.png" << "" << "image://dir/a%20b.png";
    }
    void build()
    {
        QFETCH(QString, provider);
        QFETCH(QString, entry);
        QFETCH(QString, src);
        QFETCH(QString, url);
        QCOMPARE(ImageUrl::build(provider, entry, src), url);
    }

    // What build() writes, parseProviderId() must give back, whatever the names hold.
    void roundTrip_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("src");
        QTest::newRow("plain") << "OEBPS/img/cover.jpg" << "/books/a.epub";
        QTest::newRow("utf-8 and marks") << QString::fromUtf8("кни га/обл?ожка#1.png") << QString::fromUtf8("/tmp/Мой & ?.cbz");
        QTest::newRow("literal percent") << "100%41.png" << "/x/50%25 off.cbz";
        QTest::newRow("no src") << "a.png" << "";
    }
    void roundTrip()
    {
        QFETCH(QString, entry);
        QFETCH(QString, src);
        const QString prefix = QStringLiteral("image://cbz/");
        const QString url = ImageUrl::build(QStringLiteral("cbz"), entry, src);
        QVERIFY(url.startsWith(prefix));
        const ProviderIdParts parts = ImageUrl::parseProviderId(url.mid(prefix.size()));
        QCOMPARE(parts.path, entry);
        QCOMPARE(parts.src, src);
    }

    void resolve_data()
    {
        QTest::addColumn<QString>("href");
        QTest::addColumn<QString>("baseDir");
        QTest::addColumn<QString>("url");
        QTest::newRow("empty") << "" << "OEBPS/" << "";
        QTest::newRow("fragment") << "#img.png" << "OEBPS/" << "image://epub/OEBPS/img.png?src=b";
        QTest::newRow("parent") << "../images/a.png" << "OEBPS/text/" << "image://epub/OEBPS/images/a.png?src=b";
        QTest::newRow("encoded href") << "a%20b.png" << "" << "image://epub/a%20b.png?src=b";
        QTest::newRow("leading slash") << "/x.png" << "" << "image://epub/x.png?src=b";
        QTest::newRow("web") << "https://e.org/a.png" << "" << "image://web/https://e.org/a.png";
        QTest::newRow("parents beyond the root stop there") << "../../../images/a.png" << "OEBPS/text/"
                                                            << "image://epub/images/a.png?src=b";
        QTest::newRow("parent of the root document") << "../a.png" << "" << "image://epub/a.png?src=b";
        QTest::newRow("dot and empty segments") << ".//img/./a.png" << "" << "image://epub/img/a.png?src=b";
        QTest::newRow("upper-case scheme is an entry") << "HTTP://x" << "" << "image://epub/HTTP%3A/x?src=b";
        QTest::newRow("image url unchanged") << "image://fb2/x" << "" << "image://fb2/x";
    }
    void resolve()
    {
        QFETCH(QString, href);
        QFETCH(QString, baseDir);
        QFETCH(QString, url);
        QCOMPARE(ImageUrl::resolve(QStringLiteral("epub"), href, QStringLiteral("b"), baseDir), url);
    }

    void parseIgnoresOtherQueries()
    {
        const ProviderIdParts parts = ImageUrl::parseProviderId(QStringLiteral("a%20b.png?x=1"));
        QCOMPARE(parts.path, QStringLiteral("a b.png"));
        QVERIFY(parts.src.isEmpty());
        QCOMPARE(ImageUrl::parseProviderId(QStringLiteral("p.png")).src, QString());
    }

    void extensions()
    {
        QCOMPARE(imageFileExtensions().size(), 5);
        QVERIFY(imageFileExtensions().contains(QStringLiteral("webp")));
        QVERIFY(!imageFileExtensions().contains(QStringLiteral("PNG")));
    }
};

QTEST_GUILESS_MAIN(TestImageUrl)
#include "tst_imageurl.moc"
