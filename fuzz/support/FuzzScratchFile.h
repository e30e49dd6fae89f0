#pragma once

// A file on disk holding the current input, for readers that open paths only. All files live in
// one temporary folder per process, removed at exit; a file name is rewritten by every input.
//
// The harness thread only.

#include <QByteArray>
#include <QString>

namespace FuzzScratchFile {

// The path of fileName (as "book.epub") in the scratch folder after writing bytes to it. Aborts
// when the file cannot be written: a harness that silently tests nothing would look clean.
QString write(const QString& fileName, const QByteArray& bytes);
// The path fileName has in the scratch folder, for files written by other means.
QString path(const QString& fileName);

} // namespace FuzzScratchFile
