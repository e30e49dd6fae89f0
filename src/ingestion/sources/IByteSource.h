#pragma once

// A container of named entries opened from one path: a zip or RAR archive, a folder, an FB2 file.
//
// Each reader and each image job makes its own source through a SourceFactory, opens it and uses it
// from that thread. open() must return before any other call. Sources that document it may serve
// readEntry() from several threads at once.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

class IByteSource {
public:
    using EntryVisitor = std::function<void(const QString& name, const QByteArray& bytes)>;

    virtual ~IByteSource() = default;

    // True when the container is open and usable. Discards any previous container first.
    virtual bool open(const QString& path) = 0;
    // Entry names in container order ("/" separators, UTF-8 decoded; bare names for a folder).
    virtual QStringList listEntries() const = 0;
    // The entry's bytes; an empty array means failure of any kind.
    virtual QByteArray readEntry(const QString& name) const = 0;
    // Raw 16-byte MD5 digest identifying the container; empty when it cannot be computed.
    virtual QByteArray contentHash() const = 0;

    // Reads many entries at once: visit(name, bytes) is called once for each of the (distinct)
    // names, with what readEntry(name) would give, in an order of the source's choosing. Sources
    // that read sequentially answer in container order from one pass; the rest read one by one.
    virtual void readEntries(const QStringList& names, const EntryVisitor& visit) const
    {
        for (const QString& name : names)
            visit(name, readEntry(name));
    }
    // The first maxBytes bytes of the entry (all of it when shorter): enough for an image's header.
    // Empty on failure. The default reads the whole entry; sources that can stop early do.
    virtual QByteArray readEntryHead(const QString& name, qint64 maxBytes) const { return readEntry(name).left(maxBytes); }
    // True when readEntryHead stops early, so that reading many heads one by one costs less than
    // one pass of readEntries over the whole entries.
    virtual bool readsHeadsCheaply() const { return false; }
    // True when the entry exists but is larger than the source is willing to read (readEntry then
    // gives an empty array), so that a reader can say why instead of skipping it.
    virtual bool entryExceedsLimit(const QString& name) const
    {
        Q_UNUSED(name);
        return false;
    }
};
