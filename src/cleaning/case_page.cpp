// The Case Converter page: the option buttons, the Change Case run and the
// buttons that open the prefix and exception editors.
//
// The run asks ALL or FILTERED when the filter box holds a pattern and hands
// the work to cleaning::runCaseConversion (one UPDATE, or one pass in one
// transaction for Proper Case). The lists are taken from the shared arrays as
// the run starts, so an exception editor closed during the run changes the
// next run, not this one. While the run lets events through for the progress
// bar, the panel, the page and the tab strip are disabled, so nothing can
// change the column or start a second run. After a change the column is
// listed again, the duplicate tools' results are cleared and the grid's rows
// are read again.
#include "cleaning/case_page.h"

#include "app/listeditors.h"
#include "cleaning/case_run.h"
#include "cleaning/list_editors.h"
#include "cleaning/pages.h"
#include "common/general.h"
#include "common/progress.h"
#include "platform/jet/error.h"
#include "platform/ui/ui.h"
#include "workbench/frmdataform.h"
#include "workbench/gridmodel.h"
#include "workbench/opening.h"
#include "workbench/progressbar.h"

#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>

#include <algorithm>
#include <exception>
#include <vector>

namespace cleaning {
namespace {

const QString kPageName = QStringLiteral("caseConverterPage");

class CasePage : public QObject {
public:
    explicit CasePage(frmdataform& form);

private:
    template <class T> T* child(const char* name) const
    {
        return f.findChild<T*>(QString::fromLatin1(name));
    }
    void setListButtons(bool on);
    void cmdChangeCase_Click();
    void cmdExceptions_Click();
    void closingSteps();

    frmdataform& f;
    QRadioButton* opt1 = nullptr;
    QRadioButton* opt2 = nullptr;
    QRadioButton* opt4 = nullptr;
    QPushButton* cmdChangeCase = nullptr;
    QPushButton* cmdPrefixes = nullptr;
    QPushButton* cmdExceptions = nullptr;
    QProgressBar* PBar3 = nullptr;
    QLabel* lblPBar3 = nullptr;
    QLineEdit* txtFilter = nullptr;
    QPointer<QDialog> exceptions_;
    bool running_ = false;
};

CasePage::CasePage(frmdataform& form) : QObject(&form), f(form)
{
    setObjectName(kPageName);
    opt1 = child<QRadioButton>("opt1");
    opt2 = child<QRadioButton>("opt2");
    opt4 = child<QRadioButton>("opt4");
    cmdChangeCase = child<QPushButton>("cmdChangeCase");
    cmdPrefixes = child<QPushButton>("cmdPrefixes");
    cmdExceptions = child<QPushButton>("cmdExceptions");
    PBar3 = child<QProgressBar>("PBar3");
    lblPBar3 = child<QLabel>("lblPBar3");
    txtFilter = child<QLineEdit>("txtFilter");

    connect(opt1, &QRadioButton::clicked, this, [this] { setListButtons(false); });
    connect(opt2, &QRadioButton::clicked, this, [this] { setListButtons(false); });
    connect(opt4, &QRadioButton::clicked, this, [this] { setListButtons(true); });
    connect(cmdChangeCase, &QPushButton::clicked, this, &CasePage::cmdChangeCase_Click);
    connect(cmdPrefixes, &QPushButton::clicked, this,
            [this] { listeditors::showEditor(QStringLiteral("frmPrefixes"), &f, true); });
    connect(cmdExceptions, &QPushButton::clicked, this, &CasePage::cmdExceptions_Click);
}

void CasePage::setListButtons(bool on)
{
    cmdPrefixes->setEnabled(on);
    cmdExceptions->setEnabled(on);
}

void CasePage::cmdExceptions_Click()
{
    // One editor window: a second click brings the open one forward.
    if (exceptions_) {
        ui::bringToFront(exceptions_);
        return;
    }
    exceptions_ = listeditors::showEditor(QStringLiteral("frmExceptions"), &f, false);
}

QString describe(const std::exception& e)
{
    if (const auto* je = dynamic_cast<const jet::JetError*>(&e))
        return je->description();
    return QString::fromUtf8(e.what());
}

// A Text field of tblData named exactly so, the key (the last field) left out;
// the picker's prompt names no field.
bool isTextColumn(const QString& column)
{
    const std::vector<workbench::Column> cols = workbench::listColumns(general::dbWork);
    for (size_t i = 0; i + 1 < cols.size(); ++i)
        if (cols[i].name == column && cols[i].type == jet::dbText)
            return true;
    return false;
}

QStringList entries(const std::array<QString, 1001>& array)
{
    QStringList out;
    for (size_t i = 1; i < array.size(); ++i)
        out << array[i];
    return out;
}

void CasePage::cmdChangeCase_Click()
{
    if (running_)
        return;
    CaseRequest request;
    request.column = f.cmbColumn1->currentText();
    request.mode = opt1->isChecked() ? CaseMode::Upper : opt2->isChecked() ? CaseMode::Lower : CaseMode::Proper;
    request.likePattern = txtFilter ? txtFilter->text() : QString();
    if (request.mode == CaseMode::Proper) {
        request.prefixes = entries(general::gstrPrefixes);
        request.exceptions = entries(general::gstrExceptions);
    }

    // The type check comes before the question: a run that cannot convert
    // asks nothing.
    try {
        if (!isTextColumn(request.column)) {
            ui::msgBox(QStringLiteral("Only text fields can be converted."), ui::vbExclamation | ui::vbOKOnly);
            return;
        }
    } catch (const std::exception& e) {
        ui::msgBox(describe(e), ui::vbCritical | ui::vbOKOnly);
        return;
    }

    if (!request.likePattern.isEmpty()) {
        const int answer = ui::msgBox(QStringLiteral("Change case of ALL or FILTERED values?\r\rClick  Yes for ALL values"
                                                     "\r\rClick  No  for FILTERED values\r"),
                                      ui::vbYesNoCancel | ui::vbQuestion);
        if (answer == ui::vbCancel)
            return;
        request.allValues = answer == ui::vbYes;
    }

    ui::setPointer(&f, ui::Pointer::Hourglass);
    cmdChangeCase->setText(QStringLiteral("Changing"));
    const bool proper = request.mode == CaseMode::Proper;
    if (proper) {
        PBar3->setRange(0, 1000);
        PBar3->setValue(0);
        PBar3->show();
        lblPBar3->show();
    }
    running_ = true;
    f.frDistinctValues->setEnabled(false);
    f.frCaseConv->setEnabled(false);
    f.tab1->setEnabled(false);
    f.frCaseConv->repaint();

    workbench::BarProgress progress(PBar3);
    const CaseResult result = runCaseConversion(general::dbWork, request, progress);

    running_ = false;
    f.frDistinctValues->setEnabled(true);
    f.frCaseConv->setEnabled(true);
    f.tab1->setEnabled(true);
    PBar3->hide();
    lblPBar3->hide();
    ui::setPointer(&f, ui::Pointer::Default);

    switch (result.outcome) {
    case CaseOutcome::Done:
        cmdChangeCase->setText(QStringLiteral("Successful"));
        ui::msgBox(result.message, ui::vbInformation | ui::vbOKOnly);
        closingSteps();
        return;
    case CaseOutcome::NotText:
        cmdChangeCase->setText(QStringLiteral("Change Case"));
        ui::msgBox(result.message, ui::vbExclamation | ui::vbOKOnly);
        return;
    case CaseOutcome::NothingSelected:
    case CaseOutcome::Cancelled:
    case CaseOutcome::Failed:
        // Nothing was written: the list, the other tools and the grid still hold.
        cmdChangeCase->setText(QStringLiteral("Change Case"));
        ui::msgBox(result.message, ui::vbCritical | ui::vbOKOnly);
        return;
    }
}

void CasePage::closingSteps()
{
    cmbColumn1_Click(f);
    cmdChangeCase->setText(QStringLiteral("Change Case"));
    f.Reset_AdozIvidor();
    f.Reset_Dupe_Counts();
    f.txtNew->clear();
    // The rows are read again; the record source, filter and sort stay.
    f.gridModel()->refreshRows();
}

} // namespace

void installCasePage(frmdataform& form)
{
    if (!form.findChild<QObject*>(kPageName, Qt::FindDirectChildrenOnly))
        new CasePage(form);
    registerListEditors();
}

} // namespace cleaning
