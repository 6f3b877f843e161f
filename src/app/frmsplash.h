// The splash window and the start-up road after the single-instance guard:
// the splash's load restores the working database from its pristine copy,
// its timer (or a click on the picture) hands over to the main window and
// the tip of the day.
//
//   frmSplash splash;
//   if (!splash.Form_Load()) return 1;        // working database not restored
//   QObject::connect(&splash, &frmSplash::handOver, [] { startup::showMainWindow(); });
//   splash.show();
#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QTimer;

namespace startup {

enum class Restore { Restored, PristineMissing, Failed };

/// Replaces working with a copy of pristine: the old file's journal and log
/// files are removed, the copy is written whole under a temporary name and
/// renamed over the old file, and the fresh database must pass the engine's
/// integrity check. Failed: error says why (the working database is in use,
/// a side file could not be removed, the copy could not be made, or the
/// copy is damaged), naming the file and the system's or engine's reason.
Restore restoreWorkingDatabase(const QString& pristine, const QString& working, QString* error);

/// The hand-over: the main window's load and show, then the tip window
/// without blocking. False when the main window ended the program (screen
/// too small).
bool showMainWindow();

}  // namespace startup

class frmSplash : public QWidget {
    Q_OBJECT
public:
    explicit frmSplash(QWidget* parent = nullptr);

    /// The load: help owner, working-database path, restore. False when the
    /// working database could not be replaced: the message has been shown and
    /// the program must end, since every list would be read and written over
    /// a stale or missing file.
    bool Form_Load();

    void Timer1_Timer();
    void Image1_Click();

    int ticks() const { return ticks_; }
    int timerInterval() const;
    bool timerActive() const;
    bool handedOver() const { return handedOver_; }

signals:
    /// The 25th tick or the click: emitted once; the splash has closed.
    void handOver();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void doHandOver();

    QLabel* Image1_ = nullptr;
    QTimer* Timer1_ = nullptr;
    int ticks_ = 0;
    bool handedOver_ = false;
};
