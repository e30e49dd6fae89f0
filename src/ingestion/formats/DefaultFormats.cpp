#include "formats/DefaultFormats.h"

#include "sources/DirByteSource.h"
#include "sources/Fb2ByteSource.h"
#include "sources/RarByteSource.h"
#include "sources/ZipByteSource.h"

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
    rows.append(FormatSpec::epub(sourceFactory<ZipByteSource>()));
    rows.append(FormatSpec::fb2(QStringLiteral("fb2"), sourceFactory<Fb2ByteSource>()));
    rows.append(FormatSpec::fb2(QStringLiteral("fbz"), sourceFactory<Fb2ByteSource>()));
    rows.append(FormatSpec::fb2(QStringLiteral("fb2.zip"), sourceFactory<Fb2ByteSource>()));
    rows.append(FormatSpec::txt(QStringLiteral("txt")));
    return rows;
}

} // namespace DefaultFormats
