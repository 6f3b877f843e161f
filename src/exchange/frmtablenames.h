// The Access table chooser: the user tables of gstrAccessFile in a list, and
// the import of the chosen one into tblData. One default instance; the import
// procedure fills it and shows it without blocking. The controls carry their
// object names (Combo1, cmdcontinue2, cmdCancel, lblwait).
#pragma once

#include <QDialog>
#include <QStringList>

#include <memory>

class frmTablenames : public QDialog {
    Q_OBJECT
public:
    /// The default instance, made (and loaded) on first use.
    static frmTablenames& instance();
    /// The instance while it exists, else nullptr.
    static frmTablenames* loaded();
    /// Closes the chooser unless its import is running: a chooser left open
    /// belongs to an earlier import and must not import over a newer list.
    static void unload();

    /// Replaces the table list; Import stays disabled until a table is picked.
    void setTables(const QStringList& tables);

    ~frmTablenames() override;

protected:
    explicit frmTablenames(QWidget* parent = nullptr);
    void reject() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Form;
    std::unique_ptr<Form> f_;
};
