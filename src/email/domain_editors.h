// The editors of the two domain lists e-mail validation checks against: the
// country codes with their country names (frmccTLDs) and the generic domains
// (frmgTLDs). Each shows its list, adds what is typed on Enter, deletes the
// selected entries on Delete and saves on every close (there is no cancel):
// the settings file, the shared array and, for the country codes, the work
// table Z_ccTLD of the working database.
#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace email {

/// One line of "ccTLDs.txt" without its CR LF: "code","country".
QString countryCodeLine(const QString& code, const QString& country);
/// True for exactly two letters a to z.
bool isCountryCode(const QString& code);

class frmccTLDs : public QDialog {
    Q_OBJECT
public:
    explicit frmccTLDs(QWidget* parent = nullptr);

    /// A key pressed in either box: both boxes are normalised first; Enter checks and adds.
    void txtNew_KeyDown(int keyCode);
    /// A key pressed in the list: Delete removes the selected entries.
    void lstccTLDs_KeyDown(int keyCode);
    /// Width of the "Country" column in the form's units (925, or 875 from 18 items).
    int countryColumnUnits() const { return countryUnits_; }

    QTreeWidget* lstccTLDs = nullptr;
    QLineEdit* txtNew = nullptr;
    QLineEdit* txtNewCountry_Name = nullptr;
    QPushButton* cmdClose = nullptr;

    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Load();
    void SetColumnWidths();
    void Form_Unload();

    int countryUnits_ = 725;
    bool saved_ = false;
};

class frmgTLDs : public QDialog {
    Q_OBJECT
public:
    explicit frmgTLDs(QWidget* parent = nullptr);

    /// A key pressed in the box: Enter adds its text unless the list holds it already.
    void txtNew_KeyDown(int keyCode);
    /// A key pressed in the list: Delete removes the selected entries.
    void lstgTLDs_KeyDown(int keyCode);
    /// Width of the column in the form's units (275, or 225 from 23 items).
    int columnUnits() const { return columnUnits_; }

    QTreeWidget* lstgTLDs = nullptr;
    QLineEdit* txtNew = nullptr;
    QPushButton* cmdClose = nullptr;

    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Load();
    void SetColumnWidths();
    void Form_Unload();

    int columnUnits_ = 275;
    bool saved_ = false;
};

/// Makes both editors the Tools menu's and the E-Mail Cleaner's.
void registerDomainEditors();

} // namespace email
