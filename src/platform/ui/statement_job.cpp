#include "platform/ui/statement_job.h"

#include "platform/ui/ui.h"

namespace ui {
namespace {

int g_pumpEveryMs = 100;

} // namespace

StatementJob::StatementJob(jet::Connection& c, std::initializer_list<QWidget*> cancel)
    : job_(cancel)
    , pump_(c, [] { ui::doEvents(); }, g_pumpEveryMs)
{
}

StatementJob::~StatementJob()
{
    try {
        ui::doEvents();
    } catch (...) {
        // A destructor lets nothing out; the pump's handler reports its own failures.
    }
}

void StatementJob::pump() { ui::doEvents(); }

void StatementJob::setPumpInterval(int ms) { g_pumpEveryMs = ms; }

} // namespace ui
