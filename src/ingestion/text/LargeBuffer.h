#pragma once

// Memory for one large buffer that lives only while a book opens (a whole file's bytes, its
// decoded text, the lines of a text). Fresh memory costs a page fault at the first touch of each
// page, and for a buffer of megabytes those faults cost more than the work done on it: a buffer
// of a quarter of a megabyte or more is therefore taken in pages of 2 MiB where the system offers
// them (Linux's transparent huge pages), a fault for each 2 MiB rather than for each 4 KiB. The
// memory a huge page holds beyond the buffer is touched by nobody, and goes with the buffer. The contents start
// uninitialized; the buffer is never shared and never grows.
//
// Used by the thread that made it; others may read it while that thread waits for them, and
// populate() may be called from any thread at any time.

#include <QtGlobal>

class LargeBuffer {
public:
    explicit LargeBuffer(qsizetype bytes);
    ~LargeBuffer();
    LargeBuffer(const LargeBuffer&) = delete;
    LargeBuffer& operator=(const LargeBuffer&) = delete;

    char* data() const { return m_data; }
    // The same memory seen as UTF-16 units (it is aligned for them).
    char16_t* units() const { return reinterpret_cast<char16_t*>(m_data); }
    qsizetype size() const { return m_size; }
    // Takes the faults of the pages of the first bytes (at most size()) now, without touching what
    // they hold: any thread may call it while another writes into the buffer, and that thread's
    // writes then find the pages in place. Does nothing where the system cannot do it.
    void populate(qsizetype bytes) const;

private:
    char* m_data = nullptr;
    qsizetype m_size = 0;
    qsizetype m_mapped = 0; // bytes mapped for it; 0 when it came from malloc
};
