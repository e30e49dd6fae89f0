#include "EncodedText.h"

#include <QStringEncoder>

#include <iconv.h>

namespace EncodedText {

QString russian()
{
    return QStringLiteral(
        "Мой дядя самых честных правил, когда не в шутку занемог, он уважать себя заставил и лучше "
        "выдумать не мог. Его пример другим наука; но, боже мой, какая скука с больным сидеть и день "
        "и ночь, не отходя ни шагу прочь! Ёжик в тумане шёл по берегу реки.");
}

QString german()
{
    return QStringLiteral(
        "Die Größe der Äpfel überraschte den Bäcker, während die Straße vor dem Café schön ruhig "
        "blieb. Über die Brücke gingen Mädchen und Jungen, fröhlich und müde zugleich, und sie aßen "
        "süße Brötchen.");
}

QString japanese()
{
    return QStringLiteral(
        "昔々、ある所にお爺さんとお婆さんが住んでいました。お爺さんは山へ柴刈りに、お婆さんは川へ洗濯に"
        "行きました。お婆さんが川で洗濯をしていると、大きな桃がどんぶらこ、どんぶらこと流れてきました。");
}

QString chinese()
{
    return QStringLiteral(
        "从前有座山，山里有座庙，庙里有个老和尚在给小和尚讲故事。讲的是什么故事呢？春天来了，花儿开了，"
        "鸟儿在树上唱歌，孩子们在草地上玩耍。");
}

namespace {

QByteArray encodeWithIconv(const QString& text, const char* encoding)
{
    iconv_t descriptor = iconv_open(encoding, "UTF-8");
    if (descriptor == iconv_t(-1))
        return {};
    QByteArray input = text.toUtf8();
    QByteArray output(4 * input.size() + 4, Qt::Uninitialized);
    char* in = input.data();
    size_t inLeft = size_t(input.size());
    char* out = output.data();
    size_t outLeft = size_t(output.size());
    const bool ok = iconv(descriptor, &in, &inLeft, &out, &outLeft) != size_t(-1);
    iconv_close(descriptor);
    if (!ok)
        return {};
    output.truncate(output.size() - qsizetype(outLeft));
    return output;
}

} // namespace

QByteArray encode(const QString& text, const char* encoding)
{
    QStringEncoder encoder(encoding);
    if (encoder.isValid()) {
        QByteArray bytes = encoder.encode(text);
        if (!encoder.hasError())
            return bytes;
    }
    return encodeWithIconv(text, encoding);
}

} // namespace EncodedText
