#include "DefaultFormats.h"

#include "DirByteSource.h"
#include "RarByteSource.h"
#include "ZipByteSource.h"

namespace {

template <typename Source>
SourceFactory sourceFactory()
{
    return []() -> std::unique_ptr<IByteSource> { return std::make_unique<Source>(); };
}

} // namespace

namespace DefaultFormats {

QList<FormatSpec> table()
{
    QList<FormatSpec> rows;
    rows.append(FormatSpec::comic(QStringLiteral("cbz"), false, QStringLiteral("cbz"), sourceFactory<ZipByteSource>()));
    rows.append(FormatSpec::comic(QStringLiteral("cbr"), false, QStringLiteral("cbr"), sourceFactory<RarByteSource>()));
    rows.append(FormatSpec::comic(QString(), true, QStringLiteral("dir"), sourceFactory<DirByteSource>()));
    // The text formats follow here, in this order, each with its own factory:
    //   epub     FormatSpec::epub(sourceFactory<ZipByteSource>())
    //   fb2      FormatSpec::fb2("fb2", sourceFactory<Fb2ByteSource>())
    //   fbz      FormatSpec::fb2("fbz", sourceFactory<Fb2ByteSource>())
    //   fb2.zip  FormatSpec::fb2("fb2.zip", sourceFactory<Fb2ByteSource>())
    //   txt      FormatSpec::txt("txt")
    return rows;
}

} // namespace DefaultFormats
