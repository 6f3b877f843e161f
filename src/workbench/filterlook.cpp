// The main window's grid procedures: rebuilding the grid's record source from
// the shared column list, filter and sort, and the filtered and unfiltered
// look (status panel, the commands that search or filter, the grid colour,
// the record count). Every tool that filters the grid sets gstrFilter, calls
// Refresh_DataTbl and then the FilterON procedure that names its filter.
//
// A record source the engine refuses changes nothing: the grid keeps the
// recordset that worked, gstrFilter and gstrSortOrder go back to what it
// shows, and the FilterON call that follows the refusal leaves the look alone.
#include "app/mdimain.h"
#include "common/general.h"
#include "workbench/datacontrol.h"
#include "workbench/frmdataform.h"
#include "workbench/gridtools.h"

#include <QAction>

namespace {

void setCommand(const MDIMain& m, const char* name, bool on)
{
    // The grid's pop-up menu keeps its own items, apart from the main window's.
    const QString n = QString::fromLatin1(name);
    static const QString popup = QStringLiteral("frmbitmaps.");
    QAction* a = n.startsWith(popup) ? frmbitmaps::item(n.mid(popup.size())) : m.command(n);
    if (a)
        a->setEnabled(on);
}

/// Moves the grid's recordset to its last and first record and takes its count;
/// with no recordset the count keeps its value.
void recount()
{
    frmdataform* f = frmdataform::loaded();
    jet::Recordset* rs = f ? f->Data1->Recordset() : nullptr;
    if (!rs)
        return;
    try {
        if (rs->recordCount() > 0) {
            rs->moveLast();
            rs->moveFirst();
        }
        general::glngTotalRecords = rs->recordCount();
        f->syncGridToRecordset();
    } catch (const std::exception&) {
    }
}

/// Whether a FilterON call follows a refused record source; it then keeps the look.
bool takeRefusal(frmdataform* f) { return f && f->takeRefusedRefresh(); }

void filteredLook(MDIMain& m, const QString* panelText)
{
    if (panelText)
        m.setPanelText(2, *panelText);
    setCommand(m, "Toolbar1:21", true);
    setCommand(m, "mnufind", false);
    setCommand(m, "mnufilter", false);
    setCommand(m, "mnureplace", false);
    setCommand(m, "Toolbar1:15", false);
    setCommand(m, "Toolbar2:15", true);
    setCommand(m, "frmbitmaps.mnufind", false);
    setCommand(m, "frmbitmaps.mnufilter", false);
    setCommand(m, "frmbitmaps.mnureplace", false);
    setCommand(m, "frmbitmaps.mnurefresh", true);
    if (frmdataform* f = frmdataform::loaded())
        f->setGridFiltered(true);
    setCommand(m, "Toolbar2:8", false);
    recount();
}

void filterOn(MDIMain& m, const QString& text)
{
    if (takeRefusal(frmdataform::loaded()))
        return;
    filteredLook(m, &text);
}

} // namespace

void MDIMain::Refresh_DataTbl()
{
    frmdataform* f = frmdataform::loaded();
    if (!f)
        return;
    if (f->refreshDataTable() && !general::gstrFilter.isEmpty()) {
        FilterON2();
        f->syncGridToRecordset();
    }
}

void MDIMain::FilterON() { filterOn(*this, QStringLiteral("Filter ON: ") + general::gstrFilter); }

void MDIMain::FilterON2()
{
    if (takeRefusal(frmdataform::loaded()))
        return;
    filteredLook(*this, nullptr);
}

void MDIMain::FilterONDupes() { filterOn(*this, QStringLiteral("Filter ON: Duplications")); }

void MDIMain::FilterONStatistics()
{
    filterOn(*this, QStringLiteral("Filter ON: ") + general::gstrStatFilterType + QStringLiteral(" = ")
                        + general::gstrStatFilterColumn);
}

void MDIMain::FilterOnValidEmail() { filterOn(*this, QStringLiteral("Filter ON: Valid Email")); }

void MDIMain::FilterOnInvalidEmail() { filterOn(*this, QStringLiteral("Filter ON: Invalid Email")); }

void MDIMain::FilterOnInvalidEmails() { filterOn(*this, QStringLiteral("Filter ON: All Invalid Emails")); }

void MDIMain::FilterOFF()
{
    setPanelText(2, QStringLiteral("No Filter"));
    setCommand(*this, "Toolbar1:21", false);
    setCommand(*this, "mnufind", true);
    setCommand(*this, "mnufilter", true);
    setCommand(*this, "mnureplace", true);
    setCommand(*this, "Toolbar1:11", true);
    setCommand(*this, "Toolbar1:12", true);
    setCommand(*this, "Toolbar1:15", true);
    setCommand(*this, "Toolbar2:15", false);
    setCommand(*this, "Toolbar2:12", true);
    setCommand(*this, "Toolbar2:13", true);
    setCommand(*this, "frmbitmaps.mnufind", true);
    setCommand(*this, "frmbitmaps.mnureplace", true);
    setCommand(*this, "frmbitmaps.mnuascending", true);
    setCommand(*this, "frmbitmaps.mnudescending", true);
    setCommand(*this, "frmbitmaps.mnufilter", true);
    setCommand(*this, "frmbitmaps.mnurefresh", false);
    frmdataform* f = frmdataform::loaded();
    if (f)
        f->setGridFiltered(false);
    general::gstrFilter.clear();
    recount();
    setCommand(*this, "Toolbar2:8", true);
}

void MDIMain::refreshgrids()
{
    if (frmdataform* f = frmdataform::loaded())
        f->showWholeList();
    FilterOFF();
}
