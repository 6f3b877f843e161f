// The text import wizard: the user describes a delimited text file (field
// delimiter, text qualifier, header row, date format, per-column types) over a
// live preview, then imports it into tblData.
//
// The import procedure sets gstrSourceFile and calls frmtxtWizard::showModal().
// The controls carry their object names (cmbTextQ, chkFirstRow, optDelimiter2,
// cmdImport, ...), which is how tests reach them.
#pragma once

#include <QDialog>

#include <functional>
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

    /// What a finished import runs to open the list: by default the main
    /// window's enable() and the workbench shown. Tests replace it; an empty
    /// function puts the default back.
    static void setOpenWorkbench(std::function<void()> open);

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    struct Form;
    std::unique_ptr<Form> f_;
};
