#include "html/RubyGroups.h"

#include "text/IdeographicText.h"

namespace {

constexpr char16_t kWordJoiner = 0x2060;

} // namespace

void RubyGroups::enter(const QString& name, const QDomElement& element, bool withRuby)
{
    const bool parentInGroup = !m_places.isEmpty() && inGroup();
    Place place;
    if (withRuby && !m_places.isEmpty()) {
        place.inGroup = parentInGroup || name == u"ruby";
        if (!parentInGroup && name == u"ruby") {
            m_hasText = false;
            m_hasRp = !element.firstChildElement(QStringLiteral("rp")).isNull();
        }
        place.parenthesised = name == u"rt" && parentInGroup && !m_hasRp;
    }
    m_places.append(place);
}

QString RubyGroups::joined(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return QString();
    QString out;
    out.reserve(trimmed.size() * 2 + 1);
    if (m_hasText)
        out += QChar(kWordJoiner);
    for (qsizetype i = 0; i < trimmed.size(); ++i) {
        const QChar c = trimmed[i];
        if (i > 0 && (isIdeographic(trimmed[i - 1].unicode()) || isIdeographic(c.unicode())))
            out += QChar(kWordJoiner);
        out += c == u' ' ? QChar(0x00A0) : c;
    }
    m_hasText = true;
    return out;
}
