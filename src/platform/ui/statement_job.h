// A long run that is a few long statements of the engine (a count per
// column, a joined UPDATE, a SELECT ... INTO a file) as one job: from its
// start to its end the windows take no input (platform/ui/job.h), the events
// run from inside the statements' steps about every tenth of a second so the
// windows repaint (platform/jet/step_pump.h), and the input queued meanwhile
// is let in, and dropped, before the job ends, so none of it is carried out
// afterwards.
#pragma once

#include "platform/jet/step_pump.h"
#include "platform/ui/job.h"

#include <initializer_list>

class QWidget;

namespace jet {
class Connection;
}

namespace ui {

class StatementJob {
public:
    /// c: the connection the run's statements use.
    explicit StatementJob(jet::Connection& c, std::initializer_list<QWidget*> cancel = {});
    /// Lets the events queued so far run (and the guard drop their input).
    ~StatementJob();
    StatementJob(const StatementJob&) = delete;
    StatementJob& operator=(const StatementJob&) = delete;

    /// Lets events run between two statements (a progress bar's move).
    static void pump();

    /// How often events ran inside the statements.
    int pumpsInside() const { return pump_.pumps(); }

    /// The time between two pumps inside a statement, for the jobs made
    /// from now on (100 ms; a test sets 0 to see pumps in a small list's run).
    static void setPumpInterval(int ms);

private:
    ui::JobScope job_;
    jet::StepPump pump_;
};

} // namespace ui
