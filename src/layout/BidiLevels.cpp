#include "BidiLevels.h"

#include <unicode/ubidi.h>

#include <memory>

namespace BidiLevels {

namespace {

constexpr char16_t kLRE = 0x202A, kRLE = 0x202B, kPDF = 0x202C, kLRO = 0x202D, kRLO = 0x202E;
constexpr char16_t kLRI = 0x2066, kRLI = 0x2067, kFSI = 0x2068, kPDI = 0x2069;

struct BidiCloser {
    void operator()(UBiDi* bidi) const { ubidi_close(bidi); }
};

bool opensEmbedding(const TextStyle& run, TextDirection paragraph)
{
    switch (run.unicodeBidi) {
    case UnicodeBidi::Normal:
        return false;
    case UnicodeBidi::BidiOverride:
    case UnicodeBidi::IsolateOverride:
        return run.direction != TextDirection::Auto;
    case UnicodeBidi::Embed:
        return run.direction != TextDirection::Auto && run.direction != paragraph;
    default: // isolate, plaintext: a run of the paragraph's own direction needs no isolate
        return run.unicodeBidi == UnicodeBidi::Plaintext || run.direction != paragraph;
    }
}

} // namespace

bool mayReorder(QStringView text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x0590)
            continue;
        if (c.isHighSurrogate()) {
            // The right-to-left scripts beyond the first plane: U+10800..U+10FFF, U+1E800..U+1EFFF.
            if ((u >= 0xD802 && u <= 0xD803) || (u >= 0xD83A && u <= 0xD83B))
                return true;
            continue;
        }
        switch (c.direction()) {
        case QChar::DirR:
        case QChar::DirAL:
        case QChar::DirAN:
        case QChar::DirRLE:
        case QChar::DirRLO:
        case QChar::DirRLI:
        case QChar::DirFSI:
            return true;
        default:
            break;
        }
    }
    return false;
}

Resolved resolve(const QString& text, const QList<Piece>& pieces, TextDirection base)
{
    Resolved resolved;
    resolved.rightToLeft = base == TextDirection::RightToLeft;
    const UBiDiLevel paragraphLevel = base == TextDirection::Auto ? UBIDI_DEFAULT_LTR
                                                                 : UBiDiLevel(resolved.rightToLeft ? 1 : 0);
    UErrorCode error = U_ZERO_ERROR;
    std::unique_ptr<UBiDi, BidiCloser> bidi(ubidi_openSized(int32_t(text.size()), 0, &error));
    const UBiDiLevel* levels = nullptr;
    if (U_SUCCESS(error))
        ubidi_setPara(bidi.get(), reinterpret_cast<const UChar*>(text.utf16()), int32_t(text.size()),
                      paragraphLevel, nullptr, &error);
    if (U_SUCCESS(error)) {
        resolved.rightToLeft = (ubidi_getParaLevel(bidi.get()) & 1) != 0;
        if (!text.isEmpty())
            levels = ubidi_getLevels(bidi.get(), &error);
    }
    const quint8 own = resolved.rightToLeft ? 1 : 0;
    resolved.levels.reserve(pieces.size());
    for (qsizetype p = 0; p < pieces.size(); ++p) {
        const Piece& piece = pieces[p];
        if (!levels || !U_SUCCESS(error) || piece.length <= 0) {
            resolved.levels.append(own); // an unresolvable paragraph keeps its base direction
            continue;
        }
        const UBiDiLevel* first = levels + piece.start;
        resolved.levels.append(*first);
        for (qsizetype i = 1; i < piece.length; ++i) {
            if (first[i] != first[i - 1])
                resolved.changes.append({p, i, first[i]});
        }
    }
    return resolved;
}

void visualOrder(const quint8* levels, int count, int* order)
{
    if (count <= 0)
        return;
    ubidi_reorderVisual(levels, count, order);
}

QString openingControls(const TextStyle& run, TextDirection paragraph)
{
    if (!opensEmbedding(run, paragraph))
        return QString();
    const bool rtl = run.direction == TextDirection::RightToLeft;
    switch (run.unicodeBidi) {
    case UnicodeBidi::Embed:
        return QString(QChar(rtl ? kRLE : kLRE));
    case UnicodeBidi::BidiOverride:
        return QString(QChar(rtl ? kRLO : kLRO));
    case UnicodeBidi::IsolateOverride:
        return QString(QChar(rtl ? kRLI : kLRI)) + QChar(rtl ? kRLO : kLRO);
    default:
        if (run.unicodeBidi == UnicodeBidi::Plaintext || run.direction == TextDirection::Auto)
            return QString(QChar(kFSI));
        return QString(QChar(rtl ? kRLI : kLRI));
    }
}

QString closingControls(const TextStyle& run, TextDirection paragraph)
{
    if (!opensEmbedding(run, paragraph))
        return QString();
    switch (run.unicodeBidi) {
    case UnicodeBidi::Embed:
    case UnicodeBidi::BidiOverride:
        return QString(QChar(kPDF));
    case UnicodeBidi::IsolateOverride:
        return QString(QChar(kPDF)) + QChar(kPDI);
    default:
        return QString(QChar(kPDI));
    }
}

} // namespace BidiLevels
