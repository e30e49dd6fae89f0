#include "DefaultFormats.h"
#include "DocumentChunkBuilder.h"
#include "FormatRegistry.h"
#include "EncodedText.h"
#include "PlainTextParagraphs.h"
#include "TxtReader.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
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

} // namespace

class TestTxtReader : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QVERIFY(dir.isValid()); }

    void opensLegacyEncodedBook()
    {
        // A hard-wrapped paragraph between a heading and a closing line, with DOS line ends.
        const QStringList wrapped = EncodedText::russian().split(QStringLiteral(", "));
        const QString text = QStringLiteral("Глава первая\r\n\r\n") + wrapped.join(QStringLiteral(",\r\n"))
            + QStringLiteral("\r\n\r\nКонец");
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
        QByteArray binary;
        for (int i = 0; i < 200000; ++i)
            binary.append(char((i * 7919 + 13) % 256));
        QTest::newRow("binary data") << binary;
    }
    void chunksStayNearTheBudget()
    {
        QFETCH(QByteArray, bytes);
        TxtReader reader;
        QVERIFY(reader.open(write(QStringLiteral("big.txt"), bytes)));
        const QList<ContentChunk> chunks = reader.chunks();
        QVERIFY(chunks.size() > 10);
        const int limit = DocumentChunkBuilder::ReaderBudget
            + int(PlainTextParagraphs::longLineLength(DocumentChunkBuilder::ReaderBudget));
        for (const ContentChunk& chunk : chunks)
            QVERIFY2(chunk.weight <= limit, qPrintable(QString::number(chunk.weight)));
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

    void unknownDeclaredEncodingStillOpens()
    {
        TxtReader reader;
        QVERIFY(reader.open(write(QStringLiteral("bogus.txt"), "<?xml encoding=\"x-bogus\"?>\ncaf\xC3\xA9")));
        QCOMPARE(paragraphTexts(reader.chunks()),
                 (QStringList{QStringLiteral("<?xml encoding=\"x-bogus\"?>"), QStringLiteral("café")}));
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
        QCOMPARE(reader.errorString(), QStringLiteral("Cannot open text file: ") + path);
        QCOMPARE(reader.filePath(), path);
        QVERIFY(reader.chunks().isEmpty());
        QVERIFY(reader.contentHash().isEmpty());

        QVERIFY(!reader.loadMetadata(path));
        QCOMPARE(reader.errorString(), QStringLiteral("Cannot open text file: ") + path);
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
