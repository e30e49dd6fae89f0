#include "TestEpub.h"

namespace TestEpub {

namespace {

QByteArray manifestItem(const Item& item)
{
    return "<item id=\"" + item.id + "\" href=\"" + item.href.toUtf8() + "\" media-type=\"" + item.mediaType + "\"/>";
}

// The folder of the package document, with its slash: item hrefs are relative to it.
QString packageFolder(const QString& packagePath)
{
    return packagePath.left(packagePath.lastIndexOf(QLatin1Char('/')) + 1);
}

} // namespace

QByteArray container(const QByteArray& packagePath)
{
    return "<?xml version=\"1.0\"?><container version=\"1.0\" xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\">"
           "<rootfiles><rootfile full-path=\"" + packagePath + "\" media-type=\"application/oebps-package+xml\"/>"
           "</rootfiles></container>";
}

QByteArray packageDocument(const Book& book)
{
    QByteArray manifest, spine;
    for (const Item& item : book.spine) {
        manifest += manifestItem(item);
        spine += "<itemref idref=\"" + item.id + "\"/>";
    }
    for (const Item& item : book.resources)
        manifest += manifestItem(item);
    const QByteArray title = book.title.isEmpty() ? QByteArray() : "<dc:title>" + book.title + "</dc:title>";
    return "<?xml version=\"1.0\"?><package xmlns=\"http://www.idpf.org/2007/opf\" version=\"" + book.version + "\">"
           "<metadata xmlns:dc=\"http://purl.org/dc/elements/1.1/\">" + title + book.metadata + "</metadata>"
           "<manifest>" + manifest + "</manifest><spine>" + spine + "</spine></package>";
}

QList<Item> numberedChapters(const QList<QByteArray>& documents, const QString& folder)
{
    QList<Item> chapters;
    for (int i = 0; i < documents.size(); ++i) {
        const QByteArray id = "c" + QByteArray::number(i);
        chapters.append({id, folder + QString::fromLatin1(id) + QStringLiteral(".xhtml"), documents.at(i)});
    }
    return chapters;
}

QList<TestZip::Entry> entries(const Book& book)
{
    QList<TestZip::Entry> zip{
        {QStringLiteral("mimetype"), "application/epub+zip", true},
        {QStringLiteral("META-INF/container.xml"), container(book.packagePath.toUtf8())},
        {book.packagePath, book.packageDocument.isEmpty() ? packageDocument(book) : book.packageDocument}};
    const QString folder = packageFolder(book.packagePath);
    for (const QList<Item>* items : {&book.spine, &book.resources}) {
        for (const Item& item : *items)
            zip.append({folder + item.href, item.data});
    }
    return zip + book.files;
}

bool write(const QString& path, const Book& book)
{
    return TestZip::write(path, entries(book));
}

Book colourSchemeBook(const QByteArray& title, const QByteArray& text)
{
    Book book;
    book.version = "3.0";
    book.title = title;
    book.spine = {{"c", QStringLiteral("c.xhtml"),
                   "<html xmlns=\"http://www.w3.org/1999/xhtml\"><head><link rel=\"stylesheet\" href=\"s.css\"/></head>"
                   "<body><p>" + text + "</p></body></html>"}};
    book.files = {{QStringLiteral("s.css"), "@media (prefers-color-scheme: dark) { p { font-style: italic } }"}};
    return book;
}

} // namespace TestEpub
