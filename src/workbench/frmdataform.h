// The workbench window: the open list in a grid and the eight tool pages.
// One default instance, shown inside the main window's MDI area. Its load
// checks and keys tblData, loads the settings lists, rebuilds the work tables
// and binds the grid; its unload offers export and puts the main window's
// commands back. The tools of the other pages reach their controls through
// the members below.
#pragma once

#include <QWidget>

class QTabBar;
class QTableView;
class QTableWidget;
class QTreeWidget;
class QListWidget;
class QComboBox;
class QLineEdit;
class QLabel;
class QPushButton;
class QGroupBox;
class QStackedLayout;

namespace workbench {
class DataControl;
class GridModel;
}

class frmdataform : public QWidget {
    Q_OBJECT
public:
    /// The default instance, made (and loaded) on first use. When the load
    /// fails the instance has already unloaded itself: loaded() is nullptr
    /// and the returned window is deleted once events run again.
    static frmdataform& instance();
    /// The instance while it is loaded, else nullptr.
    static frmdataform* loaded();
    /// Unloads the instance (runs its closing road); false when the closing was cancelled.
    static bool unload();

    /// Shows the page of the selected tab and switches the main window's commands.
    void tab1_Click();
    /// A click on a column header of the grid (or of one of its splits) names that column.
    void DBGridData_HeadClick(int colIndex);
    /// Empties the Dupe Remover's counts and disables its remove buttons.
    void Reset_Dupe_Counts();
    /// Takes the near-duplicate pairs off the page: an empty review list, "0"
    /// pairs, the hint hidden and Convert disabled. tblSpecSearch1 is kept.
    void Reset_AdozIvidor();

    /// Puts the grid's current cell on the recordset's current record, in the
    /// grid's current column (or column, when given).
    void syncGridToRecordset(int column = -1);
    /// The grid's current column index (0 when there is none).
    int currentGridColumn() const;
    /// Sorts on the grid's current column (the Ascending/Descending commands).
    void sortOnCurrentColumn(bool ascending);
    /// Moves Data1's recordset to its first or last record; the grid follows.
    void moveFirstRecord();
    void moveLastRecord();
    /// Ends an edit in progress in the grid, storing what was typed.
    void endGridEdit();
    /// Light yellow while filtered, white otherwise.
    void setGridFiltered(bool filtered);
    bool gridFiltered() const;

    workbench::GridModel* gridModel() const { return model_; }

    /// Runs the record source built from gstrFieldList, gstrFilter and
    /// gstrSortOrder, keeping the grid's column; a filter brings the Data Table
    /// page to the front. A refused source shows the engine's reason, keeps
    /// the grid as it was, puts gstrFilter and gstrSortOrder back to what the
    /// grid shows and returns false.
    bool refreshDataTable();
    /// Shows the whole list in table order (gstrSortOrder is kept for later).
    void showWholeList();
    /// True once after a refused refresh: the filter look that follows it is skipped.
    bool takeRefusedRefresh();

    // ---- controls the tools use -------------------------------------------
    QTabBar* tab1 = nullptr;
    QTableView* DBGridData = nullptr;
    workbench::DataControl* Data1 = nullptr;    ///< the grid's recordset on the working database
    workbench::DataControl* Data2 = nullptr;    ///< the duplicate results' data control
    workbench::DataControl* Adodc1 = nullptr;   ///< tblSpecSearch1, the near-duplicate pairs
    workbench::DataControl* Adodc2 = nullptr;   ///< tblEMails, the invalid addresses

    // Page frames, in the order the tab handler sets them.
    QGroupBox* frmstats = nullptr;
    QGroupBox* frCaseConv = nullptr;
    QGroupBox* frEMailClean = nullptr;
    QGroupBox* frDupes = nullptr;
    QGroupBox* frTextClean = nullptr;
    QGroupBox* frColumnClean = nullptr;
    QGroupBox* frAdozIvidor = nullptr;
    QGroupBox* frDistinctValues = nullptr;

    // Statistics.
    QTableWidget* flex1 = nullptr;
    QListWidget* lstleft = nullptr;
    QListWidget* lstRight = nullptr;
    QComboBox* Combo1 = nullptr;
    QWidget* MSChart1 = nullptr;
    QLabel* lblscore = nullptr;
    // Distinct values (Case Converter, Text Cleaner, Column Cleaner).
    QComboBox* cmbColumn1 = nullptr;
    QTableView* lstMain = nullptr;   ///< its model belongs to the distinct-values panel
    QLineEdit* txtMain = nullptr;
    // Column Cleaner's old-to-new area.
    QTreeWidget* lstOld = nullptr;
    QLabel* Label7 = nullptr;
    QLineEdit* txtOld = nullptr;
    QLabel* Label4 = nullptr;
    QLineEdit* txtNew = nullptr;
    QPushButton* cmdSelectNew = nullptr;
    // E-mail Cleaner.
    QComboBox* cmbColumn2 = nullptr;
    QTreeWidget* lstEMail = nullptr;
    QTableView* DataGrid1 = nullptr;
    // Near-duplicate search.
    QComboBox* cmbColumn1A = nullptr;
    QComboBox* cmbSearchType = nullptr;
    QTableView* DataRepeater1 = nullptr;
    QLabel* lblSearch_Results = nullptr;
    QLabel* lblPairs = nullptr;
    QLineEdit* txtPairs = nullptr;
    QLabel* lblDoubleClick = nullptr;
    QPushButton* cmdConvert2 = nullptr;
    // Dupe Remover.
    QListWidget* lstLeft2 = nullptr;
    QListWidget* lstRight2 = nullptr;
    QTableView* flxDupes = nullptr;   ///< the duplicate groups; its model belongs to the Dupe Remover page
    QLineEdit* txtCountA1 = nullptr;
    QLineEdit* txtCountA2 = nullptr;
    QLineEdit* txtCountB1 = nullptr;
    QLineEdit* txtCountB2 = nullptr;
    QPushButton* cmdRemov1 = nullptr;
    QPushButton* cmdRemov2 = nullptr;

    /// The column whose header was clicked last.
    int gintHeadCol = 0;

signals:
    /// The right mouse button on the grid: the grid's pop-up menu belongs here.
    void gridContextMenu(const QPoint& globalPos);

protected:
    explicit frmdataform(QWidget* parent = nullptr);
    ~frmdataform() override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool Form_Load();
    /// The closing road; cancel set when the workbench is to stay open.
    void Form_Unload(bool& cancel);

    void buildPages();
    /// Sets the Tab key's order over the pages' controls.
    void orderTabs();
    void fillColumnPicker(QComboBox* combo, bool textOnly);
    void DBGridData_RowColChange();
    void DBGridData_Error(int dataError);
    void DBGridData_Recount();
    void writeStatus();

    workbench::GridModel* model_ = nullptr;
    QWidget* pageArea_ = nullptr;
    bool unloading_ = false;
    bool unloaded_ = false;

    // The filter and sort of the last record source that ran; a refused one
    // falls back to them.
    QString appliedFilter_;
    QString appliedSort_;
    bool refreshRefused_ = false;
};
