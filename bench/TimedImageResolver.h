#pragma once

// The image resolver vellora-bench lays books out with: the application's own, with the time spent
// learning image sizes summed over every thread that asked. Any thread, like the resolver.

#include "IBookImageResolver.h"

#include <atomic>

class TimedImageResolver : public IBookImageResolver {
public:
    explicit TimedImageResolver(IBookImageResolver& resolver);

    QImage resolveImage(const QString& url) override;
    QSizeF imageSize(const QString& url) override;

    double sizeMs() const;

private:
    IBookImageResolver& m_resolver;
    std::atomic<qint64> m_sizeNs{0};
};
