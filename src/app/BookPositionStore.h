#pragma once

// One BookPosition per book, kept in the settings store under "saved-progress/<hex identity key>".
// The identity key is the reader's content hash; an empty key (a book without one) always loads the
// defaults and is never written.
//
// GUI thread only. Holds no state of its own beyond the AppState reference.

#include "BookPosition.h"

#include <QByteArray>
#include <QString>

class AppState;

class BookPositionStore {
public:
    explicit BookPositionStore(AppState& state);

    static QString sectionKey(const QByteArray& key);

    // Each field is read on its own; a missing, unconvertible or out-of-range value (a hand-edited
    // or damaged group) gives that field's default.
    BookPosition load(const QByteArray& key) const;
    void save(const QByteArray& key, const BookPosition& position);
    // Rewrites the position with only the colours flag changed (creating the group if needed).
    void setUseBookColours(const QByteArray& key, bool enabled);

private:
    AppState& m_state;
};
