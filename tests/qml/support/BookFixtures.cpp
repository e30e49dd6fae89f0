#include "BookFixtures.h"

#include "TestEpub.h"

#include <QBuffer>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>

BookFixtures::BookFixtures(QObject* parent)
    : QObject(parent)
{
}

QString BookFixtures::textBook(const QString& name, int paragraphs, int length)
{
    static const QStringList words = {
        QStringLiteral("reading"), QStringLiteral("river"), QStringLiteral("lantern"), QStringLiteral("of"),
        QStringLiteral("quiet"), QStringLiteral("a"), QStringLiteral("harbour"), QStringLiteral("under"),
        QStringLiteral("the"), QStringLiteral("morning"), QStringLiteral("and"), QStringLiteral("distant")};
    QString text = name + QStringLiteral("\n\n");
    for (int p = 0; p < paragraphs; ++p) {
        QString paragraph = QStringLiteral("Paragraph %1.").arg(p + 1);
        for (int w = p; paragraph.size() < length; ++w)
            paragraph += QLatin1Char(' ') + words.at(w % words.size());
        text += paragraph + QStringLiteral(".\n\n");
    }
    const QString path = m_dir.filePath(name + QStringLiteral(".txt"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {};
    file.write(text.toUtf8());
    return path;
}

QString BookFixtures::illustratedBook(const QString& name, int paragraphs)
{
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    QBuffer png;
    png.open(QIODevice::WriteOnly);
    picture.save(&png, "PNG");

    QString body;
    for (int p = 0; p < paragraphs; ++p)
        body += QStringLiteral("<section><p>Section %1 of %2, with its picture below.</p><image l:href=\"#pic\"/></section>\n")
                    .arg(p + 1)
                    .arg(name);
    const QString text = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                        "<FictionBook xmlns=\"http://www.gribuser.ru/xml/fictionbook/2.0\" "
                                        "xmlns:l=\"http://www.w3.org/1999/xlink\">\n"
                                        "<description><title-info><book-title>%1</book-title></title-info></description>\n"
                                        "<body>\n%2</body>\n"
                                        "<binary id=\"pic\" content-type=\"image/png\">%3</binary>\n"
                                        "</FictionBook>\n")
                             .arg(name, body, QString::fromLatin1(png.data().toBase64()));
    return file(name + QStringLiteral(".fb2"), text);
}

QString BookFixtures::colourSchemeBook(const QString& name)
{
    const QString path = m_dir.filePath(name + QStringLiteral(".epub"));
    return TestEpub::write(path, TestEpub::colourSchemeBook(name.toUtf8(), name.toUtf8())) ? path : QString();
}

QString BookFixtures::comicFolder(const QString& name, int pages, const QVariantList& widePages)
{
    const QString folder = m_dir.filePath(name);
    if (!QDir().mkpath(folder))
        return {};
    for (int i = 0; i < pages; ++i) {
        const bool wide = widePages.contains(QVariant(i));
        QImage page(wide ? 180 : 60, 90, QImage::Format_RGB32);
        page.fill(QColor::fromHsv((i * 47) % 360, 160, 220));
        page.save(QDir(folder).filePath(QStringLiteral("%1-%2.png").arg(name).arg(i + 1, 3, 10, QLatin1Char('0'))));
    }
    return folder;
}

QString BookFixtures::file(const QString& name, const QString& content)
{
    const QString path = m_dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {};
    file.write(content.toUtf8());
    return path;
}
