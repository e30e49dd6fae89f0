// FormatRegistry's one QML-facing operation, kept here so that the registry itself needs no Quick.
#include "formats/FormatRegistry.h"

#include "quick/EntryImageProvider.h"

#include <QQmlEngine>
#include <QSet>

void FormatRegistry::registerImageProviders(QQmlEngine& engine) const
{
    QSet<QString> registered;
    for (const FormatSpec& spec : m_specs) {
        if (spec.scheme.isEmpty() || !spec.sourceFactory || registered.contains(spec.scheme))
            continue;
        registered.insert(spec.scheme);
        engine.addImageProvider(spec.scheme, new EntryImageProvider(spec.sourceFactory, spec.scheme));
    }
}
