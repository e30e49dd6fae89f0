#pragma once

// One blocking HTTP or HTTPS GET, for remote images: the user agent "Vellora/1.0", a transfer
// timeout, and a cap on the body's size so that a hostile or broken server cannot fill memory.
//
// Any thread with no event loop of its own running, in practice a thread of the global pool: the call
// runs a local event loop until the transfer ends. Each call makes its own network access manager.

#include <QByteArray>
#include <QString>

namespace HttpDownload {

inline constexpr int kTimeoutMs = 5000;
// Far above any picture a book shows, far below what would hurt.
inline constexpr qint64 kMaxBytes = 32 * 1024 * 1024;

// The body of a 2xx answer; empty for any other scheme than http and https, an error, a timeout,
// another status, or a body (announced or received) above maxBytes.
QByteArray get(const QString& url, int timeoutMs = kTimeoutMs, qint64 maxBytes = kMaxBytes);

} // namespace HttpDownload
