#pragma once

// A request to stop a piece of work early, shared between the thread that may make it and the
// threads doing the work.
//
// Opening a book runs through many stages (inflating entries, decoding, finding paragraphs,
// parsing, building chunks, sizing pictures), each deep inside the reader. Rather than thread a
// parameter through all of them, the thread that runs an open installs its token for the time of
// the open (CancelToken::Scope), and each long stage asks CancelToken::requested() in its loops,
// at intervals of bounded work, and stops early when it is set. What a stopped stage returns is
// incomplete but well formed; the caller that cancelled throws it away.
//
// Any thread may call cancel() and isCancelled(), at any time. A Scope is made and destroyed on
// the thread it applies to; requested() reads the token of the calling thread only (none: false).

#include <atomic>
#include <memory>

class CancelToken {
public:
    // A token that nobody can cancel.
    CancelToken() = default;
    // A new token that cancel() can set, shared by its copies.
    static CancelToken create();

    // Sets the token (and every copy of it); a token made by the default constructor ignores it.
    void cancel() const;
    bool isCancelled() const { return m_flag && m_flag->load(std::memory_order_relaxed); }

    // Whether the work running on this thread has been asked to stop. As cheap as a load, for
    // loops; false on a thread without a Scope.
    static bool requested();
    // The token of this thread's Scope (a token nobody can cancel without one), for handing the
    // work on to helper threads.
    static CancelToken current();

    // Makes a token the one requested() reads on this thread while it lives.
    class Scope;

private:
    std::shared_ptr<std::atomic<bool>> m_flag;
};

// Makes token the one requested() reads on this thread until the Scope ends; scopes nest.
class CancelToken::Scope {
public:
    explicit Scope(CancelToken token);
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;
    ~Scope();

private:
    CancelToken m_token;
    const CancelToken* m_previous;
};
