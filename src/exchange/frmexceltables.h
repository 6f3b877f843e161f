// The worksheet chooser: the sheets of the workbook gstrExcelFile, a ten-row
// preview of the chosen one, and the import of the whole sheet into tblData.
// The import procedure makes it, hands it the sheet list (which builds the
// first preview) and shows it modally. The controls carry their object names
// (Combo1, chkFirstRow, DBGrid1, lblsample, lblwait, PB1, cmdContinue,
// cmdCancel), which is how tests reach them.
#pragma once

#include <QDialog>
#include <QStringList>

#include <memory>

class frmExcelTables : public QDialog {
    Q_OBJECT
public:
    /// The load: the window takes the workbook's path as its title.
    explicit frmExcelTables(QWidget* parent = nullptr);
    ~frmExcelTables() override;

    /// Fills the sheet list; when it holds an entry, selects the first one,
    /// which builds its preview at once.
    void setSheets(const QStringList& sheets);

    /// Whether an import is running (its Cancel clears it).
    bool importing() const;

protected:
    void reject() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Form;
    std::unique_ptr<Form> f_;
};
