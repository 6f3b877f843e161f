// How a long run reports progress and learns of a Cancel, without knowing the
// window that shows it. A form passes an object that moves its progress bar
// and lets pending events run; tests and benchmarks pass nothing or a counter.
#pragma once

#include <QtGlobal>

namespace common {

class Progress {
public:
    virtual ~Progress() = default;
    /// The amount of work ahead (rows, bytes); called once before the first step.
    virtual void start(qint64 total) { (void)total; }
    /// Work done so far; callers report every few thousand units, not every row.
    virtual void step(qint64 done) { (void)done; }
    /// True once the user asked to stop; the run then rolls back and says so.
    virtual bool cancelled() const { return false; }
};

/// A Progress that does nothing.
inline Progress& noProgress()
{
    static Progress p;
    return p;
}

} // namespace common
