#include "formats/Utf8Slices.h"
#include "text/TextEncoding.h"

#include <QTest>
#include <QThreadPool>

#include <vector>

namespace {

// Text of every length of character, long enough to be cut into many slices, with lines of
// different lengths so that the slice bounds fall at every kind of byte.
QByteArray mixedText(qsizetype bytes)
{
    const QStringList tokens{QStringLiteral("Ascii"), QStringLiteral("\u0441\u043B\u043E\u0432\u043E"),
                             QStringLiteral("\u20AC\u4E2D"), QStringLiteral("\U0001F600\u00E9"), QStringLiteral("end.")};
    QString text;
    for (int i = 0; text.size() * 2 < bytes; ++i)
        text += tokens.at(i % tokens.size()) + (i % 7 == 0 ? QLatin1Char('\n') : QLatin1Char(' '));
    return text.toUtf8().left(bytes);
}

// What decodeInto writes and answers, the units as a string (empty when refused).
std::pair<qsizetype, QString> decoded(const QByteArray& bytes, int threads)
{
    QThreadPool pool;
    pool.setMaxThreadCount(threads);
    std::vector<char16_t> out(size_t(bytes.size()) + 1);
    const qsizetype units = Utf8Slices::decodeInto(bytes, out.data(), pool);
    return {units, units < 0 ? QString() : QString::fromUtf16(out.data(), units)};
}

} // namespace

class TestUtf8Slices : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Sliced or whole, the same bytes are accepted or refused, and the same text comes out, on
    // one thread as on several.
    void readsAsOnePassReads_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray text = mixedText(3 * 1024 * 1024 + 17);
        QTest::newRow("well-formed") << text;
        QTest::newRow("after a mark") << QByteArray("\xEF\xBB\xBF") + text;
        QTest::newRow("after two marks") << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF") + text;
        QTest::newRow("short") << mixedText(1000);
        QTest::newRow("declared as another encoding") << QByteArray("<?xml encoding=\"koi8-r\"?>") + text;
        // Faults at many places, so that some fall on or next to a slice bound.
        for (const int parts : {3, 7, 16, 64}) {
            for (int k = 1; k < parts; k += parts / 3 + 1) {
                const qsizetype at = text.size() * k / parts;
                QByteArray stray = text;
                stray.insert(at, '\x80');
                QTest::addRow("stray continuation at %d/%d", k, parts) << stray;
                QByteArray cut = text;
                cut.insert(at, "\xE2\x82");
                QTest::addRow("cut character at %d/%d", k, parts) << cut;
                QByteArray overlong = text;
                overlong.insert(at, "\xC0\xAF");
                QTest::addRow("overlong form at %d/%d", k, parts) << overlong;
            }
        }
        QByteArray lastByte = text;
        lastByte.append('\xF0');
        QTest::newRow("lead at the very end") << lastByte;
        QByteArray surrogate = text;
        surrogate.insert(text.size() / 2, "\xED\xA0\x80");
        QTest::newRow("surrogate in the middle") << surrogate;
    }
    void readsAsOnePassReads()
    {
        QFETCH(QByteArray, bytes);
        std::vector<char16_t> whole(size_t(bytes.size()) + 1);
        const qsizetype units = TextEncoding::decodeUtf8Into(bytes, whole.data());
        const QString text = units < 0 ? QString() : QString::fromUtf16(whole.data(), units);
        for (const int threads : {1, 8}) {
            const auto [slicedUnits, slicedText] = decoded(bytes, threads);
            QCOMPARE(slicedUnits, units);
            QCOMPARE(slicedText, text);
        }
    }

    // The count each slice places its units by, against Qt's decoder.
    void countsUnitsOfWellFormedText()
    {
        const QByteArray text = mixedText(100003);
        for (const qsizetype length : {0, 1, 7, 8, 9, 4099}) {
            qsizetype end = length;
            while (end < text.size() && (uchar(text.at(end)) & 0xC0) == 0x80)
                ++end;
            const QByteArray part = text.left(end);
            QCOMPARE(Utf8Slices::unitsOfWellFormed(part.constData(), part.size()), QString::fromUtf8(part).size());
        }
    }
};

QTEST_GUILESS_MAIN(TestUtf8Slices)
#include "tst_utf8slices.moc"
