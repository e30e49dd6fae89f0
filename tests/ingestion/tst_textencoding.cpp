#include "EncodedText.h"
#include "text/TextEncoding.h"

#include <QTest>

// Fixtures are made from known text here, so each row compares a decoding with its source text,
// whichever decoder (Qt's or iconv) happened to produce it.
class TestTextEncoding : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void decodesRealBookEncodings_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("hint");
        QTest::addColumn<QString>("expected");

        const QString ru = EncodedText::russian();
        QTest::newRow("UTF-8 without BOM") << ru.toUtf8() << QString() << ru;
        QTest::newRow("UTF-8 with BOM") << QByteArray("\xEF\xBB\xBF") + ru.toUtf8() << QString() << ru;
        QTest::newRow("UTF-16LE with BOM")
            << QByteArray("\xFF\xFE") + EncodedText::encode(ru, "UTF-16LE") << QString() << ru;
        QTest::newRow("UTF-16BE with BOM")
            << QByteArray("\xFE\xFF") + EncodedText::encode(ru, "UTF-16BE") << QString() << ru;
        QTest::newRow("windows-1251") << EncodedText::encode(ru, "windows-1251") << QString() << ru;
        QTest::newRow("KOI8-R") << EncodedText::encode(ru, "KOI8-R") << QString() << ru;
        QTest::newRow("cp866") << EncodedText::encode(ru, "IBM866") << QString() << ru;
        QTest::newRow("windows-1252")
            << EncodedText::encode(EncodedText::german(), "windows-1252") << QString() << EncodedText::german();
        QTest::newRow("Shift_JIS")
            << EncodedText::encode(EncodedText::japanese(), "Shift_JIS") << QString() << EncodedText::japanese();
        QTest::newRow("GB18030")
            << EncodedText::encode(EncodedText::chinese(), "GB18030") << QString() << EncodedText::chinese();
        // Detected without a hint: the 7-bit encodings, and the code pages uchardet does not name.
        const struct {
            const char* encoding;
            QString text;
        } detected[] = {
            {"ISO-2022-JP", EncodedText::japanese()},   {"ISO-2022-KR", EncodedText::korean()},
            {"ISO-2022-CN", EncodedText::chinese()},
            {"EUC-JP", EncodedText::japanese()},        {"EUC-KR", EncodedText::korean()},
            {"JOHAB", EncodedText::korean()},           {"EUC-TW", EncodedText::traditionalChinese()},
            {"Big5", EncodedText::traditionalChinese()}, {"IBM862", EncodedText::hebrew()},
            {"windows-1255", EncodedText::hebrew()},
        };
        for (const auto& row : detected)
            QTest::addRow("%s", row.encoding) << EncodedText::encode(row.text, row.encoding) << QString() << row.text;
        // HZ by hand: GB 2312 with the high bits cleared, between the shifts "~{" and "~}".
        QByteArray hz = EncodedText::encode(EncodedText::chinese(), "GB2312");
        for (char& byte : hz)
            byte = char(byte & 0x7F);
        QTest::newRow("HZ-GB-2312") << "~{" + hz + "~}" << QString() << EncodedText::chinese();
        // A pair that stands for no character: the rest still reads as Japanese, with no escape
        // sequence shown.
        QByteArray broken = EncodedText::encode(EncodedText::japanese(), "ISO-2022-JP");
        broken.insert(broken.indexOf("\x1B$B") + 3, "\x22\x2F");
        QTest::newRow("ISO-2022-JP with an undefined character")
            << broken << QString() << QString(u'\uFFFD') + EncodedText::japanese();
        const QString template_ = QStringLiteral("Write ~{ name ~} where the name goes, and ~{~} for none.");
        QTest::newRow("tildes and braces in ASCII are no HZ") << template_.toLatin1() << QString() << template_;
        const QString de = EncodedText::german();
        QTest::newRow("UTF-32LE with BOM")
            << QByteArray("\xFF\xFE\0\0", 4) + EncodedText::encode(de, "UTF-32LE") << QString() << de;
        QTest::newRow("UTF-32BE with BOM")
            << QByteArray("\0\0\xFE\xFF", 4) + EncodedText::encode(de, "UTF-32BE") << QString() << de;

        const QString prolog = QStringLiteral("<?xml version=\"1.0\" encoding=\"koi8-r\"?><p>");
        QTest::newRow("XML prolog declares koi8-r")
            << prolog.toLatin1() + EncodedText::encode(ru, "KOI8-R") << QString() << prolog + ru;
        const QString meta = QStringLiteral("<html><head><meta charset=\"windows-1251\"></head><body>");
        QTest::newRow("HTML meta charset")
            << meta.toLatin1() + EncodedText::encode(ru, "windows-1251") << QString() << meta + ru;
        const QString contentType = QStringLiteral(
            "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=cp866\">");
        QTest::newRow("HTML 4 content type")
            << contentType.toLatin1() + EncodedText::encode(ru, "IBM866") << QString() << contentType + ru;

        // Too short for any detector: the caller knows the encoding.
        const QString word = QStringLiteral("Ёж");
        QTest::newRow("hint windows-1251") << EncodedText::encode(word, "windows-1251") << "windows-1251" << word;
        QTest::newRow("hint koi8-r") << EncodedText::encode(word, "KOI8-R") << "koi8-r" << word;
        QTest::newRow("hint naming no encoding reads UTF-8")
            << QByteArray("caf\xC3\xA9") << "no-such-enc" << QStringLiteral("café");
        QTest::newRow("declared UTF-16 in an ASCII prolog is false")
            << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-16\"?><a>caf\xC3\xA9</a>") << QString()
            << QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\"?><a>café</a>");
        QTest::newRow("UTF-16BE without BOM")
            << EncodedText::encode(ru, "UTF-16BE") << QString() << ru;
        QTest::newRow("UTF-16LE without BOM")
            << EncodedText::encode(EncodedText::german(), "UTF-16LE") << QString() << EncodedText::german();
        QTest::newRow("odd trailing byte of UTF-16LE dropped")
            << QByteArray("\xFF\xFEh\0i\0!", 7) << QString() << QStringLiteral("hi");
    }
    void decodesRealBookEncodings()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, hint);
        QFETCH(QString, expected);
        QVERIFY(!bytes.isEmpty());
        QCOMPARE(TextEncoding::decode(bytes, hint), expected);
    }

    // Every name uchardet gives decodes the text of its script, through Qt or iconv.
    void decodesEveryDetectorName_data()
    {
        QTest::addColumn<QString>("encoding");
        QTest::addColumn<QString>("text");
        const QString ru = EncodedText::russian();
        const QString cs = QStringLiteral("Příliš žluťoučký kůň úpěl ďábelské ódy.");
        const QString lt = QStringLiteral("Įlinkdama fechtuotojo špaga sublykčiojusi pragręžė apvalų arbūzą.");
        const QString el = QStringLiteral("Ξεσκεπάζω την ψυχοφθόρα βδελυγμία.");
        const QString ar = QStringLiteral("نص حكيم له سر قاطع وذو شأن عظيم مكتوب على ثوب أخضر.");
        const QString th = QStringLiteral("เป็นมนุษย์สุดประเสริฐเลิศคุณค่า");
        const QString vi = QStringLiteral("Tiếng Việt có dấu: Một ngày đẹp trời.");
        const QString he = EncodedText::hebrew();
        const struct {
            const char* encoding;
            QString text;
        } rows[] = {
            {"BIG5", EncodedText::traditionalChinese()}, {"EUC-JP", EncodedText::japanese()},
            {"EUC-KR", EncodedText::korean()}, {"UHC", EncodedText::korean()},
            {"EUC-TW", EncodedText::traditionalChinese()}, {"GB18030", EncodedText::chinese()},
            {"HZ-GB-2312", EncodedText::chinese()}, {"ISO-2022-CN", EncodedText::chinese()},
            {"ISO-2022-JP", EncodedText::japanese()}, {"ISO-2022-KR", EncodedText::korean()},
            {"SHIFT_JIS", EncodedText::japanese()}, {"JOHAB", EncodedText::korean()},
            {"IBM852", QStringLiteral("Zażółć gęślą jaźń.")}, {"IBM855", ru}, {"IBM862", he}, {"IBM866", ru},
            {"KOI8-R", ru}, {"MAC-CENTRALEUROPE", cs}, {"MAC-CYRILLIC", ru}, {"TIS-620", th}, {"VISCII", vi},
            {"ISO-8859-1", EncodedText::german()}, {"ISO-8859-2", cs},
            {"ISO-8859-3", QStringLiteral("Eĥoŝanĝo ĉiuĵaŭde.")}, {"ISO-8859-4", lt}, {"ISO-8859-5", ru},
            {"ISO-8859-6", ar}, {"ISO-8859-7", el}, {"ISO-8859-8", he},
            {"ISO-8859-9", QStringLiteral("Pijamalı hasta yağız şoföre çabucak güvendi.")},
            {"ISO-8859-10", QStringLiteral("Kæmi ný öxi hér ykist þjófum nú bæði víl og ádrepa.")},
            {"ISO-8859-11", th}, {"ISO-8859-13", lt}, {"ISO-8859-15", EncodedText::german()},
            {"ISO-8859-16", QStringLiteral("Înjurând pițigăiat, zoofobul comandă vexat whisky și tequila.")},
            {"WINDOWS-1250", cs}, {"WINDOWS-1251", ru}, {"WINDOWS-1252", EncodedText::german()},
            {"WINDOWS-1253", el}, {"WINDOWS-1255", he}, {"WINDOWS-1256", ar}, {"WINDOWS-1257", lt},
            {"WINDOWS-1258", vi}, {"UTF-16", ru}, {"UTF-32", ru},
        };
        for (const auto& row : rows)
            QTest::addRow("%s", row.encoding) << QString::fromLatin1(row.encoding) << row.text;
    }
    void decodesEveryDetectorName()
    {
        QFETCH(QString, encoding);
        QFETCH(QString, text);
        const QByteArray bytes = EncodedText::encode(text, encoding.toLatin1().constData());
        QVERIFY(!bytes.isEmpty());
        // Vietnamese code pages may hold a letter and its tone mark apart.
        QCOMPARE(TextEncoding::decodeWithEncoding(bytes, encoding).normalized(QString::NormalizationForm_C), text);
    }

    // UCS-4 in the byte orders 3412 and 2143, which neither Qt nor iconv reads.
    void decodesUnusualUcs4Orders_data()
    {
        QTest::addColumn<QString>("encoding");
        QTest::addColumn<QList<int>>("order");
        QTest::newRow("3412") << QStringLiteral("X-ISO-10646-UCS-4-3412") << QList<int>{2, 3, 0, 1};
        QTest::newRow("2143") << QStringLiteral("X-ISO-10646-UCS-4-2143") << QList<int>{1, 0, 3, 2};
    }
    void decodesUnusualUcs4Orders()
    {
        QFETCH(QString, encoding);
        QFETCH(QList<int>, order);
        const QString text = EncodedText::german() + QStringLiteral(" 😀");
        const QByteArray bigEndian = EncodedText::encode(text, "UTF-32BE");
        QByteArray bytes(bigEndian.size(), '\0');
        for (qsizetype i = 0; i < bytes.size(); i += 4) {
            for (int k = 0; k < 4; ++k)
                bytes[i + order[k]] = bigEndian[i + k];
        }
        QCOMPARE(TextEncoding::decodeWithEncoding(bytes, encoding), text);
    }

    // A code page named by a declaration or a hint keeps its reading when one byte is undefined
    // in it; only that byte is lost, not the book.
    void undefinedByteKeepsTheNamedCodePage_data()
    {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<QString>("hint");
        QTest::newRow("hint") << QByteArray() << QStringLiteral("Shift_JIS");
        QTest::newRow("declaration") << QByteArray("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>") << QString();
    }
    void undefinedByteKeepsTheNamedCodePage()
    {
        QFETCH(QByteArray, head);
        QFETCH(QString, hint);
        const QString before = EncodedText::japanese().left(40);
        const QString after = EncodedText::japanese().mid(40);
        const QByteArray bytes = head + EncodedText::encode(before, "Shift_JIS") + "\x80"
            + EncodedText::encode(after, "Shift_JIS");
        const QString text = TextEncoding::decode(bytes, hint);
        const QString expectedStart = QString::fromLatin1(head) + before;
        QVERIFY(text.startsWith(expectedStart));
        QVERIFY(text.endsWith(after));
        QCOMPARE(text.size(), expectedStart.size() + 1 + after.size());
    }

    // uchardet's Cyrillic answers are checked against the common code pages by their letter cases:
    // one byte undefined in windows-1251 must not turn the book into another code page...
    void strayByteKeepsWindows1251()
    {
        const QString ru = EncodedText::russian();
        const qsizetype half = ru.size() / 2;
        const QByteArray bytes = EncodedText::encode(ru.left(half), "windows-1251") + "\x98"
            + EncodedText::encode(ru.mid(half), "windows-1251");
        QCOMPARE(TextEncoding::detectEncoding(bytes), QStringLiteral("windows-1251"));
        // The stray byte itself becomes whatever the decoder makes of it.
        const QString text = TextEncoding::decode(bytes, QString());
        QCOMPARE(text.size(), ru.size() + 1);
        QCOMPARE(text.left(half), ru.left(half));
        QCOMPARE(text.mid(half + 1), ru.mid(half));
    }

    // ... while the code pages it names rightly stay its answer.
    void keepsRightCyrillicAnswers_data()
    {
        QTest::addColumn<QString>("encoding");
        QTest::newRow("MAC-CYRILLIC") << QStringLiteral("MAC-CYRILLIC");
        QTest::newRow("ISO-8859-5") << QStringLiteral("ISO-8859-5");
        QTest::newRow("IBM855") << QStringLiteral("IBM855");
    }
    void keepsRightCyrillicAnswers()
    {
        QFETCH(QString, encoding);
        const QByteArray bytes = EncodedText::encode(EncodedText::russian(), qPrintable(encoding));
        QVERIFY(!bytes.isEmpty());
        QCOMPARE(TextEncoding::detectEncoding(bytes), encoding);
        QCOMPARE(TextEncoding::decode(bytes, QString()), EncodedText::russian());
    }

    // Real East Asian prose of a few kilobytes reads in its own code page, also when a few bytes
    // in it are stray (one in the middle, or one on every line): each stray byte costs only its
    // own character, which becomes a replacement mark.
    void readsEastAsianProseWithStrayBytes_data()
    {
        QTest::addColumn<QString>("encoding");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("strays"); // 0 none, 1 one in the middle, 2 one per line
        // A Korean statute in Hangul, and a constitution written mostly in Hanja.
        const QString koreanLaw = QStringLiteral(
            "제1조(목적) 이 법은 국민의 기본적 인권을 보장하고 공공의 안녕과 질서를 유지함을 목적으로 한다.\n"
            "제2조(정의) 이 법에서 사용하는 용어의 뜻은 다음과 같다.\n"
            "1. \"국가기관\"이란 헌법 또는 법률에 따라 설치된 기관을 말한다.\n"
            "제3조(국가 등의 책무) ① 국가와 지방자치단체는 국민의 권리를 보호하기 위하여 필요한 시책을 수립하고 "
            "시행하여야 한다.\n② 국가는 제1항에 따른 시책을 추진하기 위하여 필요한 재원을 확보하도록 노력하여야 한다.\n"
            "제4조(벌칙) 거짓이나 그 밖의 부정한 방법으로 신고를 한 자는 1년 이하의 징역 또는 1천만원 이하의 벌금에 "
            "처한다.\n부칙\n이 법은 공포한 날부터 시행한다.\n");
        const QString koreanHanja = QStringLiteral(
            "第1條 ① 大韓民國은 民主共和國이다.\n② 大韓民國의 主權은 國民에게 있고, 모든 權力은 國民으로부터 나온다.\n"
            "第2條 ① 大韓民國의 國民이 되는 要件은 法律로 정한다.\n"
            "第3條 大韓民國의 領土는 韓半島와 그 附屬島嶼로 한다.\n"
            "第4條 大韓民國은 統一을 指向하며, 自由民主的 基本秩序에 입각한 平和的 統一 政策을 수립하고 이를 추진한다.\n");
        const QString traditional = QStringLiteral(
            "第一條 中華民國基於三民主義，為民有民治民享之民主共和國。\n第二條 中華民國之主權屬於國民全體。\n"
            "第三條 具有中華民國國籍者為中華民國國民。\n第七條 中華民國人民，無分男女，宗教，種族，階級，黨派，"
            "在法律上一律平等。\n第八條 人民身體之自由應予保障。除現行犯之逮捕由法律另定外，非經司法或警察機關依法定"
            "程序，不得逮捕拘禁。\n第十條 人民有居住及遷徙之自由。\n第十一條 人民有言論、講學、著作及出版之自由。\n");
        const QString simplified = QStringLiteral(
            "从前有座山，山里有座庙，庙里有个老和尚在给小和尚讲故事。他说的是很久以前的事情，那时候这里还没有人家。\n"
            "春天来了，花儿开了，鸟儿在树上唱歌，孩子们在草地上玩耍，大人们到田里去工作。\n"
            "我们的国家有很长的历史，人民在这片土地上生活了几千年，发展出了自己的文化和语言。\n");
        const QString japanese = QStringLiteral(
            "昔々、ある所にお爺さんとお婆さんが住んでいました。お爺さんは山へ柴刈りに、お婆さんは川へ洗濯に行きました。\n"
            "お婆さんが川で洗濯をしていると、大きな桃がどんぶらこ、どんぶらこと流れてきました。\n"
            "お婆さんはその桃を家に持って帰り、お爺さんと二人で食べようとしました。\n");
        const struct {
            const char* encoding;
            QString text;
        } rows[] = {
            {"JOHAB", koreanLaw},      {"JOHAB", koreanHanja},     {"EUC-KR", koreanLaw}, {"EUC-KR", koreanHanja},
            {"EUC-TW", traditional},   {"Big5", traditional},      {"GB18030", simplified},
            {"GB18030", traditional},  {"Shift_JIS", japanese},    {"EUC-JP", japanese},
        };
        for (const auto& row : rows) {
            const QString text = row.text.repeated(4096 / row.text.size() + 1);
            for (int strays : {0, 1, 2})
                QTest::addRow("%s, %s, strays %d", row.encoding, qPrintable(row.text.left(3)), strays)
                    << QString::fromLatin1(row.encoding) << text << strays;
        }
    }
    void readsEastAsianProseWithStrayBytes()
    {
        QFETCH(QString, encoding);
        QFETCH(QString, text);
        QFETCH(int, strays);
        const QByteArray clean = EncodedText::encode(text, qPrintable(encoding));
        QVERIFY(clean.size() > 4096);
        QByteArray bytes;
        int inserted = 0;
        for (const QByteArray& line : clean.split('\n')) {
            if (!bytes.isEmpty())
                bytes += '\n';
            // After the first character of the line, which is ASCII or a pair of bytes.
            const qsizetype at = !line.isEmpty() && uchar(line.at(0)) < 0x80 ? 1 : 2;
            const bool stray = line.size() > at
                && (strays == 2 || (strays == 1 && inserted == 0 && bytes.size() > clean.size() / 2));
            bytes += stray ? line.left(at) + '\xFF' + line.mid(at) : line;
            inserted += stray;
        }
        // Some Big5 tables read the byte as a private-use character rather than U+FFFD.
        QString decoded = TextEncoding::decode(bytes, QString());
        const qsizetype size = decoded.size();
        decoded.removeIf([](QChar c) { return c == u'\uFFFD' || (c.unicode() >= 0xE000 && c.unicode() <= 0xF8FF); });
        QVERIFY(size - decoded.size() <= inserted);
        QCOMPARE(decoded, text);
    }

    void badInputGivesText_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty") << QByteArray() << QString();
        QTest::newRow("UTF-8 BOM alone") << QByteArray("\xEF\xBB\xBF") << QString();
        QTest::newRow("UTF-16LE BOM alone") << QByteArray("\xFF\xFE") << QString();
        QTest::newRow("UTF-16BE BOM alone") << QByteArray("\xFE\xFF") << QString();
        QTest::newRow("unknown declared encoding, UTF-8 body")
            << QByteArray("<?xml version=\"1.0\" encoding=\"x-bogus\"?>\xC3\xA9")
            << QStringLiteral("<?xml version=\"1.0\" encoding=\"x-bogus\"?>é");
        QTest::newRow("unknown declared encoding, other body")
            << QByteArray("<?xml version=\"1.0\" encoding=\"x-bogus\"?>\xE9")
            << QStringLiteral("<?xml version=\"1.0\" encoding=\"x-bogus\"?>\uFFFD");
    }
    void badInputGivesText()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        QCOMPARE(TextEncoding::decode(bytes, QString()), expected);
    }

    void binaryDataDecodesToSomething()
    {
        QByteArray bytes;
        for (int i = 0; i < 4096; ++i)
            bytes.append(char((i * 7919 + 13) % 256));
        QVERIFY(!TextEncoding::decode(bytes, QString()).isEmpty());
    }

    void detectsEncoding_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("encoding");
        const QByteArray utf8Body = EncodedText::russian().toUtf8();
        QTest::newRow("empty") << QByteArray() << QString();
        QTest::newRow("UTF-8 mark") << QByteArray("\xEF\xBB\xBFhi") << "UTF-8";
        QTest::newRow("UTF-16LE mark") << QByteArray("\xFF\xFEh\0i\0", 6) << "UTF-16LE";
        QTest::newRow("UTF-16BE mark") << QByteArray("\xFE\xFF\0h\0i", 6) << "UTF-16BE";
        QTest::newRow("ASCII is UTF-8") << QByteArray("plain text") << "UTF-8";
        QTest::newRow("unmarked UTF-16BE")
            << EncodedText::encode(EncodedText::russian(), "UTF-16BE") << "UTF-16BE";
        QTest::newRow("unmarked UTF-16LE")
            << EncodedText::encode(QStringLiteral("plain ASCII text"), "UTF-16LE") << "UTF-16LE";
        QTest::newRow("zeros on both sides are no UTF-16") << QByteArray(64, '\0') << "UTF-8";
        QTest::newRow("a few units say no byte order") << QByteArray("h\0i\0", 4) << "UTF-8";
        QTest::newRow("declaration beats a UTF-8 body")
            << QByteArray("<?xml version=\"1.0\" encoding=\"koi8-r\"?>") + utf8Body << "koi8-r";
        QTest::newRow("declared name as written")
            << QByteArray("<?xml version='1.0' encoding = 'WINDOWS-1251' ?>") << "WINDOWS-1251";
        QTest::newRow("declaration past the first kilobyte unseen")
            << QByteArray(1100, ' ') + "<?xml version=\"1.0\" encoding=\"koi8-r\"?>" + utf8Body << "UTF-8";
        QTest::newRow("meta charset") << QByteArray("<META CHARSET=cp866>") << "cp866";
        QTest::newRow("content charset")
            << QByteArray("<meta content=\"text/html; charset=iso-8859-5\">") << "iso-8859-5";
        QTest::newRow("declared UTF-16 falls through to the next pattern")
            << QByteArray("<?xml encoding=\"utf-16\"?><meta charset=\"koi8-r\">") << "koi8-r";
    }
    void detectsEncoding()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, encoding);
        QCOMPARE(TextEncoding::detectEncoding(bytes), encoding);
    }

    void validatesUtf8_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("valid");
        QTest::newRow("empty") << QByteArray() << true;
        QTest::newRow("ASCII") << QByteArray("abc") << true;
        QTest::newRow("euro sign") << QByteArray("\xE2\x82\xAC") << true;
        QTest::newRow("four-byte emoji") << QByteArray("\xF0\x9F\x98\x80") << true;
        QTest::newRow("U+10FFFF") << QByteArray("\xF4\x8F\xBF\xBF") << true;
        QTest::newRow("overlong slash") << QByteArray("\xC0\xAF") << false;
        QTest::newRow("overlong three-byte") << QByteArray("\xE0\x80\xAF") << false;
        QTest::newRow("encoded surrogate") << QByteArray("\xED\xA0\x80") << false;
        QTest::newRow("above U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << false;
        QTest::newRow("cut off by the end") << QByteArray("\xE2\x82") << false;
        QTest::newRow("lone continuation") << QByteArray("\x80") << false;
        QTest::newRow("bad continuation") << QByteArray("\xE2\x28\xA1") << false;
        QTest::newRow("lead F5") << QByteArray("\xF5\x80\x80\x80") << false;
        // Runs of two-byte letters, as in Cyrillic words, with a fault inside the run.
        const QByteArray letter("\xD0\xB0");
        QTest::newRow("words of two-byte letters") << letter.repeated(6) + ' ' + letter.repeated(9) << true;
        QTest::newRow("overlong pair among letters") << letter.repeated(2) + "\xC1\xBF" + letter.repeated(4) << false;
        QTest::newRow("bad continuation among letters") << letter.repeated(3) + "\xD0\x41" + letter.repeated(4) << false;
        QTest::newRow("three-byte lead among letters") << letter.repeated(2) + "\xE2\x82" + letter.repeated(4) << false;
        QTest::newRow("letters cut off by the end") << letter.repeated(5) + "\xD0" << false;
        // Every kind of character next to runs long enough for the loops that take eight bytes.
        const QByteArray mixed = QByteArray("plain ASCII text, ") + letter.repeated(11) + " \xE2\x80\x94 "
            + "\xF0\x9F\x98\x80" + letter.repeated(4) + "\xC3\xA9\xEF\xBB\xBF" + "\xE4\xB8\xAD" + letter;
        QTest::newRow("mixed") << mixed << true;
        QTest::newRow("mixed, cut inside the emoji") << mixed.left(mixed.indexOf("\xF0") + 3) << false;
        QTest::newRow("mixed, then a lone continuation") << mixed + "\xBF" + mixed << false;
    }
    void validatesUtf8()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, valid);
        QCOMPARE(isValidUtf8(bytes.constData(), bytes.size()), valid);
        // The decoder takes what the check takes, and reads it as Qt does.
        QString units(bytes.size(), Qt::Uninitialized);
        const qsizetype written = decodeWellFormedUtf8(bytes.constData(), bytes.size(),
                                                       reinterpret_cast<char16_t*>(units.data()));
        QCOMPARE(written >= 0, valid);
        if (valid)
            QCOMPARE(units.left(written), QString::fromUtf8(bytes));
    }

    // The one-pass path takes only the books that detection reads as UTF-8, from where their
    // text starts.
    void findsWhereUtf8TextStarts_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<qsizetype>("start");
        const QByteArray text("\xD0\x9E\xD1\x82\xD1\x86\xD1\x8B \xD0\xB8 \xD0\xB4\xD0\xB5\xD1\x82\xD0\xB8, plain words");
        QTest::newRow("UTF-8") << text << qsizetype(0);
        QTest::newRow("UTF-8 after its mark") << QByteArray("\xEF\xBB\xBF") + text << qsizetype(3);
        QTest::newRow("UTF-8 after two marks") << QByteArray("\xEF\xBB\xBF").repeated(2) + text << qsizetype(6);
        QTest::newRow("UTF-8 after three marks") << QByteArray("\xEF\xBB\xBF").repeated(3) + text << qsizetype(6);
        QTest::newRow("declared as another encoding") << "<?xml version=\"1.0\" encoding=\"koi8-r\"?>" + text
                                                      << qsizetype(-1);
        QTest::newRow("UTF-16 mark") << QByteArray("\xFF\xFE") + text << qsizetype(-1);
        QTest::newRow("empty") << QByteArray() << qsizetype(-1);
    }
    void findsWhereUtf8TextStarts()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(qsizetype, start);
        QCOMPARE(TextEncoding::utf8TextStart(bytes), start);
        // What decoding gave before it took UTF-8 in one pass: Qt's reading after the mark.
        const bool marked = bytes.startsWith("\xEF\xBB\xBF");
        if (start >= 0)
            QCOMPARE(TextEncoding::decode(bytes, QString()), QString::fromUtf8(bytes.mid(marked ? 3 : 0)));
    }

    void scoresCyrillic_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("codePage");
        const QString ru = EncodedText::russian();
        QTest::newRow("nothing") << QByteArray() << "windows-1252";
        QTest::newRow("too few high bytes") << QByteArray("caf\xE9 na\xEFve") << "windows-1252";
        QTest::newRow("tie of 1251 and koi8-r at 6") << QByteArray("\xE0\xC0\xE0\xC0") << "windows-1251";
        QTest::newRow("windows-1251 text") << EncodedText::encode(ru, "windows-1251") << "windows-1251";
        QTest::newRow("koi8-r text") << EncodedText::encode(ru, "KOI8-R") << "koi8-r";
        QTest::newRow("cp866 text") << EncodedText::encode(ru, "IBM866") << "cp866";
    }
    void scoresCyrillic()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, codePage);
        QCOMPARE(TextEncoding::guessCyrillicCodePage(bytes), codePage);
    }
};

QTEST_GUILESS_MAIN(TestTextEncoding)
#include "tst_textencoding.moc"
