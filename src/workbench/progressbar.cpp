// A common::Progress that drives a QProgressBar. The bar always runs over a
// fixed number of steps and the work done is scaled onto it: a million rows do
// not fit a widget's int range nicely, and a bar cannot show finer steps anyway.
#include "workbench/progressbar.h"

#include "platform/ui/ui.h"

#include <QProgressBar>

#include <algorithm>

namespace workbench {
namespace {

constexpr int kSteps = 1000;   // the bar's range

} // namespace

void BarProgress::start(qint64 total)
{
    total_ = std::max<qint64>(total, 1);
    bar_->setRange(0, kSteps);
    bar_->setValue(0);
    ui::doEvents();
}

void BarProgress::step(qint64 done)
{
    bar_->setValue(int(std::clamp<qint64>(done, 0, total_) * kSteps / total_));
    ui::doEvents();
}

} // namespace workbench
