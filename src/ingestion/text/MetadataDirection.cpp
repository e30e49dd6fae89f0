#include "text/MetadataDirection.h"

#include <QStringList>

namespace MetadataDirection {

namespace {

enum class Strong { None, LeftToRight, RightToLeft };

Strong strongOf(QChar::Direction direction)
{
    switch (direction) {
    case QChar::DirL:
        return Strong::LeftToRight;
    case QChar::DirR:
    case QChar::DirAL:
        return Strong::RightToLeft;
    default:
        return Strong::None;
    }
}

Strong firstStrong(const QString& text)
{
    for (const char32_t code : QStringView(text).toUcs4()) {
        const Strong strong = strongOf(QChar::direction(code));
        if (strong != Strong::None)
            return strong;
    }
    return Strong::None;
}

bool holdsRightToLeft(const QString& text)
{
    for (const char32_t code : QStringView(text).toUcs4()) {
        if (strongOf(QChar::direction(code)) == Strong::RightToLeft)
            return true;
    }
    return false;
}

} // namespace

bool isRightToLeftLanguage(const QString& tag)
{
    static const QStringList kLanguages = {
        QStringLiteral("ar"), QStringLiteral("arc"), QStringLiteral("ckb"), QStringLiteral("dv"), QStringLiteral("fa"),
        QStringLiteral("he"), QStringLiteral("iw"), QStringLiteral("ji"), QStringLiteral("ks"), QStringLiteral("ku-arab"),
        QStringLiteral("mzn"), QStringLiteral("pnb"), QStringLiteral("prs"), QStringLiteral("ps"), QStringLiteral("sd"),
        QStringLiteral("syr"), QStringLiteral("ug"), QStringLiteral("ur"), QStringLiteral("yi"),
    };
    static const QStringList kRightToLeftScripts = {
        QStringLiteral("arab"), QStringLiteral("hebr"), QStringLiteral("syrc"), QStringLiteral("thaa"),
        QStringLiteral("nkoo"), QStringLiteral("adlm"), QStringLiteral("rohg"), QStringLiteral("mand"),
        QStringLiteral("samr"),
    };
    const QStringList subtags = tag.trimmed().toLower().replace(u'_', u'-').split(u'-', Qt::SkipEmptyParts);
    if (subtags.isEmpty())
        return false;
    for (qsizetype i = 1; i < subtags.size(); ++i) {
        if (subtags[i].size() == 4)
            return kRightToLeftScripts.contains(subtags[i]);
    }
    return kLanguages.contains(subtags.first());
}

QString marked(const QString& text, QStringView dir, const QString& language)
{
    // "auto" is the direction of the first strong letter, the one a view gives the text anyway.
    if (dir.compare(u"auto", Qt::CaseInsensitive) == 0)
        return text;
    Strong stated = Strong::None;
    if (dir.compare(u"rtl", Qt::CaseInsensitive) == 0)
        stated = Strong::RightToLeft;
    else if (dir.compare(u"ltr", Qt::CaseInsensitive) == 0)
        stated = Strong::LeftToRight;
    else if (isRightToLeftLanguage(language) && holdsRightToLeft(text))
        stated = Strong::RightToLeft;
    if (text.isEmpty() || stated == Strong::None || stated == firstStrong(text))
        return text;
    return (stated == Strong::RightToLeft ? QChar(0x200F) : QChar(0x200E)) + text;
}

} // namespace MetadataDirection
