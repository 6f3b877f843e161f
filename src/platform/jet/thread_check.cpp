// The check of one thread at a time on a connection. See thread_check.h.
#include "platform/jet/thread_check.h"

#if QB_THREAD_CHECKS

#include "platform/jet/connection.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace jet {

void ThreadUse::conflict(const char* call, const QString& label, std::thread::id holder) const
{
    std::ostringstream me, other;
    me << std::this_thread::get_id();
    other << holder;
    const char* inside = call_.load(std::memory_order_relaxed);
    std::fprintf(stderr,
                 "Two threads use the engine connection to '%s' at once: %s on thread %s while thread %s is inside %s.\n",
                 label.toLocal8Bit().constData(), call, me.str().c_str(), other.str().c_str(), inside ? inside : "a call");
    std::fflush(stderr);
    std::abort();
}

ThreadUseScope::ThreadUseScope(const Connection* c, const char* call)
{
    if (!c)
        return;
    use_ = &c->threadUse();
    use_->enter(call, c->path());
}

} // namespace jet

#endif
