#include "DictionaryBreaks.h"

#include <unicode/ubrk.h>
#include <unicode/uchar.h>

#include <cstring>
#include <memory>

namespace DictionaryBreaks {

namespace {

struct BreakIteratorCloser {
    void operator()(UBreakIterator* iterator) const { ubrk_close(iterator); }
};

// Opening an iterator loads its rules: each thread opens one and keeps it.
UBreakIterator* lineIterator()
{
    thread_local std::unique_ptr<UBreakIterator, BreakIteratorCloser> iterator = [] {
        UErrorCode error = U_ZERO_ERROR;
        UBreakIterator* opened = ubrk_open(UBRK_LINE, "", nullptr, 0, &error);
        return std::unique_ptr<UBreakIterator, BreakIteratorCloser>(U_SUCCESS(error) ? opened : nullptr);
    }();
    return iterator.get();
}

} // namespace

bool isDictionaryScript(char16_t c)
{
    // The blocks that hold class SA characters (Thai, Lao, Myanmar, Khmer, Tai Le, New Tai Lue,
    // Khmer Symbols, Tai Tham, Myanmar Extended-B and -A, Tai Viet); their digits and some signs
    // are of other classes. Punctuation and symbols (quotes, dashes) lie between the blocks and
    // are met often in any text: they are let go first.
    if (c > 0x1AAF && c < 0xA9E0)
        return false;
    const bool inBlock = (c >= 0x0E00 && c <= 0x0EFF) || (c >= 0x1000 && c <= 0x109F) || (c >= 0x1780 && c <= 0x17FF)
        || (c >= 0x1950 && c <= 0x19FF) || (c >= 0x1A20 && c <= 0x1AAF) || (c >= 0xA9E0 && c <= 0xA9FF)
        || (c >= 0xAA60 && c <= 0xAADF);
    return inBlock && u_getIntPropertyValue(c, UCHAR_LINE_BREAK) == U_LB_COMPLEX_CONTEXT;
}

bool needsDictionary(const QString& text)
{
    // Most text holds no character from U+0E00 up: four characters at a time are let go with one
    // test (a 16-bit lane is at or above 0x0E00 when its top bit is set or its low 15 bits plus
    // 0x7200 set it; no lane carries into the next), and only a group with such a one is looked at.
    const char16_t* p = reinterpret_cast<const char16_t*>(text.utf16());
    const char16_t* const end = p + text.size();
    auto anyIn = [](const char16_t* from, const char16_t* to) {
        for (; from < to; ++from) {
            if (*from >= 0x0E00 && isDictionaryScript(*from))
                return true;
        }
        return false;
    };
    for (; end - p >= 4; p += 4) {
        quint64 four;
        std::memcpy(&four, p, sizeof four);
        const quint64 raised = ((four & 0x7FFF7FFF7FFF7FFFull) + 0x7200720072007200ull) | four;
        if ((raised & 0x8000800080008000ull) != 0 && anyIn(p, p + 4))
            return true;
    }
    return anyIn(p, end);
}

QList<qsizetype> wordBoundaries(const QString& text)
{
    QList<qsizetype> boundaries;
    UBreakIterator* iterator = lineIterator();
    if (!iterator || text.size() < 2)
        return boundaries;
    UErrorCode error = U_ZERO_ERROR;
    ubrk_setText(iterator, reinterpret_cast<const UChar*>(text.utf16()), int32_t(text.size()), &error);
    if (U_FAILURE(error))
        return boundaries;
    for (int32_t at = ubrk_following(iterator, 0); at != UBRK_DONE && at < text.size(); at = ubrk_next(iterator)) {
        if (isDictionaryScript(text[at - 1].unicode()) || isDictionaryScript(text[at].unicode()))
            boundaries.append(at);
    }
    // The iterator must not keep pointing at text that goes away with the caller.
    static const UChar nothing[1] = {0};
    ubrk_setText(iterator, nothing, 0, &error);
    return boundaries;
}

} // namespace DictionaryBreaks
