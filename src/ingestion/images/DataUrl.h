#pragma once

// "data:" URLs (RFC 2397), which converted books use for small inline images: recognised by the
// HTML parser and decoded by the book image resolver. Stateless; any thread.

#include <QByteArray>
#include <QString>

class DataUrl {
public:
    // Decoded payloads above this are refused: an inline image is small, and a hostile book must not
    // make a reader hold a huge buffer per reference.
    static constexpr qsizetype kMaxBytes = 8 * 1024 * 1024;

    static bool isDataUrl(const QString& url);
    // The payload, base64 or percent-encoded; empty when the URL is malformed or too large.
    static QByteArray decode(const QString& url);
    // A base64 data URL of `bytes` with the given media type.
    static QString encode(const QByteArray& bytes, const QString& mediaType);
};
