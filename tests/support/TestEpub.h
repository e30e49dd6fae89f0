#pragma once

// Writes EPUB fixtures: a stored "mimetype" entry first, the container naming the package
// document, the package document, then the book's files in the order given, zipped by TestZip.
// Plain functions of their arguments; any thread.

#include "TestZip.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace TestEpub {

// A file the package document lists in its manifest.
struct Item {
    QByteArray id;
    QString href; // relative to the package document's folder
    QByteArray data;
    QByteArray mediaType = "application/xhtml+xml";
};

struct Book {
    QString packagePath = QStringLiteral("content.opf");
    QByteArray version = "2.0";
    QByteArray title; // no dc:title when empty
    QByteArray metadata; // further metadata elements, after the title
    QList<Item> spine; // in the manifest and, in this order, the spine
    QList<Item> resources; // in the manifest only, after the spine's items
    QList<TestZip::Entry> files; // in the zip only, named from its root
    // When not empty, written as the package document in place of the one the fields above make:
    // for packages a test shapes itself, broken ones included.
    QByteArray packageDocument;
};

// META-INF/container.xml naming the package document at packagePath.
QByteArray container(const QByteArray& packagePath);
// The package document: the metadata, a manifest of the spine and the resources, the spine.
QByteArray packageDocument(const Book& book);
// Items c0, c1, ... at "<folder>c0.xhtml", ..., holding the documents given, in order.
QList<Item> numberedChapters(const QList<QByteArray>& documents, const QString& folder = QString());

// Every entry of the book's zip, in the order they are written.
QList<TestZip::Entry> entries(const Book& book);
// Writes the book to path; false when the file cannot be written.
bool write(const QString& path, const Book& book);

// One chapter holding a paragraph of text whose style sheet s.css, beside it and not in the
// manifest, has a prefers-color-scheme rule for dark schemes.
Book colourSchemeBook(const QByteArray& title, const QByteArray& text);

} // namespace TestEpub
