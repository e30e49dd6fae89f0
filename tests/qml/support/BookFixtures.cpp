#include "BookFixtures.h"

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
