#include "TestZip.h"

#include <zip.h>

namespace TestZip {

bool write(const QString& path, const QList<Entry>& entries)
{
    zipFile zf = zipOpen64(path.toUtf8().constData(), APPEND_STATUS_CREATE);
    if (!zf)
        return false;
    bool ok = true;
    for (const Entry& entry : entries) {
        zip_fileinfo info = {};
        const QByteArray name = entry.name.toUtf8();
        const int method = entry.stored ? 0 : Z_DEFLATED;
        if (zipOpenNewFileInZip64(zf, name.constData(), &info, nullptr, 0, nullptr, 0, nullptr, method,
                                  entry.stored ? 0 : Z_DEFAULT_COMPRESSION, entry.data.size() > 0xffffffffLL) != ZIP_OK) {
            ok = false;
            break;
        }
        if (!entry.data.isEmpty()
            && zipWriteInFileInZip(zf, entry.data.constData(), unsigned(entry.data.size())) != ZIP_OK)
            ok = false;
        zipCloseFileInZip(zf);
        if (!ok)
            break;
    }
    zipClose(zf, nullptr);
    return ok;
}

} // namespace TestZip
