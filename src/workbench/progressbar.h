// The progress of a long run shown on one of the workbench's progress bars.
#pragma once

#include "common/progress.h"

#include <QtGlobal>

class QProgressBar;

namespace workbench {

/// Moves a progress bar by the work done and lets pending events run, so the
/// window repaints during a long run; the run reports every few thousand rows.
class BarProgress : public common::Progress {
public:
    explicit BarProgress(QProgressBar* bar) : bar_(bar) {}
    void start(qint64 total) override;
    void step(qint64 done) override;

private:
    QProgressBar* bar_;
    qint64 total_ = 1;
};

} // namespace workbench
