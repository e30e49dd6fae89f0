#include "sources/Fb2ByteSource.h"
#include "TestZip.h"

#include <QCryptographicHash>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray fictionBook(const QByteArray& binaries, const QByteArray& encoding = "UTF-8")
{
    return "<?xml version=\"1.0\" encoding=\"" + encoding
        + "\"?>\n<FictionBook xmlns=\"http://www.gribuser.ru/xml/fictionbook/2.0\" "
          "xmlns:l=\"http://www.w3.org/1999/xlink\">\n<body><section><p>Text</p></section></body>\n"
        + binaries + "</FictionBook>\n";
}

// Base64 broken into lines the way FB2 writers do it.
QByteArray lineBroken(const QByteArray& data, const QByteArray& lineEnd = "\r\n")
{
    const QByteArray base64 = data.toBase64();
    QByteArray result = lineEnd;
    for (qsizetype at = 0; at < base64.size(); at += 76)
        result += base64.mid(at, 76) + lineEnd;
    return result;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray md5OfFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Md5)
                                          : QByteArray();
}

} // namespace

class TestFb2ByteSource : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void zipDetection_data();
    void zipDetection();
    void openErrors_data();
    void openErrors();
    void bookEntryChoice_data();
    void bookEntryChoice();
    void binaries();
    void binariesOfCp1251Book();
    void contentHashIsTheFileDigest();
    void reopenStartsEmpty();
    void manyAndLargeBinaries();

private:
    QTemporaryDir dir;
};

void TestFb2ByteSource::zipDetection_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("writeZip");
    QTest::addColumn<bool>("zipped");

    QTest::newRow("fb2.zip in capitals") << "X.FB2.ZIP" << true << true;
    QTest::newRow("fbz") << "b.fbz" << true << true;
    QTest::newRow("zip") << "b.zip" << true << true;
    QTest::newRow("fb2 named zip by its magic") << "magic.fb2" << true << true;
    QTest::newRow("plain fb2") << "plain.fb2" << false << false;
}

void TestFb2ByteSource::zipDetection()
{
    QFETCH(QString, fileName);
    QFETCH(bool, writeZip);
    QFETCH(bool, zipped);

    const QByteArray xml = fictionBook("<binary id=\"a.png\" content-type=\"image/png\">QUJD</binary>\n");
    const QString path = dir.filePath(fileName);
    QVERIFY(writeZip ? TestZip::write(path, {{QStringLiteral("book.fb2"), xml}}) : writeFile(path, xml));

    Fb2ByteSource source;
    QVERIFY2(source.open(path), qPrintable(source.errorString()));
    QCOMPARE(source.isZipped(), zipped);
    QCOMPARE(source.xmlData(), xml);
    QCOMPARE(source.errorString(), QString());
    QCOMPARE(source.readEntry(QStringLiteral("a.png")), QByteArray("ABC"));
}

void TestFb2ByteSource::openErrors_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("kind"); // what to put there
    QTest::addColumn<QString>("error"); // %1 is the path

    QTest::newRow("missing plain file") << "missing.fb2" << "nothing" << "Cannot open FB2 file: %1";
    QTest::newRow("missing zipped file") << "missing.fbz" << "nothing" << "Cannot open zip archive: %1";
    QTest::newRow("zip magic, no zip") << "fake.fb2" << "magic" << "Cannot open zip archive: %1";
    // minizip refuses an archive without entries.
    QTest::newRow("zip without entries") << "empty.fbz" << "empty zip" << "Cannot open zip archive: %1";
    QTest::newRow("only a folder entry") << "folder.fbz" << "folder" << "Archive contains no readable FB2 entry";
    QTest::newRow("empty book entry") << "blank.fb2.zip" << "blank entry" << "Archive contains no readable FB2 entry";
}

void TestFb2ByteSource::openErrors()
{
    QFETCH(QString, fileName);
    QFETCH(QString, kind);
    QFETCH(QString, error);

    const QString path = dir.filePath(fileName);
    if (kind == QLatin1String("magic"))
        QVERIFY(writeFile(path, QByteArray("PK\x03\x04") + " not really a zip"));
    else if (kind == QLatin1String("empty zip"))
        QVERIFY(TestZip::write(path, {}));
    else if (kind == QLatin1String("folder"))
        QVERIFY(TestZip::write(path, {{QStringLiteral("book/"), QByteArray()}}));
    else if (kind == QLatin1String("blank entry"))
        QVERIFY(TestZip::write(path, {{QStringLiteral("book.fb2"), QByteArray()}}));

    Fb2ByteSource source;
    QVERIFY(!source.open(path));
    QCOMPARE(source.errorString(), error.contains(QLatin1String("%1")) ? error.arg(path) : error);
    QVERIFY(source.listEntries().isEmpty());
    QVERIFY(source.xmlData().isEmpty());
    QVERIFY(source.contentHash().isEmpty());
}

void TestFb2ByteSource::bookEntryChoice_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<int>("chosen");

    QTest::newRow("fb2 in capitals after a text file") << QStringList{"notes.txt", "b.FB2"} << 1;
    QTest::newRow("only xml") << QStringList{"a.xml"} << 0;
    QTest::newRow("first of two fb2") << QStringList{"x.png", "one.fb2", "two.fb2"} << 1;
}

void TestFb2ByteSource::bookEntryChoice()
{
    QFETCH(QStringList, names);
    QFETCH(int, chosen);

    QList<TestZip::Entry> entries;
    for (const QString& name : names)
        entries.append({name, "content of " + name.toUtf8()});
    const QString path = dir.filePath(QStringLiteral("choice.fbz"));
    QFile::remove(path);
    QVERIFY(TestZip::write(path, entries));

    Fb2ByteSource source;
    QVERIFY(source.open(path));
    QCOMPARE(source.xmlData(), entries.at(chosen).data);
}

void TestFb2ByteSource::binaries()
{
    const QByteArray image = QByteArray::fromHex("89504e470d0a1a0a0000000d49484452") + QByteArray(300, '\x7f');
    const QByteArray xml = fictionBook(
        "<BINARY ID=\"#caps\" CONTENT-TYPE=\"image/png\">" + lineBroken(image) + "</BINARY>\n"
        "<binary content-type=\"image/jpeg\" id=\"plain.jpg\">\n" + QByteArray("jpeg bytes").toBase64() + "\n</binary>\n"
        "<binary id=\"#hashed\" content-type=\"image/gif\">R0lG</binary>\n"
        "<binary content-type=\"image/gif\">bm8gaWQ=</binary>\n"
        "<binary id=\"empty\" content-type=\"image/gif\"/>\n"
        "<binary q:kind=\"x\" id='prefixed'>cHJlZml4ZWQ=</binary>\n"
        "<binary id=\"after\">YWZ0ZXI=</binary>\n"
        "<binary id=\"cut\">Y3V0");
    const QString path = dir.filePath(QStringLiteral("binaries.fb2"));
    QVERIFY(writeFile(path, xml));

    Fb2ByteSource source;
    QVERIFY(source.open(path));
    QStringList names = source.listEntries();
    names.sort();
    QCOMPARE(names, (QStringList{"after", "caps", "hashed", "plain.jpg", "prefixed"}));
    QCOMPARE(source.readEntry(QStringLiteral("prefixed")), QByteArray("prefixed"));
    QCOMPARE(source.readEntry(QStringLiteral("caps")), image);
    QCOMPARE(source.readEntry(QStringLiteral("#caps")), image);
    QCOMPARE(source.readEntry(QStringLiteral("plain.jpg")), QByteArray("jpeg bytes"));
    QCOMPARE(source.readEntry(QStringLiteral("hashed")), QByteArray("GIF"));
    QCOMPARE(source.readEntry(QStringLiteral("after")), QByteArray("after"));
    QVERIFY(source.readEntry(QStringLiteral("cut")).isEmpty());
    QVERIFY(source.readEntry(QStringLiteral("unknown")).isEmpty());
    QVERIFY(source.readEntry(QString()).isEmpty());
}

void TestFb2ByteSource::binariesOfCp1251Book()
{
    QStringEncoder encoder("windows-1251");
    QVERIFY(encoder.isValid());
    const QByteArray image = QByteArray(2000, '\x01') + QByteArray(2000, '\xfe');
    const QByteArray id = encoder.encode(QStringLiteral("обложка.jpg"));
    const QByteArray xml = fictionBook(encoder.encode(QStringLiteral("<!-- Текст -->\n")) + "<binary id=\"" + id
                                           + "\" content-type=\"image/jpeg\">" + lineBroken(image, "\n")
                                           + "</binary>\n",
                                       "windows-1251");
    const QString path = dir.filePath(QStringLiteral("cp1251.fb2"));
    QVERIFY(writeFile(path, xml));

    Fb2ByteSource source;
    QVERIFY(source.open(path));
    QCOMPARE(source.listEntries(), QStringList{QStringLiteral("обложка.jpg")});
    QCOMPARE(source.readEntry(QStringLiteral("#обложка.jpg")), image);
}

void TestFb2ByteSource::contentHashIsTheFileDigest()
{
    const QString plain = dir.filePath(QStringLiteral("hash.fb2"));
    const QString zipped = dir.filePath(QStringLiteral("hash.fbz"));
    QVERIFY(writeFile(plain, fictionBook("")));
    QVERIFY(TestZip::write(zipped, {{QStringLiteral("hash.fb2"), fictionBook("")}}));

    Fb2ByteSource source;
    QVERIFY(source.open(plain));
    QCOMPARE(source.contentHash(), md5OfFile(plain));
    QCOMPARE(source.contentHash().size(), 16);
    QVERIFY(source.open(zipped));
    QCOMPARE(source.contentHash(), md5OfFile(zipped));
}

void TestFb2ByteSource::reopenStartsEmpty()
{
    const QString path = dir.filePath(QStringLiteral("reopen.fb2"));
    QVERIFY(writeFile(path, fictionBook("<binary id=\"a\">QUJD</binary>")));

    Fb2ByteSource source;
    QVERIFY(source.open(path));
    QCOMPARE(source.listEntries().size(), 1);
    QVERIFY(!source.open(dir.filePath(QStringLiteral("gone.fb2"))));
    QVERIFY(source.listEntries().isEmpty());
    QVERIFY(source.readEntry(QStringLiteral("a")).isEmpty());
    QVERIFY(source.contentHash().isEmpty());
}

void TestFb2ByteSource::manyAndLargeBinaries()
{
    QByteArray binaries;
    for (int i = 0; i < 3000; ++i)
        binaries += "<binary id=\"i" + QByteArray::number(i) + "\" content-type=\"image/png\">"
            + QByteArray::number(i * 7919).toBase64() + "</binary>\n";
    QByteArray large(3 * 1024 * 1024, '\0');
    for (qsizetype i = 0; i < large.size(); ++i)
        large[i] = char(i * 131 % 251);
    binaries += "<binary id=\"large\" content-type=\"image/jpeg\">" + lineBroken(large) + "</binary>\n";
    const QString path = dir.filePath(QStringLiteral("many.fb2"));
    QVERIFY(writeFile(path, fictionBook(binaries)));

    Fb2ByteSource source;
    QVERIFY(source.open(path));
    QCOMPARE(source.listEntries().size(), 3001);
    QCOMPARE(source.readEntry(QStringLiteral("i0")), QByteArray("0"));
    QCOMPARE(source.readEntry(QStringLiteral("i2999")), QByteArray::number(2999 * 7919));
    QCOMPARE(source.readEntry(QStringLiteral("large")), large);
}

QTEST_GUILESS_MAIN(TestFb2ByteSource)
#include "tst_fb2bytesource.moc"
