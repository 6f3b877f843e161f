// The log-on dialog's layout: two labelled boxes and the OK and Cancel
// buttons, centred on the screen when it is shown.
#include "exchange/frmact_validateuser.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

frmAct_ValidateUser::frmAct_ValidateUser(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAct_ValidateUser"));
    setWindowTitle(QStringLiteral("Validate User Information"));
    setModal(true);

    txtUserName = new QLineEdit(this);
    txtUserName->setObjectName(QStringLiteral("txtUserName"));
    txtPassword = new QLineEdit(this);
    txtPassword->setObjectName(QStringLiteral("txtPassword"));
    txtPassword->setEchoMode(QLineEdit::Password);
    // The old dialog showed "*" for each character of the password.
    txtPassword->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    for (QLineEdit* e : {txtUserName, txtPassword})
        e->setMinimumWidth(220);

    auto* form = new QFormLayout;
    form->addRow(new QLabel(QStringLiteral("UserName"), this), txtUserName);
    form->addRow(new QLabel(QStringLiteral("Password"), this), txtPassword);

    auto* buttons = new QDialogButtonBox(this);
    cmdOK = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdCancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void frmAct_ValidateUser::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect s = screen->geometry();
        move(s.x() + (s.width() - width()) / 2, s.y() + (s.height() - height()) / 2);
    }
    txtUserName->setFocus();
}
