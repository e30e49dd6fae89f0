#include "FontRequest.h"

#include <QStringList>

namespace {

// The face used where a book names none: reflowable books read best in a serif face.
const QString kDefaultFamily = QStringLiteral("serif");

QFont::StyleHint hintFor(const QString& family)
{
    if (family.compare(QLatin1String("sans-serif"), Qt::CaseInsensitive) == 0)
        return QFont::SansSerif;
    if (family.compare(QLatin1String("monospace"), Qt::CaseInsensitive) == 0)
        return QFont::Monospace;
    if (family.compare(QLatin1String("serif"), Qt::CaseInsensitive) == 0)
        return QFont::Serif;
    return QFont::AnyStyle;
}

} // namespace

QFont FontRequest::toFont() const
{
    const QString name = family.isEmpty() ? kDefaultFamily : family;
    // The family-list constructor makes fresh private data, shared with no other font.
    QFont font(QStringList{name});
    const QFont::StyleHint hint = hintFor(name);
    if (hint != QFont::AnyStyle)
        font.setStyleHint(hint);
    font.setPixelSize(qMax(1, pixelSize));
    font.setWeight(QFont::Weight(qBound(100, weight, 900)));
    font.setItalic(italic);
    if (smallCaps)
        font.setCapitalization(QFont::SmallCaps);
    if (letterSpacing != 0)
        font.setLetterSpacing(QFont::AbsoluteSpacing, letterSpacing);
    return font;
}

size_t qHash(const FontRequest& request, size_t seed) noexcept
{
    return qHashMulti(seed, request.family, request.pixelSize, request.weight, request.italic, request.smallCaps,
                      request.letterSpacing);
}
