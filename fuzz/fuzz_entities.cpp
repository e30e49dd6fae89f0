// HtmlEntities::toXmlSafe over the input read as UTF-8 and as raw UTF-16 code units (which may
// hold lone surrogates). Its promise is checked: every "&" of the result starts a numeric or one of
// the five XML references, a text without "&" comes back unchanged, and a second pass changes
// nothing.

#include "ChunkChecks.h"
#include "FuzzLimits.h"
#include "html/HtmlEntities.h"

#include <cstdint>

using ChunkChecks::require;

namespace {

bool startsXmlReference(const QString& text, qsizetype at)
{
    static const QLatin1String predefined[] = { QLatin1String("&lt;"), QLatin1String("&gt;"), QLatin1String("&amp;"),
                                                QLatin1String("&quot;"), QLatin1String("&apos;") };
    const QStringView rest = QStringView(text).mid(at);
    if (rest.startsWith(QLatin1String("&#")))
        return true;
    for (const QLatin1String& reference : predefined) {
        if (rest.startsWith(reference))
            return true;
    }
    return false;
}

void check(const QString& text)
{
    const QString safe = HtmlEntities::toXmlSafe(text);
    if (!text.contains(u'&'))
        require(safe == text, "a text without ampersands is kept");
    for (qsizetype at = safe.indexOf(u'&'); at >= 0; at = safe.indexOf(u'&', at + 1))
        require(startsXmlReference(safe, at), "every ampersand starts an XML reference");
    require(HtmlEntities::toXmlSafe(safe) == safe, "a safe text stays as it is");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > FuzzLimits::MaxInputBytes)
        return 0;
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    check(QString::fromUtf8(input));
    check(QString(reinterpret_cast<const QChar*>(input.constData()), input.size() / 2));
    return 0;
}
