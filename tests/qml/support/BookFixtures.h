#pragma once

// Tiny real books for the QML tests, written into a temporary folder on demand: plain-text books,
// folders of page images, an EPUB asking for the colour scheme and files of any content. Every book's bytes include its name, so each
// has its own identity key and its own saved position. GUI thread only.

#include <QObject>
#include <QString>
#include <QTemporaryDir>
#include <QVariantList>

class BookFixtures : public QObject {
    Q_OBJECT
public:
    explicit BookFixtures(QObject* parent = nullptr);

    // "<name>.txt" holding `paragraphs` paragraphs of about `length` characters each.
    Q_INVOKABLE QString textBook(const QString& name, int paragraphs, int length = 600);
    // "<name>.fb2" holding `paragraphs` sections of one paragraph and one small picture each, so that
    // measuring its chunks asks for image sizes.
    Q_INVOKABLE QString illustratedBook(const QString& name, int paragraphs);
    // A folder "<name>" of `pages` PNG pages: portrait (60 x 90), or wide (180 x 90) at the
    // indices listed in `widePages`.
    Q_INVOKABLE QString comicFolder(const QString& name, int pages, const QVariantList& widePages = {});
    // "<name>.epub" whose style sheet has a prefers-color-scheme query, so that the book opens again
    // when a theme change turns the scheme it is told.
    Q_INVOKABLE QString colourSchemeBook(const QString& name);
    // A file "<name>" holding `content` as UTF-8: junk or empty books.
    Q_INVOKABLE QString file(const QString& name, const QString& content);

private:
    QTemporaryDir m_dir;
};
