// One thread at a time on each connection of the engine. Connections are
// opened without SQLite's own lock (SQLITE_OPEN_NOMUTEX), so two threads
// inside one connection at once corrupt its state without a word. In builds
// with QB_THREAD_CHECKS (debug and sanitizer builds) every call into the
// engine's objects (connection, statement, database, recordset) marks its
// connection as in use by the calling thread until the call returns; the same
// thread may come in again (a statement's step runs our own functions and
// feeds, whose progress lets the window's events run), but another thread
// that comes in meanwhile ends the program at once with a message naming the
// connection and both calls. In the normal build the marks compile to nothing.
//
//   void Recordset::moveNext()
//   {
//       QB_JET_CALL(conn_);
//       ...
//   }
#pragma once

#if QB_THREAD_CHECKS

#include <QString>
#include <atomic>
#include <memory>
#include <thread>

namespace jet {

class Connection;

/// The mark of the thread inside a connection, and how deep it is inside.
class ThreadUse {
public:
    /// Takes the mark for this thread, or ends the program when another
    /// thread holds it. call and label name the call and the connection in
    /// that message.
    void enter(const char* call, const QString& label)
    {
        const std::thread::id me = std::this_thread::get_id();
        std::thread::id held;
        if (user_.compare_exchange_strong(held, me, std::memory_order_acquire, std::memory_order_relaxed)) {
            depth_ = 1;
            call_.store(call, std::memory_order_relaxed);
            return;
        }
        if (held == me) {
            ++depth_;
            return;
        }
        conflict(call, label, held);
    }

    void leave()
    {
        if (--depth_ == 0)
            user_.store(std::thread::id(), std::memory_order_release);
    }

private:
    [[noreturn]] void conflict(const char* call, const QString& label, std::thread::id holder) const;

    std::atomic<std::thread::id> user_{};
    std::atomic<const char*> call_{nullptr};   ///< the outermost call of the holder, for the message
    int depth_ = 0;                            ///< touched only by the thread holding the mark
};

/// The mark held for the length of one call.
class ThreadUseScope {
public:
    ThreadUseScope(const Connection* c, const char* call);
    ThreadUseScope(const std::shared_ptr<Connection>& c, const char* call) : ThreadUseScope(c.get(), call) {}
    ThreadUseScope(ThreadUse& use, const char* call, const QString& label) : use_(&use) { use.enter(call, label); }
    ~ThreadUseScope()
    {
        if (use_)
            use_->leave();
    }
    ThreadUseScope(const ThreadUseScope&) = delete;
    ThreadUseScope& operator=(const ThreadUseScope&) = delete;

private:
    ThreadUse* use_ = nullptr;
};

} // namespace jet

/// Marks the connection (a pointer, a shared pointer; null is let through)
/// as in use by this thread until the enclosing block ends.
#define QB_JET_CALL(connection) const ::jet::ThreadUseScope qbJetCall_((connection), __func__)

#else

#define QB_JET_CALL(connection) ((void)0)

#endif
