#pragma once

// Which of a book's own fonts the family names in its styles stand for, and the styles rewritten
// to name them. A family its @font-face rules declare picks, among the faces declared for it, the
// one CSS font matching picks for the text's weight and style (style first, then the nearest
// weight in the direction CSS prefers); a family no rule declares may still be the name inside
// one of the book's font files, as older books rely on. Names compare ignoring case, as CSS
// family names do. Any other family stays as written, for the installed fonts.
//
// Built by one thread; a built table only answers, so several threads may read it.

#include "content/ContentModel.h"

#include <QHash>
#include <QList>
#include <QString>

class BookFontFaces {
public:
    // A face an @font-face rule declares for family, registered as registeredFamily.
    void declare(const QString& family, int minWeight, int maxWeight, bool italic, const QString& registeredFamily);
    // A font of the book by the family, weight and style inside its file.
    void addOwnName(const QString& family, int weight, bool italic, const QString& registeredFamily);
    bool isEmpty() const { return m_declared.isEmpty() && m_ownNames.isEmpty(); }

    // The registered family standing for family in this weight and style, or empty.
    QString resolve(const QString& family, int weight, bool italic) const;
    // Every family of every style in chunks that resolves is replaced by its registered family.
    void applyTo(QList<ContentChunk>& chunks) const;

private:
    struct Face {
        int minWeight = 400;
        int maxWeight = 400;
        bool italic = false;
        QString registeredFamily;
    };

    static QString best(const QList<Face>& faces, int weight, bool italic);
    void apply(TextStyle& style) const;

    QHash<QString, QList<Face>> m_declared; // by lower-cased family
    QHash<QString, QList<Face>> m_ownNames;
};
