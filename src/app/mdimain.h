// The main window: the frame that holds the workbench, the menus, the two
// toolbars and the status bar. One default instance (MDIMain::instance()).
//
// The grid's public procedures (Refresh_DataTbl, the FilterON family,
// FilterOFF, refreshgrids) are what every tool calls after it changes
// gstrFilter or the list; they are implemented with the workbench's grid in
// src/workbench/filterlook.cpp. enable/disable switch the data commands.
//
// Every menu item and toolbar button is a QAction reachable by its control
// name through command(). The main window runs the commands it owns (File,
// View, Tools, Help, the toolbars' import, export, tutorial, filter-off and
// help buttons); the owners of the grid commands connect their handlers
// to the actions' triggered signal: "mnucut", "mnucopy", "mnuPaste",
// "mnufind", "mnureplace", "delrow", "mnuascending", "mnudesc", "mnufilter",
// "mnufirst", "mnulast", "mnuspell", "mnuSpli", "mnuRemoveSplit", and the
// buttons that open a dialog without blocking, "Toolbar1:15" and
// "Toolbar2:8" (Find) and "Toolbar2:10" (the spell-check step dialog).
// The toolbars' sort buttons, Toolbar1's Spelling and Toolbar2's cut, copy
// and paste trigger the menu items of the same command, so each command has
// one handler: the grid's owner's.
#pragma once

#include "platform/ui/ui.h"

#include <QHash>
#include <QMainWindow>
#include <QStringList>
#include <array>
#include <vector>

class QMdiArea;
class QMenu;
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
    ~MDIMain() override;

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

    // ---- the workbench grid's Tools and Window commands (src/workbench) ----
    /// Tools > Spelling...: the spell check of the grid's current column.
    void mnuspell_Click();
    /// Window > Add Split: a second view of the grid beside the first.
    void mnuSpli_Click();
    /// Window > Remove Splits: takes the split next to the first view away, if any.
    void mnuRemoveSplit_Click();

    // ---- command enabling -------------------------------------------------
    void enable();
    void disable();

    /// Exports the open list; true when the export failed, was refused or was cancelled.
    bool ExportFile();
    /// The import procedure (File > Import File, the Import buttons, a recent file).
    void Open_Source_File();

    /// The status bar's panel texts: 1 "Msg", 2 the filter flag, and the others.
    void setPanelText(int panel, const QString& text);
    QString panelText(int panel) const;

    QMdiArea* mdiArea() const { return mdi_; }

    /// A menu command or toolbar button by its control name ("mnufind",
    /// "mnufilter", "Toolbar1:15", "Toolbar2:8", ...); nullptr when none.
    /// Names match ignoring letter case; a menu's own name ("mnusort")
    /// gives the action that opens it. The recent files are "mnuMRU:0" (the
    /// separator) to "mnuMRU:4".
    QAction* command(const QString& name) const;

    // ---- the window's own road -------------------------------------------
    /// The load: screen check, toolbar, size, caption, status text, recent
    /// files. False when the screen is too small: the message has been shown
    /// and the program must end.
    bool MDIForm_Load();
    /// Shows the workbench (frmdataform's instance) maximised in the MDI area.
    void showWorkbench();
    /// The workbench has closed: its frame leaves the MDI area, and the
    /// caption and the status text are those of a start with no list open.
    /// Every road that closes the open list ends here.
    void workbenchClosed();

    /// View > Toolbars: the large or the small toolbar.
    void mnuLarge_Click();
    void mnusmall_Click();
    bool largeIcons() const;
    QToolBar* toolbar(int which) const { return which == 1 ? toolbar1_ : toolbar2_; }
    /// The toolbars' mouse-down: button 2 pops up the Small/Large Icons menu.
    void Toolbar1_MouseDown(int button, int shift, double x, double y);
    void Toolbar2_MouseDown(int button, int shift, double x, double y);
    /// The pop-up menu of the toolbars (its own check marks, apart from the View menu's).
    QMenu* toolbarMenu() const { return mnutools_; }

    /// Whether the backdrop picture is still shown (enable removes it for good).
    bool hasBackgroundPicture() const;

    // ---- recent files -----------------------------------------------------
    void GetMenuItems();
    void AddToMRU(const QString& fileName);
    void SaveMenuItems();
    /// The click on recent-file entry index (1 to 4).
    void mnuMRU_Click(int index);
    QStringList recentFiles() const;

    // Recent-file re-open state handed from the recent-file click to the import.
    int mintMRUReopen = 0;
    QString mstrSourceExt;

    // ---- export (src/exchange/export.cpp) --------------------------------
    /// "].[" & the file name of path & "]": the sheet of an Excel destination.
    static QString ExcelExport(const QString& path);
    /// The folder of path & "].[" & its file name & "]": a text or web-page destination.
    static QString ExportFileName(const QString& path);
    /// The file dialog that the import's "Select Source" and the export's
    /// "Select Destination" share; it keeps its filter index between them.
    ui::FileDialog commondialog1;

private:
    /// Asks before replacing path and copies the template of version (97 or
    /// 2000) to copyTo. True on refusal ("Operation Cancelled." in reason) or
    /// failure (already shown; reason empty).
    bool CreateAccessExportDB(int version, const QString& path, const QString& copyTo, QString& reason);

signals:
    /// The quit went through (or the screen was too small): end the program.
    void programEnded(int exitCode);

protected:
    explicit MDIMain(QWidget* parent = nullptr);
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    QMdiArea* mdi_ = nullptr;

private:
    void buildMenus();
    void buildToolbars();
    void buildStatusBar();
    QAction* addItem(QMenu* menu, const QString& name, const QString& caption, const QKeySequence& shortcut = {});
    QAction* addSeparator(QMenu* menu, const QString& name);
    QMenu* addMenu(QMenu* parent, const QString& name, const QString& caption);
    void setEnabled(const QStringList& names, bool on);
    void toolbarClick(int which, int position);
    void showToolbarHelp();
    void showRecentFiles(const QStringList& paths);
    /// The quit question and the workbench's closing; false when refused.
    bool MDIForm_QueryUnload();
    void MDIForm_Unload();

    QMenu* mnutools_ = nullptr;
    QAction* popupSmall_ = nullptr;
    QAction* popupLarge_ = nullptr;
    QToolBar* toolbar1_ = nullptr;
    QToolBar* toolbar2_ = nullptr;
    std::vector<QAction*> buttons1_;   ///< position 1..24 at index 0..23
    std::vector<QAction*> buttons2_;   ///< position 1..17 at index 0..16
    std::array<QLabel*, 5> panels_{};
    QHash<QString, QAction*> commands_;
    std::array<QAction*, 5> mru_{};    ///< [0] the separator, [1..4] the entries
    QStringList mruPaths_;
    bool quitting_ = false;
    bool numLock_ = false;
    bool capsLock_ = false;
};
