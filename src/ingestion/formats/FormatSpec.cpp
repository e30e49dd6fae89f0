#include "formats/FormatSpec.h"

#include "formats/ComicReader.h"
#include "formats/EpubReader.h"
#include "formats/Fb2Reader.h"
#include "formats/TxtReader.h"

FormatSpec FormatSpec::comic(const QString& extension, bool isDirectory, const QString& scheme,
                             const SourceFactory& sourceFactory)
{
    FormatSpec spec;
    spec.extension = extension;
    spec.isDirectory = isDirectory;
    spec.scheme = scheme;
    spec.readerFactory = [sourceFactory, scheme]() -> std::unique_ptr<FormatReader> {
        return std::make_unique<ComicReader>(sourceFactory, scheme);
    };
    spec.sourceFactory = sourceFactory;
    return spec;
}

FormatSpec FormatSpec::epub(const SourceFactory& sourceFactory)
{
    FormatSpec spec;
    spec.extension = QStringLiteral("epub");
    spec.scheme = QStringLiteral("epub");
    spec.readerFactory = [sourceFactory]() -> std::unique_ptr<FormatReader> {
        return std::make_unique<EpubReader>(sourceFactory, QStringLiteral("epub"));
    };
    spec.sourceFactory = sourceFactory;
    return spec;
}

FormatSpec FormatSpec::fb2(const QString& extension, const SourceFactory& sourceFactory)
{
    FormatSpec spec;
    spec.extension = extension;
    spec.scheme = QStringLiteral("fb2");
    spec.readerFactory = [sourceFactory]() -> std::unique_ptr<FormatReader> {
        return std::make_unique<Fb2Reader>(sourceFactory, QStringLiteral("fb2"));
    };
    spec.sourceFactory = sourceFactory;
    return spec;
}

FormatSpec FormatSpec::txt(const QString& extension)
{
    FormatSpec spec;
    spec.extension = extension;
    spec.readerFactory = []() -> std::unique_ptr<FormatReader> { return std::make_unique<TxtReader>(); };
    return spec;
}
