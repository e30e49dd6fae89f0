#include "formats/FormatRegistry.h"

#include <QFileInfo>

FormatRegistry::FormatRegistry(QList<FormatSpec> specs)
    : m_specs(std::move(specs))
{
}

const FormatSpec* FormatRegistry::specFor(const QString& path) const
{
    const FormatSpec* named = fileSpecFor(path);
    if (!QFileInfo(path).isDir())
        return named;
    // A folder named like a book file (an unpacked "x.epub", a file replaced by a folder) goes to
    // that format's reader, whose error then names the format; only comics are read from folders.
    if (named && !named->opensFolders)
        return named;
    for (const FormatSpec& spec : m_specs) {
        if (spec.isDirectory)
            return &spec;
    }
    return nullptr;
}

const FormatSpec* FormatRegistry::fileSpecFor(const QString& path) const
{
    const QString lowerPath = path.toLower();
    for (const FormatSpec& spec : m_specs) {
        if (!spec.isDirectory && lowerPath.endsWith(QLatin1Char('.') + spec.extension.toLower()))
            return &spec;
    }
    return nullptr;
}

std::unique_ptr<FormatReader> FormatRegistry::createReader(const QString& path) const
{
    const FormatSpec* spec = specFor(path);
    if (!spec || !spec->readerFactory)
        return nullptr;
    return spec->readerFactory();
}

std::unique_ptr<IByteSource> FormatRegistry::createByteSourceForScheme(const QString& scheme) const
{
    if (scheme.isEmpty())
        return nullptr;
    for (const FormatSpec& spec : m_specs) {
        if (spec.scheme == scheme && spec.sourceFactory)
            return spec.sourceFactory();
    }
    return nullptr;
}

QStringList FormatRegistry::supportedExtensions() const
{
    QStringList extensions;
    for (const FormatSpec& spec : m_specs) {
        if (!spec.isDirectory && !spec.extension.isEmpty())
            extensions.append(spec.extension);
    }
    return extensions;
}
