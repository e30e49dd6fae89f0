#include "formats/BookMetadata.h"

#include "images/ImageUrl.h"

QString BookMetadata::coverImageUrl(const QString& scheme) const
{
    return cover.isEmpty() ? QString() : ImageUrl::build(scheme, cover, filePath);
}
