#include "FormatSpec.h"

#include "ComicReader.h"

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
