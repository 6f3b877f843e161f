// The dialog that chooses which punctuation characters the "Puncts" filter of
// the distinct-values list looks for. Every move changes
// general::gintSpecChars at once (a listing run meanwhile already uses it);
// closing, by "Done" or the close box, writes "SpecChars.txt" and lists the
// workbench's values again.
#pragma once

#include <QDialog>

class QListWidget;
class QPushButton;

class frmDefineSpecialChars : public QDialog {
    Q_OBJECT
public:
    explicit frmDefineSpecialChars(QWidget* parent = nullptr);

    /// Shows the one dialog without blocking, making it on first use.
    static frmDefineSpecialChars* showModeless(QWidget* parent);

    void cmdMove_Click();
    void cmdBack_Click();
    void cmdMoveAll_Click();
    void cmdBackAll_Click();

    QListWidget* lstMain = nullptr;       ///< "Available"
    QListWidget* lstSelected = nullptr;   ///< "Filter For"
    QPushButton* cmdMove = nullptr;
    QPushButton* cmdMoveAll = nullptr;
    QPushButton* cmdBack = nullptr;
    QPushButton* cmdBackAll = nullptr;
    QPushButton* cmdDefine = nullptr;

    void done(int result) override;

private:
    void Form_Load();
    void Form_Unload();
    void moveSelected(QListWidget* from, QListWidget* to, int flag);
    void moveAll(QListWidget* from, QListWidget* to, int flag);

    bool saved_ = false;
};
