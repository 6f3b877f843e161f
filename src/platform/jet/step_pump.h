// Events let run from inside the engine's own statements. A long run that is
// one statement (a count over a million rows, a joined UPDATE, a SELECT ...
// INTO a file) has no loop of ours to pump from; while a StepPump lives, the
// engine calls its pump about every intervalMs from inside each step of any
// statement of the connection, on the thread that made it (the window's), so
// the window repaints and the job guard judges input while the statement works.
//
// While the pump runs inside a step, no other statement may be prepared, run
// or stepped on that connection: the engine's state belongs to the statement
// that is suspended. One that tries gets a JetError at once (a grid shows what
// it has cached, a handler its usual failure); nothing runs half-inside
// another. Statements stepped on other threads are never pumped. An inner
// StepPump on a connection that has one already does nothing.
#pragma once

#include <functional>
#include <memory>

namespace jet {

class Connection;

class StepPump {
public:
    /// c must outlive the pump.
    StepPump(Connection& c, std::function<void()> pump, int intervalMs = 50);
    ~StepPump();
    StepPump(const StepPump&) = delete;
    StepPump& operator=(const StepPump&) = delete;

    /// How often the pump ran inside a step.
    int pumps() const;

    struct State;

private:
    std::unique_ptr<State> s_;
};

/// True while a StepPump's pump runs inside a statement of c.
bool insidePumpedStep(const Connection* c);

/// Throws the engine's busy error when insidePumpedStep(c).
void refuseInsidePumpedStep(const Connection* c);

} // namespace jet
