#pragma once

// SVG bytes made safe for Qt Svg before it reads them. Qt Svg reads a drawing with Qt's XML
// stream reader, which compares each new attribute with all the earlier ones of its element: one
// element of a hundred thousand attributes costs minutes to size, and again to draw, on whatever
// thread asks. Every drawing therefore keeps at most AttributeLimit::kMaxAttributes attributes per
// element, as the rest of a book's markup does. A gzip-compressed drawing (SVGZ), which Qt Svg
// would inflate without a bound, is inflated here up to kMaxBytes and limited the same way.
//
// Bytes of the common bitmap formats are passed on as they are, without a scan. Stateless; any
// thread.

#include <QByteArray>

namespace SvgMarkup {

// The largest drawing read: a compressed one that inflates to more is not read at all.
constexpr qsizetype kMaxBytes = 64 * 1024 * 1024;

// The bytes to hand to an image reader in place of `bytes`: the same bytes (not copied) unless
// they are markup with an element over the attribute limit, or compressed markup. Empty when
// compressed markup is damaged or inflates past kMaxBytes.
QByteArray readable(const QByteArray& bytes);

} // namespace SvgMarkup
