#include "formats/FormatRegistry.h"

#include <QFileInfo>

FormatRegistry::FormatRegistry(QList<FormatSpec> specs)
    : m_specs(std::move(specs))
{
}

const FormatSpec* FormatRegistry::specFor(const QString& path) const
{
    if (!QFileInfo(path).isDir())
        return fileSpecFor(path);
    // A folder is a folder of images whatever its name: "x.epub" too (an unpacked book gets the
    // folder reader's "No images found" when it holds no pictures).
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
