#pragma once

// An image resolver for layout harnesses: each URL gets one of a few natural sizes, chosen by its
// hash, from unknown and degenerate ones to a very wide and a very tall image, so that layouts
// meet every kind of image a book may hold without decoding any.
//
// Any thread (it keeps no state).

#include "IBookImageResolver.h"

class FuzzImageResolver : public IBookImageResolver {
public:
    QImage resolveImage(const QString& url) override;
    QSizeF imageSize(const QString& url) override;
};
