// The grid's own commands: the Filter, Find and Replace dialogs, the
// clipboard commands, Delete Row and the grid's pop-up menu (frmbitmaps).
// installGridTools connects them to the main window's menu and toolbar
// actions and to the workbench grid's right-click; it runs once per
// workbench window.
#pragma once
#include <QDialog>
#include <QString>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QDialog;
class QMenu;
class QPushButton;
class frmdataform;

namespace workbench {
void installGridTools(frmdataform& form);
/// Shows a dialog made once; modal blocks the rest of the program's windows
/// without waiting here. An open window keeps its modality.
void present(QDialog& d, bool modal);
/// Makes the column a header click named the grid's current column (in the
/// same row) and returns the name of the column the grid is now on.
QString takeNamedColumn(frmdataform& f);
}

/// The grid's pop-up menu and its items by name ("mnufind", "mnurefresh", ...).
namespace frmbitmaps {
/// The menu test2; nullptr while no workbench window exists.
QMenu* test2();
/// An item of test2 by its name, ignoring letter case; nullptr when none.
QAction* item(const QString& name);
}

/// Edit menu's clipboard commands and Delete Row on the grid's current cell and record.
namespace gridedit {
void mnuCopy_Click();
void mnucut_Click();
void mnuPaste_Click();
void delrow_Click();
}

class frmFilter : public QDialog {
    Q_OBJECT
public:
    /// The dialog, created (and loaded) on first use.
    static frmFilter& instance();
    static frmFilter* loaded();
    void cmdfilter_Click();
    void btnCancelFind_Click();
    QLabel* lblfield = nullptr;
    QLineEdit* txtFilter = nullptr;
    QPushButton* cmdfilter = nullptr;
    QPushButton* btnCancelFind = nullptr;
    QPushButton* cmdhelp = nullptr;
protected:
    explicit frmFilter(QWidget* parent);
    ~frmFilter() override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};

class frmFind : public QDialog {
    Q_OBJECT
public:
    static frmFind& instance();
    static frmFind* loaded();
    void cmdfind_Click();
    void btnCancelFind_Click();
    /// Hands the search text to the Replace dialog and goes over to it.
    void cmdfilter_Click();
    QLineEdit* txtsearch = nullptr;
    QComboBox* matchtype = nullptr;
    QComboBox* cmbdirection = nullptr;
    QCheckBox* chksoundslike = nullptr;
    QPushButton* cmdfind = nullptr;
    QPushButton* btnCancelFind = nullptr;
    QPushButton* cmdfilter = nullptr;
    QPushButton* cmdhelp = nullptr;
protected:
    explicit frmFind(QWidget* parent);
    ~frmFind() override;
    bool eventFilter(QObject* watched, QEvent* event) override;
private:
    void findPattern(int mode);
    void FindSoundsLike();
};

class frmReplace : public QDialog {
    Q_OBJECT
public:
    static frmReplace& instance();
    static frmReplace* loaded();
    void cmdreplace_Click();
    void cmdReplaceAll_Click();
    void Command2_Click();
    void btnCancelFind_Click();
    QLineEdit* txtsearch = nullptr;
    QLineEdit* txtNew = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* cmdreplace = nullptr;
    QPushButton* cmdReplaceAll = nullptr;
    QPushButton* btnCancelFind = nullptr;
    QLabel* lblreplacewait = nullptr;
protected:
    explicit frmReplace(QWidget* parent);
    ~frmReplace() override;
};
