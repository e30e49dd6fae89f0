#include "FormatSpec.h"

#include "ComicReader.h"
#include "TxtReader.h"

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

FormatSpec FormatSpec::txt(const QString& extension)
{
    FormatSpec spec;
    spec.extension = extension;
    spec.readerFactory = []() -> std::unique_ptr<FormatReader> { return std::make_unique<TxtReader>(); };
    return spec;
}
