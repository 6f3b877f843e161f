// The contact manager's log-on dialog: a user name and a password for a
// multi-user contact database. OK hides it with the typed texts; Cancel, Esc
// and the window's close box end it as cancelled.
#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

class frmAct_ValidateUser : public QDialog {
    Q_OBJECT
public:
    explicit frmAct_ValidateUser(QWidget* parent = nullptr);

    QLineEdit* txtUserName = nullptr;
    QLineEdit* txtPassword = nullptr;   ///< shows "*" for every character
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
};
