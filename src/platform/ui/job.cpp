// The job guard: a depth counter, the windows that were open when the
// outermost scope began, the signals held back meanwhile, and one
// application event filter that judges every input and close event.
#include "platform/ui/job.h"

#include "platform/ui/ui.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QMdiSubWindow>
#include <QThread>
#include <QWidget>
#include <utility>

namespace ui {

namespace {

class Filter : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

struct State {
    int depth = 0;
    QList<QPointer<QWidget>> before;     ///< the windows open at the outermost start
    QList<QPointer<QWidget>> cancel;     ///< every open scope's Cancel widgets
    QList<QPointer<QObject>> held;       ///< objects whose signals the guard blocked
    Filter* filter = nullptr;
    QList<QPair<QPointer<QObject>, std::function<void()>>> deferred;   ///< whenNoJob's calls
};

State& state()
{
    static State s;
    return s;
}

bool isCancel(const QWidget* w)
{
    for (const QPointer<QWidget>& c : state().cancel)
        if (c && (c == w || c->isAncestorOf(w)))
            return true;
    return false;
}

bool holdsCancel(const QWidget* window)
{
    for (const QPointer<QWidget>& c : state().cancel)
        if (c && (c == window || window->isAncestorOf(c)))
            return true;
    return false;
}

bool openedDuringJob(const QWidget* window)
{
    for (const QPointer<QWidget>& w : state().before)
        if (w == window)
            return false;
    return true;
}

bool takesInput(const QWidget* w) { return isCancel(w) || openedDuringJob(w->window()); }

void hold(QObject* o)
{
    if (o->signalsBlocked())
        return;
    o->blockSignals(true);
    state().held << o;
}

void release(QObject* o)
{
    State& s = state();
    for (qsizetype i = 0; i < s.held.size(); ++i) {
        if (s.held[i] == o) {
            o->blockSignals(false);
            s.held.removeAt(i);
            return;
        }
    }
}

bool Filter::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
    case QEvent::ContextMenu:
    case QEvent::InputMethod:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::TabletMove:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop: {
        // A native window hands the event on to the widget under it or in
        // focus; that delivery comes by here again and is judged then.
        if (watched->isWindowType())
            return false;
        const auto* w = qobject_cast<const QWidget*>(watched);
        if (w && takesInput(w))
            return false;
        // Escape in the window of the job's Cancel is that Cancel, as its close box is.
        const bool key = event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease
            || event->type() == QEvent::ShortcutOverride;
        if (w && key && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && holdsCancel(w->window()))
            return false;
        if (event->type() == QEvent::ShortcutOverride)
            event->accept();   // the key is the widget's, not a shortcut's: and the widget gets none
        return true;
    }
    case QEvent::Close: {
        auto* w = qobject_cast<QWidget*>(watched);
        auto* sub = qobject_cast<QMdiSubWindow*>(watched);
        if (!w || (!w->isWindow() && !sub) || (sub && !sub->widget()))
            return false;
        if (holdsCancel(w) || (!sub && openedDuringJob(w)))
            return false;
        event->ignore();
        showJobWait();
        return true;
    }
    default:
        return false;
    }
}

void begin(const QList<QPointer<QWidget>>& cancel)
{
    State& s = state();
    s.cancel << cancel;
    for (const QPointer<QWidget>& c : cancel)
        if (c)
            release(c);
    if (s.depth++ > 0)
        return;
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app)
        return;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        s.before << window;
        for (QAction* a : window->findChildren<QAction*>())
            hold(a);
        for (QAbstractButton* b : window->findChildren<QAbstractButton*>())
            if (!isCancel(b))
                hold(b);
    }
    s.filter = new Filter;
    app->installEventFilter(s.filter);
}

void end(const QList<QPointer<QWidget>>& cancel)
{
    State& s = state();
    for (const QPointer<QWidget>& c : cancel)
        s.cancel.removeOne(c);
    if (--s.depth > 0)
        return;
    delete s.filter;   // takes itself off the application's filters
    s.filter = nullptr;
    for (const QPointer<QObject>& o : std::as_const(s.held))
        if (o)
            o->blockSignals(false);
    s.held.clear();
    s.before.clear();
    s.cancel.clear();
    const auto deferred = std::exchange(s.deferred, {});
    for (const auto& [context, f] : deferred)
        if (context)
            QMetaObject::invokeMethod(context, f, Qt::QueuedConnection);
}

}  // namespace

JobScope::JobScope(std::initializer_list<QWidget*> cancel)
{
    const QCoreApplication* app = QCoreApplication::instance();
    if (app && QThread::currentThread() != app->thread())
        return;
    for (QWidget* w : cancel)
        cancel_ << QPointer<QWidget>(w);
    counted_ = true;
    begin(cancel_);
}

JobScope::~JobScope()
{
    if (counted_)
        end(cancel_);
}

bool jobRunning() { return state().depth > 0; }

void whenNoJob(QObject* context, std::function<void()> f)
{
    if (jobRunning())
        state().deferred.append({QPointer<QObject>(context), std::move(f)});
    else
        QMetaObject::invokeMethod(context, std::move(f), Qt::QueuedConnection);
}

QString jobWaitMessage() { return QStringLiteral("Please wait until the current operation has finished."); }

void showJobWait()
{
    // Never a box that waits for its answer: its own event loop would run
    // inside the job's pump, and the job would stand still until OK.
    notice(jobWaitMessage(), vbInformation + vbOKOnly);
}

}  // namespace ui
