#include "text/TextEncoding.h"

#include "text/CancelToken.h"
#include "text/EastAsianText.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <uchardet.h>

namespace {

// Declarations sit in the prolog; scanning further would find "charset=" in ordinary prose.
constexpr qsizetype kDeclarationWindow = 1024;
constexpr qsizetype kCyrillicWindow = 32768;
// Below this score the high bytes are too few or too scattered to be Cyrillic letters.
constexpr int kCyrillicMinimumScore = 6;
constexpr qsizetype kUtf16Window = 65536;
// A few code units say nothing about a byte order.
constexpr qsizetype kUtf16MinimumUnits = 8;
constexpr qsizetype kEscapeWindow = 65536;
// Below this share of frequent characters a reading is not East Asian prose.
constexpr double kEastAsianMinimumShare = 0.3;
// Fewer letters than this are too few to tell a script by.
constexpr qsizetype kScriptMinimumLetters = 4;

bool startsWith(const QByteArray& data, const char* mark)
{
    return data.startsWith(QByteArrayView(mark));
}

bool isOneOf(const QString& name, std::initializer_list<const char*> candidates)
{
    for (const char* candidate : candidates) {
        if (name.compare(QLatin1String(candidate), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// Copies rather than reinterprets the bytes: they need not be aligned for char16_t, nor in host order.
QString fromUtf16LittleEndian(const char* bytes, qsizetype size)
{
    const qsizetype units = size / 2;
    QString text(units, Qt::Uninitialized);
    qFromLittleEndian<char16_t>(bytes, units, text.data());
    return text;
}

// Text that a pattern read as Latin-1 is ASCII-compatible, so it cannot be UTF-16 or UTF-32
// whatever it claims; following such a claim would turn the book into CJK noise.
bool namesWideUnicode(const QString& name)
{
    QString compact = name.toLower();
    compact.remove(QLatin1Char('-'));
    compact.remove(QLatin1Char('_'));
    for (const char* prefix : {"utf16", "utf32", "ucs2", "ucs4"}) {
        if (compact.startsWith(QLatin1String(prefix)))
            return true;
    }
    return false;
}

// UTF-16 without a byte-order mark: spaces, digits and Latin letters put a zero byte on one
// side of their code unit, while 8-bit text has no zero bytes and binary data has them on both
// sides. Empty when the zeros do not point to one byte order.
QString unmarkedUtf16(const QByteArray& data)
{
    const qsizetype size = qMin(data.size(), kUtf16Window) & ~qsizetype(1);
    const qsizetype units = size / 2;
    if (units < kUtf16MinimumUnits)
        return {};
    qsizetype zerosFirst = 0;
    qsizetype zerosSecond = 0;
    for (qsizetype i = 0; i < size; i += 2) {
        zerosFirst += data[i] == '\0';
        zerosSecond += data[i + 1] == '\0';
    }
    const qsizetype most = qMax(zerosFirst, zerosSecond);
    const qsizetype least = qMin(zerosFirst, zerosSecond);
    // One unit in ten carrying a zero is fewer than the spaces of any prose; the other side may
    // hold a stray zero (U+0100-style letters), not a pattern.
    if (most * 10 < units || least * 20 > most)
        return {};
    return zerosFirst > zerosSecond ? QStringLiteral("UTF-16BE") : QStringLiteral("UTF-16LE");
}

QString declaredEncoding(const QByteArray& data)
{
    static const QRegularExpression kPatterns[] = {
        QRegularExpression(QStringLiteral(R"(encoding\s*=\s*["']([^"']+)["'])"),
                           QRegularExpression::CaseInsensitiveOption),
        QRegularExpression(QStringLiteral(R"(<meta\s+[^>]*charset\s*=\s*["']?([^"'>/\s]+))"),
                           QRegularExpression::CaseInsensitiveOption),
        QRegularExpression(QStringLiteral(R"(content\s*=\s*["'][^"']*charset=([^"';\s]+))"),
                           QRegularExpression::CaseInsensitiveOption),
    };
    const QString head = QString::fromLatin1(data.constData(), qMin(data.size(), kDeclarationWindow));
    for (const QRegularExpression& pattern : kPatterns) {
        const QRegularExpressionMatch match = pattern.match(head);
        if (!match.hasMatch())
            continue;
        const QString name = match.captured(1).trimmed();
        if (!name.isEmpty() && !namesWideUnicode(name))
            return name;
    }
    return {};
}

QString uchardetGuess(const QByteArray& data)
{
    uchardet_t detector = uchardet_new();
    if (!detector)
        return {};
    // The guess settles long before the end of a book, and uchardet's cost grows with the input
    // (seconds for a 50 MB file), so it sees the first megabyte only.
    constexpr qsizetype kSampleSize = 1 << 20;
    uchardet_handle_data(detector, data.constData(), size_t(qMin(data.size(), kSampleSize)));
    uchardet_data_end(detector);
    const char* charset = uchardet_get_charset(detector);
    // The name belongs to the detector: copy it before deleting it.
    const QString name = charset ? QString::fromLatin1(charset).trimmed() : QString();
    uchardet_delete(detector);
    if (isOneOf(name, {"ASCII", "unknown"}))
        return {};
    return name;
}

bool isGb18030Lead(unsigned char byte)
{
    return byte >= 0x81 && byte <= 0xFE;
}

bool isGb18030Digit(unsigned char byte)
{
    return byte >= 0x30 && byte <= 0x39;
}

// How many bytes at bytes[0] a GB18030 reading takes as one character it cannot read: a whole
// sequence of four (lead, digit, lead, digit) or of two (lead, non-ASCII trail) that the tables
// leave unassigned, such as those past U+10FFFF. Taking only the lead would start the next
// character at the digit or at the trail byte, and a code table of four-byte sequences would
// then read as other characters from there on. Any other byte, and a lead before an ASCII byte,
// goes alone, so that the ASCII byte is read as itself.
size_t gb18030UnreadableLength(const unsigned char* bytes, size_t available)
{
    if (available < 2 || !isGb18030Lead(bytes[0]))
        return 1;
    if (isGb18030Digit(bytes[1]))
        return available >= 4 && isGb18030Lead(bytes[2]) && isGb18030Digit(bytes[3]) ? 4 : 1;
    return bytes[1] >= 0x80 && bytes[1] <= 0xFE ? 2 : 1;
}

// Converts the whole buffer to UTF-8 through iconv. Strict: any undefined or cut-off sequence
// fails. Lenient: each character iconv cannot read becomes U+FFFD and conversion goes on; a
// character is one byte, or in GB18030 the whole sequence of an unassigned code. A null string
// means iconv does not know the name or gave up.
QString decodeWithIconv(const QByteArray& data, const QString& name, bool lenient)
{
    iconv_t descriptor = iconv_open("UTF-8", name.toUtf8().constData());
    if (descriptor == iconv_t(-1))
        return {};
    // Four bytes of UTF-8 per input byte covers every character, and also the three bytes of
    // U+FFFD written for a skipped byte.
    QByteArray output(4 * data.size() + 4, Qt::Uninitialized);
    char* in = const_cast<char*>(data.constData()); // iconv's signature only; input is not written
    size_t inLeft = size_t(data.size());
    char* out = output.data();
    size_t outLeft = size_t(output.size());
    const bool gb18030 = isOneOf(name, {"GB18030"});
    bool failed = false;
    while (inLeft > 0) {
        if (iconv(descriptor, &in, &inLeft, &out, &outLeft) != size_t(-1))
            break;
        if (!lenient || errno == E2BIG || outLeft < 3 || CancelToken::requested()) {
            failed = true;
            break;
        }
        std::memcpy(out, "\xEF\xBF\xBD", 3);
        out += 3;
        outLeft -= 3;
        const size_t skipped = gb18030 ? gb18030UnreadableLength(reinterpret_cast<const unsigned char*>(in), inLeft) : 1;
        in += skipped;
        inLeft -= skipped;
    }
    iconv_close(descriptor);
    if (failed)
        return {};
    return QString::fromUtf8(output.constData(), output.size() - qsizetype(outLeft));
}

// The named code page's reading of bytes its strict decoders rejected, with replacement
// characters where it defines nothing; empty when no decoder knows the name.
QString decodeLeniently(const QByteArray& data, const QString& encoding)
{
    const QString name = encoding.trimmed();
    if (name.isEmpty())
        return {};
    QStringDecoder decoder(name.toUtf8().constData());
    // In the shifted encodings a skipped byte would put iconv out of step with the byte pairs
    // for the rest of the run; Qt replaces a bad pair as a whole.
    const bool shifted = name.startsWith(QLatin1String("ISO-2022"), Qt::CaseInsensitive)
        || isOneOf(name, {"HZ-GB-2312"});
    if (shifted && decoder.isValid())
        return decoder.decode(data);
    QString text = decodeWithIconv(data, name, true);
    if (!text.isEmpty())
        return text;
    if (decoder.isValid())
        return decoder.decode(data);
    return {};
}

// The code pages that uchardet names for Cyrillic text, in the spellings it uses.
bool namesCyrillicCodePage(const QString& name)
{
    const QString lower = name.toLower();
    for (const char* part : {"cyrillic", "1251", "koi8", "866", "855", "8859-5"}) {
        if (lower.contains(QLatin1String(part)))
            return true;
    }
    return false;
}

// The byte scoring of guessCyrillicCodePage, applied to decoded text: lower-case Russian letters
// count 2, upper-case ones 1, box drawing -5. Reading text in a wrong Cyrillic code page moves
// letters between the cases or out of the alphabet, and that lowers the score.
int cyrillicLetterScore(QStringView text)
{
    int score = 0;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= u'\u0430' && u <= u'\u044F')
            score += 2;
        else if (u >= u'\u0410' && u <= u'\u042F')
            score += 1;
        else if (u >= u'\u2500' && u <= u'\u259F')
            score -= 5;
    }
    return score;
}

// uchardet can be led astray by one byte its winning code page leaves undefined: windows-1251
// text with a stray 0x98 comes back as "MAC-CYRILLIC", which garbles every capital letter. Its
// Cyrillic answers are therefore weighed against the three common code pages, which win only by
// a clear margin (one percent, and at least the minimum score) so that near ties stay its own.
QString checkedCyrillicAnswer(const QByteArray& data, const QString& answer)
{
    const QByteArray window = data.left(kCyrillicWindow);
    const int answerScore = cyrillicLetterScore(decodeLeniently(window, answer));
    QString best;
    int bestScore = 0;
    // The tie order of guessCyrillicCodePage.
    for (const char* candidate : {"windows-1251", "cp866", "koi8-r"}) {
        const int score = cyrillicLetterScore(decodeLeniently(window, QLatin1String(candidate)));
        if (best.isEmpty() || score > bestScore) {
            best = QLatin1String(candidate);
            bestScore = score;
        }
    }
    if (bestScore >= answerScore + qMax(kCyrillicMinimumScore, answerScore / 100))
        return best;
    return answer;
}

// The 7-bit encodings announce their character sets by escape sequences. They are plain ASCII to
// a UTF-8 validator, so they must be recognised before it; their designations name them.
QString escapeSequenceEncoding(const QByteArray& data)
{
    const QByteArrayView head = QByteArrayView(data).first(qMin(data.size(), kEscapeWindow));
    for (char byte : head) {
        if (uchar(byte) >= 0x80)
            return {};
    }
    struct Designation {
        const char* sequence;
        const char* encoding;
    };
    // Longer and rarer sets first: ISO-2022-JP-2 also designates the sets of ISO-2022-JP.
    static const Designation kDesignations[] = {
        {"\x1B$)C", "ISO-2022-KR"},     {"\x1B$+I", "ISO-2022-CN-EXT"}, {"\x1B$+J", "ISO-2022-CN-EXT"},
        {"\x1B$)A", "ISO-2022-CN"},     {"\x1B$)G", "ISO-2022-CN"},     {"\x1B$*H", "ISO-2022-CN"},
        {"\x1B$)E", "ISO-2022-CN"},     {"\x1B$A", "ISO-2022-JP-2"},    {"\x1B$(C", "ISO-2022-JP-2"},
        {"\x1B.A", "ISO-2022-JP-2"},    {"\x1B.F", "ISO-2022-JP-2"},    {"\x1B$B", "ISO-2022-JP"},
        {"\x1B$@", "ISO-2022-JP"},      {"\x1B$(D", "ISO-2022-JP"},     {"\x1B(J", "ISO-2022-JP"},
        {"\x1B(I", "ISO-2022-JP"},
    };
    if (head.contains('\x1B')) {
        for (const Designation& d : kDesignations) {
            if (head.contains(QByteArrayView(d.sequence)))
                return QLatin1String(d.encoding);
        }
    }
    // HZ shifts into GB 2312 with "~{" and back with "~}", and between them stand pairs of
    // printable bytes, never a space or a line end: ASCII text hardly holds that.
    const qsizetype shiftIn = head.indexOf("~{");
    const qsizetype shiftOut = shiftIn >= 0 ? head.indexOf("~}", shiftIn) : -1;
    if (shiftOut > shiftIn + 2 && (shiftOut - shiftIn) % 2 == 0) {
        const QByteArrayView pairs = head.sliced(shiftIn + 2, shiftOut - shiftIn - 2);
        if (std::all_of(pairs.begin(), pairs.end(), [](char byte) { return byte > 0x20 && byte < 0x7F; }))
            return QStringLiteral("HZ-GB-2312");
    }
    return {};
}

// The first 32 KiB of the data, ended at a line end, never inside a character.
QByteArray lineWindow(const QByteArray& data)
{
    QByteArray window = data.left(kCyrillicWindow);
    if (window.size() < data.size())
        window.truncate(window.lastIndexOf('\n') + 1);
    return window;
}

struct EastAsianReading {
    QString encoding;
    double share = 0; // EastAsianText::frequentShare of the reading
};

// Of the multi-byte code pages of East Asia, the one whose reading of the window is most like
// prose of its language; none when no reading is (a code table, or text of another script).
// Each is read leniently, so that a few stray bytes cost only their own characters.
EastAsianReading eastAsianCodePage(const QByteArray& window)
{
    using EastAsianText::Language;
    static const struct {
        const char* encoding;
        Language language;
    } kCandidates[] = {
        {"UHC", Language::Korean},     {"JOHAB", Language::Korean},  {"GB18030", Language::Chinese},
        {"BIG5", Language::Chinese},   {"EUC-TW", Language::Chinese}, {"SHIFT_JIS", Language::Japanese},
        {"EUC-JP", Language::Japanese},
    };
    EastAsianReading best;
    for (const auto& candidate : kCandidates) {
        const QString text = decodeWithIconv(window, QLatin1String(candidate.encoding), true);
        const double share = EastAsianText::frequentShare(text, candidate.language);
        if (share > best.share)
            best = EastAsianReading{QLatin1String(candidate.encoding), share};
    }
    if (best.share < kEastAsianMinimumShare)
        return {};
    return best;
}

// The best share any of the three languages finds in the text.
double bestEastAsianShare(QStringView text)
{
    using EastAsianText::Language;
    double best = 0;
    for (Language language : {Language::Chinese, Language::Japanese, Language::Korean})
        best = qMax(best, EastAsianText::frequentShare(text, language));
    return best;
}

// Legacy code pages that uchardet does not name, each told by the script its text must be
// written in: read strictly, nine in ten of the non-ASCII characters of the first window are
// letters of that script. Cyrillic text read as any of them fails that test.
QString scriptCodePage(const QByteArray& data)
{
    struct Candidate {
        const char* encoding;
        char16_t first;
        char16_t last;
    };
    static const Candidate kCandidates[] = {
        {"IBM862", u'\u05D0', u'\u05EA'}, // Hebrew letters (DOS Hebrew)
    };
    const QByteArray window = lineWindow(data);
    for (const Candidate& candidate : kCandidates) {
        const QString text = decodeWithIconv(window, QLatin1String(candidate.encoding), false);
        qsizetype wide = 0;
        qsizetype inScript = 0;
        for (QChar c : text) {
            wide += c.unicode() >= 0x80;
            inScript += c.unicode() >= candidate.first && c.unicode() <= candidate.last;
        }
        if (wide >= kScriptMinimumLetters && inScript * 10 >= wide * 9)
            return QLatin1String(candidate.encoding);
    }
    return {};
}

// UCS-4 in the two unusual byte orders uchardet can name, turned into UTF-32BE.
QString fromSwappedUcs4(const QByteArray& data, const int order[4])
{
    QByteArray bigEndian(data.size() & ~qsizetype(3), Qt::Uninitialized);
    for (qsizetype i = 0; i < bigEndian.size(); i += 4) {
        for (int k = 0; k < 4; ++k)
            bigEndian[i + k] = data[i + order[k]];
    }
    QStringDecoder decoder(QStringConverter::Utf32BE);
    QString text = decoder.decode(bigEndian);
    return decoder.hasError() ? QString() : text;
}

// Whether the eight bytes are four well-formed characters of two bytes, tested at once: in each
// pair the lead is 110xxxxx but not C0 or C1 (an overlong form) and the next byte 10xxxxxx.
bool areFourTwoByteLetters(const unsigned char* bytes)
{
    const quint64 eight = qFromLittleEndian<quint64>(bytes);
    const quint64 leadBits = eight & 0x001E001E001E001EULL; // zero in a pair only for C0 and C1
    return (eight & 0xC0E0C0E0C0E0C0E0ULL) == 0x80C080C080C080C0ULL
        && ((leadBits + 0x7FFF7FFF7FFF7FFFULL) & 0x8000800080008000ULL) == 0x8000800080008000ULL;
}

// The letters of four well-formed two-byte characters, in the order they come.
void writeFourTwoByteLetters(const unsigned char* bytes, char16_t* out)
{
    const quint64 eight = qFromLittleEndian<quint64>(bytes);
    const quint64 letters = ((eight & 0x001F001F001F001FULL) << 6) | ((eight >> 8) & 0x003F003F003F003FULL);
    for (int k = 0; k < 4; ++k)
        out[k] = char16_t(letters >> (16 * k));
}

// Takes ASCII and two-byte letters from i on, as far as they go: most books are mostly those,
// mixed in words and the spaces between them, so this loop takes both, runs of ASCII eight bytes
// at a time and runs of letters five at a time. With Writes, their UTF-16 goes to out at o.
template <bool Writes>
void readCommonCharacters(const unsigned char* bytes, qsizetype size, qsizetype& i, char16_t* out, qsizetype& o)
{
    while (i < size) {
        const unsigned char b = bytes[i];
        quint64 eight = 0;
        if (b < 0x80 && i + 8 <= size && (std::memcpy(&eight, bytes + i, 8), (eight & 0x8080808080808080ULL) == 0)) {
            if constexpr (Writes) {
                for (int k = 0; k < 8; ++k)
                    out[o + k] = bytes[i + k];
            }
            i += 8;
            o += 8;
        } else if (b < 0x80) {
            if constexpr (Writes)
                out[o] = b;
            ++i;
            ++o;
        } else if (b >= 0xC2 && b <= 0xDF && i + 1 < size && (bytes[i + 1] & 0xC0) == 0x80) {
            if constexpr (Writes)
                out[o] = char16_t(((b & 0x1F) << 6) | (bytes[i + 1] & 0x3F));
            i += 2;
            ++o;
            if (i + 8 <= size && areFourTwoByteLetters(bytes + i)) {
                if constexpr (Writes)
                    writeFourTwoByteLetters(bytes + i, out + o);
                i += 8;
                o += 4;
            }
        } else {
            return;
        }
    }
}

// The length of the well-formed sequence of three or four bytes at bytes[0], or 0.
int longSequenceLength(const unsigned char* bytes, qsizetype available)
{
    const unsigned char lead = bytes[0];
    int length = 0;
    unsigned char secondLow = 0x80;
    unsigned char secondHigh = 0xBF;
    if (lead == 0xE0) {
        length = 3;
        secondLow = 0xA0;
    } else if ((lead >= 0xE1 && lead <= 0xEC) || lead == 0xEE || lead == 0xEF) {
        length = 3;
    } else if (lead == 0xED) {
        length = 3;
        secondHigh = 0x9F; // not the surrogates
    } else if (lead == 0xF0) {
        length = 4;
        secondLow = 0x90;
    } else if (lead >= 0xF1 && lead <= 0xF3) {
        length = 4;
    } else if (lead == 0xF4) {
        length = 4;
        secondHigh = 0x8F; // not past U+10FFFF
    } else {
        return 0;
    }
    if (available < length || bytes[1] < secondLow || bytes[1] > secondHigh)
        return 0;
    for (int k = 2; k < length; ++k) {
        if (bytes[k] < 0x80 || bytes[k] > 0xBF)
            return 0;
    }
    return length;
}

// Reads well-formed UTF-8, with Writes into out as UTF-16: the units it makes, or -1 at the first
// ill-formed sequence. One routine both validates and decodes, so that the two cannot disagree.
template <bool Writes>
qsizetype readUtf8(const char* data, qsizetype size, char16_t* out)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
    qsizetype i = 0;
    qsizetype o = 0;
    while (true) {
        readCommonCharacters<Writes>(bytes, size, i, out, o);
        if (i == size)
            return o;
        const int length = longSequenceLength(bytes + i, size - i);
        if (length == 0)
            return -1;
        if constexpr (Writes) {
            char32_t code = bytes[i] & (length == 3 ? 0x0F : 0x07);
            for (int k = 1; k < length; ++k)
                code = (code << 6) | (bytes[i + k] & 0x3F);
            if (code > 0xFFFF) {
                out[o] = QChar::highSurrogate(code);
                out[o + 1] = QChar::lowSurrogate(code);
            } else {
                out[o] = char16_t(code);
            }
        }
        o += length == 4 ? 2 : 1;
        i += length;
    }
}

} // namespace

bool isValidUtf8(const char* data, qsizetype size)
{
    return readUtf8<false>(data, size, nullptr) >= 0;
}

qsizetype decodeWellFormedUtf8(const char* data, qsizetype size, char16_t* out)
{
    return readUtf8<true>(data, size, out);
}

namespace TextEncoding {

QString guessCyrillicCodePage(const QByteArray& data)
{
    int windows1251 = 0;
    int koi8r = 0;
    int cp866 = 0;
    const qsizetype size = qMin(data.size(), kCyrillicWindow);
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.constData());
    for (qsizetype i = 0; i < size; ++i) {
        const unsigned char b = bytes[i];
        if (b >= 0xE0) {
            windows1251 += 2;
            koi8r += 1;
        } else if (b >= 0xC0) {
            windows1251 += 1;
            koi8r += 2;
        }
        if ((b >= 0xA0 && b <= 0xAF) || (b >= 0xE0 && b <= 0xEF))
            cp866 += 2;
        else if (b >= 0x80 && b <= 0x9F)
            cp866 += 1;
        else if (b >= 0xB0 && b <= 0xDF)
            cp866 -= 5;
    }
    const int best = qMax(windows1251, qMax(koi8r, cp866));
    if (best < kCyrillicMinimumScore)
        return QStringLiteral("windows-1252");
    if (windows1251 == best)
        return QStringLiteral("windows-1251");
    if (cp866 == best)
        return QStringLiteral("cp866");
    return QStringLiteral("koi8-r");
}

// The answers that come before the UTF-8 check: byte-order marks, UTF-16 without one, a
// declaration, the escape sequences of the 7-bit encodings. Empty when none of them holds.
QString markedEncoding(const QByteArray& data)
{
    if (startsWith(data, "\xEF\xBB\xBF"))
        return QStringLiteral("UTF-8");
    // The UTF-32 marks first: the little-endian one begins with the UTF-16 one.
    if (data.startsWith(QByteArrayView("\xFF\xFE\0\0", 4)))
        return QStringLiteral("UTF-32LE");
    if (data.startsWith(QByteArrayView("\0\0\xFE\xFF", 4)))
        return QStringLiteral("UTF-32BE");
    if (startsWith(data, "\xFF\xFE"))
        return QStringLiteral("UTF-16LE");
    if (startsWith(data, "\xFE\xFF"))
        return QStringLiteral("UTF-16BE");
    const QString unmarked = unmarkedUtf16(data);
    if (!unmarked.isEmpty())
        return unmarked;
    const QString declared = declaredEncoding(data);
    if (!declared.isEmpty())
        return declared;
    return escapeSequenceEncoding(data);
}

// The answers for bytes that are not UTF-8: the detector's, checked, then the guesses.
QString guessedEncoding(const QByteArray& data)
{
    const QString guessed = uchardetGuess(data);
    if (namesCyrillicCodePage(guessed))
        return checkedCyrillicAnswer(data, guessed);
    // uchardet knows no JOHAB, gives up on Korean written mostly in Hanja, and takes a few stray
    // bytes in Chinese for a single-byte code page: its answer stands unless an East Asian code
    // page reads the text clearly better.
    const QByteArray window = lineWindow(data);
    const EastAsianReading eastAsian = eastAsianCodePage(window);
    if (!eastAsian.encoding.isEmpty()
        && (guessed.isEmpty() || bestEastAsianShare(decodeLeniently(window, guessed)) < 0.8 * eastAsian.share))
        return eastAsian.encoding;
    if (!guessed.isEmpty())
        return guessed;
    const QString script = scriptCodePage(data);
    if (!script.isEmpty())
        return script;
    return guessCyrillicCodePage(data);
}

QString detectEncoding(const QByteArray& data)
{
    if (data.isEmpty())
        return {};
    const QString marked = markedEncoding(data);
    if (!marked.isEmpty())
        return marked;
    if (isValidUtf8(data.constData(), data.size()))
        return QStringLiteral("UTF-8");
    return guessedEncoding(data);
}

qsizetype utf8TextStart(const QByteArray& data)
{
    // After the mark, Qt's decoder drops one more at the start of what it is given.
    if (startsWith(data, "\xEF\xBB\xBF"))
        return QByteArrayView(data).sliced(3).startsWith("\xEF\xBB\xBF") ? 6 : 3;
    if (data.isEmpty() || !markedEncoding(data).isEmpty())
        return -1;
    return 0;
}

qsizetype decodeUtf8Into(const QByteArray& data, char16_t* out)
{
    const qsizetype start = utf8TextStart(data);
    return start < 0 ? -1 : decodeWellFormedUtf8(data.constData() + start, data.size() - start, out);
}

QString decodeWithEncoding(const QByteArray& data, const QString& encoding)
{
    if (data.isEmpty())
        return {};
    const QString name = encoding.trimmed();
    if (name.isEmpty())
        return {};
    if (isOneOf(name, {"utf-8", "utf8"}))
        return QString::fromUtf8(data);
    if (isOneOf(name, {"utf-16le", "utf16le"}))
        return fromUtf16LittleEndian(data.constData(), data.size());
    if (isOneOf(name, {"utf-16be", "utf16be"})) {
        QStringDecoder decoder(QStringConverter::Utf16BE);
        QString text = decoder.decode(data);
        if (!decoder.hasError())
            return text;
    }
    static const int kOrder3412[4] = {2, 3, 0, 1};
    static const int kOrder2143[4] = {1, 0, 3, 2};
    if (isOneOf(name, {"X-ISO-10646-UCS-4-3412"}))
        return fromSwappedUcs4(data, kOrder3412);
    if (isOneOf(name, {"X-ISO-10646-UCS-4-2143"}))
        return fromSwappedUcs4(data, kOrder2143);
    // Qt's EUC-TW reads some characters of CNS 11643 as other ones, without reporting it.
    const bool iconvFirst = isOneOf(name, {"EUC-TW"});
    if (iconvFirst) {
        QString text = decodeWithIconv(data, name, false);
        if (!text.isEmpty())
            return text;
    }
    QStringDecoder decoder(name.toUtf8().constData());
    if (decoder.isValid()) {
        QString text = decoder.decode(data);
        if (!decoder.hasError())
            return text;
    }
    return iconvFirst ? QString() : decodeWithIconv(data, name, false);
}

QString decode(const QByteArray& data, const QString& encodingHint)
{
    if (data.isEmpty())
        return {};
    const qsizetype utf8Start = encodingHint.isEmpty() ? utf8TextStart(data) : -1;
    if (utf8Start >= 0) {
        // Most books are UTF-8: checked and decoded in one pass. Units not written are never
        // touched, so the room a text of three-byte characters leaves over costs no memory.
        const qsizetype size = data.size() - utf8Start;
        QString text(size, Qt::Uninitialized);
        const qsizetype units = decodeWellFormedUtf8(data.constData() + utf8Start, size,
                                                     reinterpret_cast<char16_t*>(text.data()));
        if (units >= 0) {
            text.truncate(units);
            return text;
        }
    }
    if (startsWith(data, "\xEF\xBB\xBF"))
        return QString::fromUtf8(data.constData() + 3, data.size() - 3);
    for (const auto& [mark, converter] : {std::pair{QByteArrayView("\xFF\xFE\0\0", 4), QStringConverter::Utf32LE},
                                          std::pair{QByteArrayView("\0\0\xFE\xFF", 4), QStringConverter::Utf32BE}}) {
        if (data.startsWith(mark)) {
            QStringDecoder decoder(converter);
            return decoder.decode(QByteArrayView(data).sliced(4));
        }
    }
    if (startsWith(data, "\xFF\xFE"))
        return fromUtf16LittleEndian(data.constData() + 2, data.size() - 2);
    if (startsWith(data, "\xFE\xFF")) {
        QStringDecoder decoder(QStringConverter::Utf16BE);
        return decoder.decode(QByteArrayView(data).sliced(2));
    }
    // Each pass over the bytes below costs up to a second for the largest books: a cancelled open
    // stops between them.
    if (CancelToken::requested())
        return {};
    // Unmarked bytes the pass above refused are not UTF-8: detection need not check them again.
    const QString encoding = !encodingHint.isEmpty() ? encodingHint
        : utf8Start == 0                            ? guessedEncoding(data)
                                                    : detectEncoding(data);
    if (CancelToken::requested())
        return {};
    if (encoding.isEmpty())
        return QString::fromUtf8(data);
    QString text = decodeWithEncoding(data, encoding);
    if (!text.isEmpty() || CancelToken::requested())
        return text;
    // The named code page's strict decoders refused the bytes. Reading them as UTF-8 helps only
    // when they are UTF-8 (a false declaration); otherwise one byte the code page leaves
    // undefined would turn the whole book into replacement characters. Text of the 7-bit
    // encodings is ASCII to the validator, but read as UTF-8 it would show its escape sequences.
    if (!isValidUtf8(data.constData(), data.size()) || !escapeSequenceEncoding(data).isEmpty()) {
        text = decodeLeniently(data, encoding);
        if (!text.isEmpty())
            return text;
    }
    return QString::fromUtf8(data);
}

} // namespace TextEncoding
