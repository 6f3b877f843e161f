// The pump is SQLite's progress handler: called every kOps virtual-machine
// steps, it looks at the clock and, on the pump's own thread once the
// interval has passed, marks the connection as inside a pumped step and
// calls the pump. The marks are a small set behind a mutex with an atomic
// count in front, so a statement's step on any thread pays one relaxed load
// while nothing is pumped.
#include "platform/jet/step_pump.h"

#include "platform/jet/connection.h"
#include "platform/jet/error.h"

#include <QElapsedTimer>
#include <QHash>
#include <QSet>
#include <atomic>
#include <mutex>
#include <sqlite3.h>
#include <thread>

namespace jet {

struct StepPump::State {
    Connection* connection = nullptr;
    std::function<void()> pump;
    int intervalMs = 50;
    std::thread::id owner;
    QElapsedTimer sincePump;
    bool inPump = false;
    bool installed = false;
    int pumps = 0;
};

namespace {

constexpr int kOps = 1000;   // virtual-machine steps between two looks at the clock

std::atomic<int> g_inside{0};

std::mutex& marksMutex()
{
    static std::mutex m;
    return m;
}

QSet<const Connection*>& marks()
{
    static QSet<const Connection*> s;
    return s;
}

/// The connections with a pump installed; touched by the pumps' own thread only.
QHash<const Connection*, StepPump::State*>& installedPumps()
{
    static QHash<const Connection*, StepPump::State*> h;
    return h;
}

class Mark {
public:
    explicit Mark(const Connection* c) : c_(c)
    {
        const std::lock_guard<std::mutex> lock(marksMutex());
        marks().insert(c_);
        g_inside.fetch_add(1, std::memory_order_release);
    }
    ~Mark()
    {
        const std::lock_guard<std::mutex> lock(marksMutex());
        marks().remove(c_);
        g_inside.fetch_sub(1, std::memory_order_release);
    }
    Mark(const Mark&) = delete;
    Mark& operator=(const Mark&) = delete;

private:
    const Connection* c_;
};

int onProgress(void* context)
{
    auto* s = static_cast<StepPump::State*>(context);
    // Another thread's statement: nothing of the pump's state is touched.
    if (std::this_thread::get_id() != s->owner)
        return 0;
    if (s->inPump || s->sincePump.elapsed() < s->intervalMs)
        return 0;
    s->inPump = true;
    {
        const Mark mark(s->connection);
        try {
            s->pump();
        } catch (...) {
            // Nothing may unwind through the engine's C code; the pump's
            // failure is the pump's to report.
        }
    }
    ++s->pumps;
    s->inPump = false;
    s->sincePump.restart();
    return 0;   // never interrupts the statement
}

} // namespace

StepPump::StepPump(Connection& c, std::function<void()> pump, int intervalMs) : s_(std::make_unique<State>())
{
    s_->connection = &c;
    s_->pump = std::move(pump);
    s_->intervalMs = intervalMs;
    s_->owner = std::this_thread::get_id();
    s_->sincePump.start();
    if (installedPumps().contains(&c))
        return;
    installedPumps().insert(&c, s_.get());
    s_->installed = true;
    sqlite3_progress_handler(c.handle(), kOps, &onProgress, s_.get());
}

StepPump::~StepPump()
{
    if (!s_->installed)
        return;
    sqlite3_progress_handler(s_->connection->handle(), 0, nullptr, nullptr);
    installedPumps().remove(s_->connection);
}

int StepPump::pumps() const { return s_->pumps; }

bool insidePumpedStep(const Connection* c)
{
    if (g_inside.load(std::memory_order_acquire) == 0)
        return false;
    const std::lock_guard<std::mutex> lock(marksMutex());
    return marks().contains(c);
}

void refuseInsidePumpedStep(const Connection* c)
{
    if (insidePumpedStep(c))
        throw JetError(errGeneral, QStringLiteral("The database is busy with another operation. Try again when it has "
                                                  "finished."));
}

} // namespace jet
