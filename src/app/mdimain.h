// The main window: the frame that holds the workbench, the menus, the two
// toolbars and the status bar. One default instance (MDIMain::instance()).
//
// The grid's public procedures (Refresh_DataTbl, the FilterON family,
// FilterOFF, refreshgrids) are what every tool calls after it changes
// gstrFilter or the list; they are implemented with the workbench's grid in
// src/workbench/filterlook.cpp. enable/disable switch the data commands.
#pragma once

#include <QMainWindow>

class QMdiArea;
class QStatusBar;
class QLabel;
class QToolBar;
class QAction;

class MDIMain : public QMainWindow {
    Q_OBJECT
public:
    /// The default instance, made on first use.
    static MDIMain& instance();
    /// The instance when it exists, else nullptr.
    static MDIMain* loaded();

    // ---- grid procedures (workbench) -------------------------------------
    void Refresh_DataTbl();
    void FilterON();
    void FilterON2();
    void FilterONDupes();
    void FilterONStatistics();
    void FilterOnValidEmail();
    void FilterOnInvalidEmail();
    void FilterOnInvalidEmails();
    void FilterOFF();
    void refreshgrids();

    // ---- command enabling -------------------------------------------------
    void enable();
    void disable();

    /// Exports the open list; true when the export failed, was refused or was cancelled.
    bool ExportFile();

    /// The status bar's panel texts: 1 "Msg", 2 the filter flag, and the others.
    void setPanelText(int panel, const QString& text);
    QString panelText(int panel) const;

    QMdiArea* mdiArea() const { return mdi_; }

    /// A menu command or toolbar button by its control name ("mnufind",
    /// "mnufilter", "Toolbar1:15", "Toolbar2:8", ...); nullptr when none.
    QAction* command(const QString& name) const;

    // Recent-file re-open state handed from the recent-file click to the import.
    int mintMRUReopen = 0;
    QString mstrSourceExt;

protected:
    explicit MDIMain(QWidget* parent = nullptr);

    QMdiArea* mdi_ = nullptr;
};
