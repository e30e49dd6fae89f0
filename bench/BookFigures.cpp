#include "BookFigures.h"

#include "images/ImageUrl.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

namespace {

// Values may hold spaces, "=" or newlines; encoding them keeps one field per space.
QString encoded(const QString& value)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(value));
}

QString field(const char* key, const QString& value)
{
    return QLatin1String(key) + QLatin1Char('=') + value;
}

QString paragraphText(const BlockItem& block)
{
    QString line;
    for (const InlineRun& run : block.runs) {
        if (run.kind == InlineRun::Text)
            line += run.text;
        else if (run.kind == InlineRun::Image)
            line += QStringLiteral("[image ") + run.url + QLatin1Char(']');
        else
            line += QLatin1Char(' ');
    }
    return line;
}

} // namespace

BookFigures::BookFigures(const FormatRegistry& registry, const QString& path)
    : m_path(path)
    , m_spec(registry.specFor(path))
{
    QElapsedTimer timer;
    timer.start();
    m_reader = registry.createReader(path);
    if (!m_reader) {
        m_error = QStringLiteral("No format reader available for this file type");
    } else {
        m_ok = m_reader->open(path);
        if (!m_ok)
            m_error = m_reader->errorString();
    }
    m_openMs = double(timer.nsecsElapsed()) / 1e6;
}

QStringList BookFigures::fields() const
{
    QStringList fields;
    fields << field("file", encoded(QFileInfo(QDir::cleanPath(m_path)).fileName()))
           << field("ok", m_ok ? QStringLiteral("1") : QStringLiteral("0"))
           << field("error", encoded(m_error))
           << field("format", !m_spec ? QString() : m_spec->isDirectory ? QStringLiteral("dir") : m_spec->extension);
    if (!m_reader) {
        fields << field("kind", QString()) << field("title", QString()) << field("author", QString());
    } else if (m_reader->contentKind() == ContentKind::Text) {
        const QList<ContentChunk> chunks = m_reader->chunks();
        qint64 weight = 0;
        for (const ContentChunk& chunk : chunks)
            weight += chunk.weight;
        fields << field("kind", QStringLiteral("text")) << field("title", encoded(m_reader->title()))
               << field("author", encoded(m_reader->author())) << field("chunks", QString::number(chunks.size()))
               << field("weight", QString::number(weight));
    } else {
        fields << field("kind", QStringLiteral("pages")) << field("title", encoded(m_reader->title()))
               << field("author", encoded(m_reader->author()))
               << field("pages", QString::number(m_reader->pages().size()));
    }
    fields << field("open_ms", QString::number(m_openMs, 'f', 1));
    return fields;
}

QStringList BookFigures::dumpLines() const
{
    QStringList lines;
    if (!m_reader || !m_ok)
        return lines;
    if (m_reader->contentKind() == ContentKind::Text) {
        for (const ContentChunk& chunk : m_reader->chunks()) {
            for (const BlockItem& block : chunk.blocks) {
                if (block.kind == BlockItem::Paragraph)
                    lines << paragraphText(block);
            }
        }
        return lines;
    }
    const QString prefix = QStringLiteral("image://") + (m_spec ? m_spec->scheme : QString()) + QLatin1Char('/');
    for (const ComicPage& page : m_reader->pages()) {
        const QString entry = page.entry.startsWith(prefix)
            ? ImageUrl::parseProviderId(page.entry.mid(prefix.size())).path
            : page.entry;
        lines << QStringLiteral("%1 %2x%3").arg(entry).arg(page.size.width()).arg(page.size.height());
    }
    return lines;
}

QString BookFigures::peakRssField()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly | QIODevice::Text)) {
        for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
            if (line.startsWith("VmHWM:")) {
                const qint64 kilobytes = line.mid(6).trimmed().split(' ').value(0).toLongLong();
                return field("peak_rss_mb", QString::number(double(kilobytes) / 1024.0, 'f', 1));
            }
        }
    }
    return field("peak_rss_mb", QString());
}
