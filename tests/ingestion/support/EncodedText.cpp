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

QString traditionalChinese()
{
    return QStringLiteral(
        "臺灣是一個島嶼，位於東亞。我們學習繁體中文，閱讀古典文學。卄丌丏乂乇亍仂仈，古書裡的罕用字。");
}

QString korean()
{
    return QStringLiteral(
        "나는 고양이로소이다. 이름은 아직 없다. 어디서 태어났는지 도무지 짐작이 가지 않는다. 어쨌든 어둡고 "
        "축축한 곳에서 야옹야옹 울고 있었던 것만은 기억하고 있다.");
}

QString hebrew()
{
    return QStringLiteral(
        "בראשית ברא אלהים את השמים ואת הארץ. והארץ היתה תהו ובהו וחשך על פני תהום, ורוח אלהים "
        "מרחפת על פני המים. ויאמר אלהים יהי אור ויהי אור.");
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
    // The flush ends a shifted state: the escape back to ASCII of the 7-bit encodings.
    const bool ok = iconv(descriptor, &in, &inLeft, &out, &outLeft) != size_t(-1)
        && iconv(descriptor, nullptr, nullptr, &out, &outLeft) != size_t(-1);
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
