#include "DictionaryBreaks.h"

#include <QTest>

class TestDictionaryBreaks : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void needsDictionary_data();
    void needsDictionary();
};

void TestDictionaryBreaks::needsDictionary_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("needs");
    // Text is looked through four characters at a time: a Thai, Lao, Khmer or Burmese letter is
    // found at every place in a group and in the characters after the last whole group.
    const QString latin = QStringLiteral("Call me Ishmael.");
    const QList<std::pair<const char*, QChar>> letters{
        {"Thai", QChar(0x0E20)}, {"Lao", QChar(0x0E9E)}, {"Khmer", QChar(0x1780)}, {"Burmese", QChar(0x1019)}};
    for (const auto& [script, letter] : letters) {
        for (qsizetype at = 0; at <= 9; ++at) {
            QString text = latin.left(9);
            text.insert(at, letter);
            QTest::addRow("%s at %lld of 10", script, qint64(at)) << text << true;
        }
    }
    QTest::newRow("Latin") << latin << false;
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("Cyrillic") << QStringLiteral("Отцы и дети") << false;
    // Characters above the scripts' blocks are not theirs: quotes, dashes, ideographs, kana.
    QTest::newRow("quotes and dashes") << QStringLiteral("\u201CWell\u2014\u2019tis so,\u201D he said.") << false;
    QTest::newRow("Chinese and Japanese") << QStringLiteral("文字とかな、カナ") << false;
    QTest::newRow("Myanmar Extended-A") << QStringLiteral("abc\uAA60") << true;
    // Thai digits are of another line break class: they break as digits do.
    QTest::newRow("Thai digits") << QStringLiteral("\u0E51\u0E52\u0E53\u0E54\u0E55") << false;
}

void TestDictionaryBreaks::needsDictionary()
{
    QFETCH(QString, text);
    QFETCH(bool, needs);
    QCOMPARE(DictionaryBreaks::needsDictionary(text), needs);
}

QTEST_MAIN(TestDictionaryBreaks)
#include "tst_dictionarybreaks.moc"
