// The text import wizard: the user describes a delimited text file (field
// delimiter, text qualifier, header row, date format, per-column types) over a
// live preview, then imports it into tblData.
//
// The import procedure sets gstrSourceFile and calls frmtxtWizard::showModal().
// A finished import opens the workbench inside the main window, as every
// importer does (exchange::openImportedList).
// The controls carry their object names (cmbTextQ, chkFirstRow, optDelimiter2,
// cmdImport, ...), which is how tests reach them.
#pragma once

#include <QDialog>

#include <memory>

class frmtxtWizard : public QDialog {
    Q_OBJECT
public:
    /// Loads the form on gstrSourceFile and builds the first preview.
    explicit frmtxtWizard(QWidget* parent = nullptr);
    ~frmtxtWizard() override;

    /// Shows the wizard modally over the main window and returns when it has
    /// closed, whatever the outcome.
    static void showModal(QWidget* parent = nullptr);

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    struct Form;
    std::unique_ptr<Form> f_;
};
