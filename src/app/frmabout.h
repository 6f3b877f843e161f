// The about box: the product's name, a picture of our own and the version.
#pragma once

#include <QDialog>

class QLineEdit;

class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(QWidget* parent = nullptr);
    /// "Version major.minor.revision".
    static QString versionText();
    QString buildText() const;

private:
    QLineEdit* txtbuild_ = nullptr;
};
