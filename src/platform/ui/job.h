// One long job at a time. A long job (a search, a removal, a cleaning run,
// an import) lets events run so the window repaints and its progress bar
// moves; nothing the user does meanwhile may reach the list, its database
// or its windows, as if the progress were a modal box.
//
// While a JobScope is held, and during every ui::doEvents(), the windows
// that were open when the outermost scope began:
// - take no user input (mouse, keys, shortcuts, wheel, context menus, drops),
//   but for the job's own Cancel;
// - do nothing on their menu and toolbar commands and push buttons, even
//   when code triggers or clicks them (their signals are held back);
// - answer their close box with the wait message and stay open, but for a
//   window that holds the job's Cancel: there the close box and Escape are
//   that Cancel. The wait message is a notice (ui::notice), never a box
//   with its own event loop, so the job runs on while it is up.
// Painting, timers and the progress go on; windows opened during the job
// (its own message boxes) work as usual. Scopes nest. The guard belongs
// to the main thread: a scope taken on another thread does nothing.
//
// Handlers that reach the list by other roads than a push button or a
// command (a tab switch, a list's click, the grid's editing, a close) call
// ui::jobRunning() first and do nothing while it is true.
#pragma once

#include <QList>
#include <QPointer>
#include <QString>
#include <functional>
#include <initializer_list>

class QWidget;

namespace ui {

class JobScope {
public:
    /// cancel: the widgets that keep taking input (the job's Cancel button).
    explicit JobScope(std::initializer_list<QWidget*> cancel = {});
    ~JobScope();
    JobScope(const JobScope&) = delete;
    JobScope& operator=(const JobScope&) = delete;

private:
    QList<QPointer<QWidget>> cancel_;
    bool counted_ = false;   ///< false off the main thread: windows belong to that one
};

/// True while a job runs or events are being let run: a handler that could
/// reach the list, its database or its windows does nothing then.
bool jobRunning();

/// Queues f to run on context's event loop once no job runs: a reaction to
/// the program's own change that arrived while events were let run.
void whenNoJob(QObject* context, std::function<void()> f);

/// "Please wait until the current operation has finished."
QString jobWaitMessage();
/// Shows the wait message (information icon, OK) as a notice: the job runs
/// on while it is up, and while it is up a second one is not shown.
void showJobWait();

}  // namespace ui
