#pragma once

// The table of formats the application and vellora-bench read books with. Any thread.

#include "formats/FormatSpec.h"

#include <QList>

namespace DefaultFormats {

// The rows in matching order: cbz, cbr, folder, epub, fb2, fbz, fb2.zip, txt. Each row has its
// own factories.
QList<FormatSpec> table();

} // namespace DefaultFormats
