#pragma once

// One book of a vellora-bench run: opened through the format registry and the real readers, then
// turned into the key=value fields of its line and, with --dump, into its content lines.
// Main thread only.

#include "formats/FormatRegistry.h"

#include <QString>
#include <QStringList>

#include <memory>

class BookFigures {
public:
    // Opens the book at once and times it.
    BookFigures(const FormatRegistry& registry, const QString& path);

    // file, ok, error, format, kind, title, author, then pages or chunks and weight, then open_ms.
    QStringList fields() const;
    // Text: one paragraph per line, images as "[image URL]". Comics: one page entry and size per line.
    QStringList dumpLines() const;

    // The open reader, null when no format matches the path.
    const FormatReader* reader() const { return m_reader.get(); }
    bool ok() const { return m_ok; }
    double openMs() const { return m_openMs; }

    // peak_rss_mb: the process's high-water mark so far (VmHWM); empty where it is unknown.
    static QString peakRssField();

private:
    QString m_path;
    const FormatSpec* m_spec = nullptr;
    std::unique_ptr<FormatReader> m_reader;
    bool m_ok = false;
    QString m_error;
    double m_openMs = 0;
};
