// The spell check of the grid's current column and the dictionary manager.
//
// The check (MDIMain::mnuspell_Click: Tools > Spelling..., F7, the large
// toolbar's Spelling, the grid's pop-up) walks the current column from the
// current record down and stops at the first cell whose whole value is not an
// entry of the dictionary; the checker frmSpellChecker then shows the value
// and its buttons go on from there. The check keeps no state of its own: its
// place is Data1's current record and its column gintCurCol, so it follows
// the grid's filter and sort, and a user who moves in the grid between two
// answers goes on from where the grid is.
//
// The start checks every value as the grid shows it, empty cells and numbers
// included; the walk that follows an answer passes over empty (Null) cells
// and numbers. The dictionary is read again at each start and each answer.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class frmdataform;

class frmSpellChecker : public QDialog {
    Q_OBJECT
public:
    /// The checker, made on first use with its designer caption "Spell Checker".
    static frmSpellChecker& instance();
    static frmSpellChecker* loaded();
    /// Shows the checker without blocking and without starting a check (the small toolbar's Spell).
    static void showAlone();

    void cmdIgnore_Click();
    void cmdchange_Click();
    void cmdAdd_Click();
    void btnCancelFind_Click();
    void Command1_Click();
    /// Closes the checker for good (Cancel, Escape, the close box, the end of a check).
    void unload();

    QLineEdit* txtspell = nullptr;     ///< the value not found
    QLineEdit* txtreplace = nullptr;   ///< what Change writes
    QPushButton* cmdIgnore = nullptr;
    QPushButton* cmdchange = nullptr;
    QPushButton* cmdAdd = nullptr;
    QPushButton* btnCancelFind = nullptr;
    QPushButton* Command1 = nullptr;   ///< "Customise": the dictionary manager

protected:
    explicit frmSpellChecker(QWidget* parent);
    ~frmSpellChecker() override;
    void reject() override;
};

class frmSpellManager : public QDialog {
    Q_OBJECT
public:
    explicit frmSpellManager(QWidget* parent = nullptr);

    /// Fills the list with the dictionary's entries (empty ones left out).
    void Form_Load();
    void cmdAdd_Click();
    void flexspell_Click();
    void cmdRemove_Click();
    void Command1_Click();

    QTableWidget* flexspell = nullptr;
    QLineEdit* txtspell = nullptr;
    QPushButton* cmdAdd = nullptr;
    QPushButton* cmdRemove = nullptr;
    QPushButton* Command1 = nullptr;
    QLabel* lblremove = nullptr;   ///< "remove" once a word has been clicked
};

namespace workbench {
/// Puts the dictionary manager on the Tools menu (listeditors::registerEditor).
void registerSpellManager();
/// Connects the spelling commands of the main window to this workbench.
void installSpelling(frmdataform& form);
}
