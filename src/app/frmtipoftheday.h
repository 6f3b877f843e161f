// The tip-of-the-day window. At start-up it is shown without blocking and
// closes itself at once when the user has turned the tips off; from the Help
// menu it is shown modal whatever the option says.
//
//   if (frmTipoftheDay* t = frmTipoftheDay::create()) t->show();   // start-up
//   frmTipoftheDay::showFromMenu();                                 // Help menu
#pragma once

#include <QDialog>
#include <QStringList>

class QCheckBox;
class QLabel;
class QPushButton;

class frmTipoftheDay : public QDialog {
    Q_OBJECT
public:
    /// Makes the window and runs its load. nullptr when the load unloaded it
    /// (tips turned off and not asked for from the menu).
    static frmTipoftheDay* create(QWidget* parent = nullptr);
    /// Help > Tip of the Day: always shown, modal.
    static void showFromMenu(QWidget* parent = nullptr);

    /// The settings-store name of the tip option: the program file's base name.
    static QString optionApplication();
    /// Whether the tip window shows at start-up ("Show Tips at Startup", missing = yes).
    static bool showAtStartup();

    /// Reads one tip per line (empty lines too); false when file is "" or missing.
    bool LoadTips(const QString& file);
    void DisplayCurrentTip();

    // The buttons' and check box's handlers, public for the menu and tests.
    void cmdNextTip_Click();
    void Command1_Click();
    void chkLoadTipsAtStartup_Click();

    QString tipText() const;
    int currentTip() const { return current_; }
    const QStringList& tips() const { return tips_; }
    QCheckBox* chkLoadTipsAtStartup() const { return chk_; }

private:
    explicit frmTipoftheDay(QWidget* parent);
    /// The window's load; false when it must unload at once.
    bool Form_Load();

    QLabel* lblTipText_ = nullptr;
    QCheckBox* chk_ = nullptr;
    QPushButton* cmdPrevious_ = nullptr;
    QPushButton* cmdNext_ = nullptr;
    QPushButton* cmdOK_ = nullptr;
    QStringList tips_;
    int current_ = 0;
    int previous_ = 0;
};
