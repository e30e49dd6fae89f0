#include "images/SvgMarkup.h"

#include "text/AttributeLimit.h"

#include <zlib.h>

namespace {

bool isGzip(const QByteArray& bytes)
{
    return bytes.size() >= 2 && quint8(bytes[0]) == 0x1F && quint8(bytes[1]) == 0x8B;
}

// Formats whose bytes are never markup: their readers take them as they are.
bool isCommonBitmap(const QByteArray& bytes)
{
    return bytes.startsWith("\x89PNG") || bytes.startsWith("\xFF\xD8") || bytes.startsWith("GIF8")
        || (bytes.startsWith("RIFF") && bytes.mid(8, 4) == "WEBP");
}

// The inflated bytes of a gzip stream; empty when it is damaged or inflates past kMaxBytes.
QByteArray inflated(const QByteArray& compressed)
{
    z_stream stream = {};
    if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK)
        return QByteArray();
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.constData()));
    stream.avail_in = uInt(compressed.size());
    QByteArray out;
    char chunk[64 * 1024];
    int status = Z_OK;
    while (status == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef*>(chunk);
        stream.avail_out = sizeof(chunk);
        status = inflate(&stream, Z_NO_FLUSH);
        const qsizetype produced = qsizetype(sizeof(chunk) - stream.avail_out);
        if ((status != Z_OK && status != Z_STREAM_END) || out.size() + produced > SvgMarkup::kMaxBytes) {
            inflateEnd(&stream);
            return QByteArray();
        }
        out.append(chunk, produced);
    }
    inflateEnd(&stream);
    return out;
}

} // namespace

namespace SvgMarkup {

QByteArray readable(const QByteArray& bytes)
{
    if (bytes.isEmpty() || isCommonBitmap(bytes))
        return bytes;
    if (isGzip(bytes))
        return AttributeLimit::apply(inflated(bytes));
    return AttributeLimit::apply(bytes);
}

} // namespace SvgMarkup
