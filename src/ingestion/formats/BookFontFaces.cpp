#include "formats/BookFontFaces.h"

#include <tuple>

namespace {

// How far a face of weights [low, high] is from the wanted weight, in the order CSS tries faces:
// from 400 to 500 first the heavier ones up to 500, then the lighter, then the heavier beyond;
// below 400 the lighter ones first; above 500 the heavier ones first.
std::tuple<int, int> weightDistance(int wanted, int low, int high)
{
    if (wanted >= low && wanted <= high)
        return { 0, 0 };
    const int nearest = wanted < low ? low : high;
    const int distance = qAbs(nearest - wanted);
    if (wanted >= 400 && wanted <= 500) {
        if (nearest > wanted && nearest <= 500)
            return { 1, distance };
        return { nearest < wanted ? 2 : 3, distance };
    }
    const bool preferred = wanted < 400 ? nearest < wanted : nearest > wanted;
    return { preferred ? 1 : 2, distance };
}

} // namespace

void BookFontFaces::declare(const QString& family, int minWeight, int maxWeight, bool italic,
                            const QString& registeredFamily)
{
    if (family.isEmpty() || registeredFamily.isEmpty())
        return;
    // Every chapter linking the book's sheet declares its faces again.
    QList<Face>& faces = m_declared[family.toLower()];
    for (const Face& face : std::as_const(faces)) {
        if (face.minWeight == minWeight && face.maxWeight == maxWeight && face.italic == italic
            && face.registeredFamily == registeredFamily)
            return;
    }
    faces.append({ minWeight, maxWeight, italic, registeredFamily });
}

void BookFontFaces::addOwnName(const QString& family, int weight, bool italic, const QString& registeredFamily)
{
    if (!family.isEmpty() && !registeredFamily.isEmpty())
        m_ownNames[family.toLower()].append({ weight, weight, italic, registeredFamily });
}

QString BookFontFaces::best(const QList<Face>& faces, int weight, bool italic)
{
    const Face* chosen = nullptr;
    std::tuple<bool, int, int> chosenKey;
    for (const Face& face : faces) {
        const auto [rank, distance] = weightDistance(weight, face.minWeight, face.maxWeight);
        const std::tuple<bool, int, int> key { face.italic != italic, rank, distance };
        if (!chosen || key < chosenKey) {
            chosen = &face;
            chosenKey = key;
        }
    }
    return chosen ? chosen->registeredFamily : QString();
}

QString BookFontFaces::resolve(const QString& family, int weight, bool italic) const
{
    const QString key = family.trimmed().toLower();
    const auto found = m_declared.constFind(key);
    if (found != m_declared.constEnd())
        return best(*found, weight, italic);
    const auto own = m_ownNames.constFind(key);
    return own == m_ownNames.constEnd() ? QString() : best(*own, weight, italic);
}

void BookFontFaces::apply(TextStyle& style) const
{
    for (QString& family : style.families) {
        const QString registered = resolve(family, style.weight, style.italic);
        if (!registered.isEmpty())
            family = registered;
    }
}

void BookFontFaces::applyTo(QList<ContentChunk>& chunks) const
{
    if (isEmpty())
        return;
    for (ContentChunk& chunk : chunks) {
        for (BlockItem& block : chunk.blocks) {
            apply(block.style);
            for (InlineRun& run : block.runs)
                apply(run.style);
        }
    }
}
