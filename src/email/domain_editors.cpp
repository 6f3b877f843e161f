// The country-code and generic domain list editors. The list control is the
// only working copy while a window is open; closing writes the settings file
// and the shared array, and the country-code editor then rebuilds Z_ccTLD so
// the valid-address counts name the countries of the new list.
//
// The files are read by the workbench's own readers, so an editor shows what
// the next opening of a list will load. They are written through the checked
// writer: a full disk or a missing folder never leaves half a list behind.
#include "email/domain_editors.h"

#include "app/listeditors.h"
#include "app/programfiles.h"
#include "common/general.h"
#include "platform/files/checked_file.h"
#include "platform/jet/connection.h"
#include "platform/ui/ui.h"
#include "workbench/opening.h"

#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace email {
namespace {

constexpr int kListSize = 1000;
constexpr int kEnter = 13;
constexpr int kDelete = 46;

/// The form's units as pixels; the widths were drawn on a scale of about three units a pixel.
int px(int units) { return units * 3 / 10; }

QString settingsFile(const char* name)
{
    return app::programFile(QStringLiteral("\\Settings\\") + QString::fromLatin1(name));
}

/// Writes the list file, each line ended by CR LF, or says that it could not
/// (the old file then stays as it was).
void saveList(const QString& path, const QStringList& lines)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QByteArray text;
    for (const QString& line : lines)
        text += line.toUtf8() + "\r\n";
    files::saveFileOrSay(path, text);
}

/// The key code of a key press in the system's numbering (Enter 13, Delete 46), else 0.
int keyCodeOf(QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return 0;
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
        return kEnter;
    if (key == Qt::Key_Delete)
        return kDelete;
    return key > 0 && key < 0x01000000 ? key : 1;
}

/// Removes every selected item, walking by position.
void removeSelected(QTreeWidget* list)
{
    for (int i = 0; i < list->topLevelItemCount();) {
        if (list->topLevelItem(i)->isSelected())
            delete list->takeTopLevelItem(i);
        else
            ++i;
    }
}

QTreeWidget* makeList(QWidget* parent, const QString& name)
{
    auto* list = new QTreeWidget(parent);
    list->setObjectName(name);
    list->setRootIsDecorated(false);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setSortingEnabled(false);   // stored order: it is the saved order
    return list;
}

/// Empties Z_ccTLD and fills it from general::gstrCCTLDs, all or nothing.
/// Silent: without a working database or a Z_ccTLD table nothing changes.
void rebuildCountryTable()
{
    if (general::gstrWorkDBPath.isEmpty() || !general::FileExists(general::gstrWorkDBPath))
        return;
    try {
        jet::Database db = jet::Database::open(general::gstrWorkDBPath);
        if (!general::TableExists(db, QStringLiteral("Z_ccTLD")))
            return;
        jet::Connection& c = db.connection();
        c.inSavepoint(QStringLiteral("qb_cctld_rebuild"), [&] {
            db.execute(QStringLiteral("DELETE FROM Z_ccTLD;"), jet::dbFailOnError);
            workbench::fillCountryTable(db);
        });
    } catch (const std::exception&) {
        // The table keeps the previous list; the next workbench opening rebuilds it.
    }
}

} // namespace

QString countryCodeLine(const QString& code, const QString& country)
{
    return QLatin1Char('"') + code + QStringLiteral("\",\"") + country + QLatin1Char('"');
}

bool isCountryCode(const QString& code)
{
    if (code.size() != 2)
        return false;
    for (QChar ch : code)
        if (ch < QLatin1Char('a') || ch > QLatin1Char('z'))
            return false;
    return true;
}

// ---- country codes ----------------------------------------------------------------

frmccTLDs::frmccTLDs(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmccTLDs"));
    setWindowTitle(QStringLiteral("Country Code Top Line Domains"));
    lstccTLDs = makeList(this, QStringLiteral("lstccTLDs"));
    txtNew = new QLineEdit(this);
    txtNew->setObjectName(QStringLiteral("txtNew"));
    txtNewCountry_Name = new QLineEdit(this);
    txtNewCountry_Name->setObjectName(QStringLiteral("txtNewCountry_Name"));
    cmdClose = new QPushButton(QStringLiteral("&Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setAutoDefault(false);

    auto* v = new QVBoxLayout(this);
    v->addWidget(lstccTLDs, 1);
    v->addWidget(new QLabel(QStringLiteral("Add New"), this));
    auto* g = new QGridLayout;
    g->addWidget(new QLabel(QStringLiteral("ccTLD"), this), 0, 0);
    g->addWidget(new QLabel(QStringLiteral("Country"), this), 0, 1);
    g->addWidget(txtNew, 1, 0);
    g->addWidget(txtNewCountry_Name, 1, 1);
    g->setColumnStretch(1, 1);
    v->addLayout(g);
    v->addWidget(cmdClose, 0, Qt::AlignRight);
    txtNew->setFixedWidth(px(145) + 12);
    resize(px(1100), px(1400));

    for (QObject* o : std::initializer_list<QObject*>{txtNew, txtNewCountry_Name, lstccTLDs})
        o->installEventFilter(this);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::accept);
    Form_Load();
}

bool frmccTLDs::eventFilter(QObject* watched, QEvent* event)
{
    if (const int key = keyCodeOf(event)) {
        if (watched == lstccTLDs) {
            lstccTLDs_KeyDown(key);
            if (key == kDelete)
                return true;
        } else if (watched == txtNew || watched == txtNewCountry_Name) {
            txtNew_KeyDown(key);
            if (key == kEnter)
                return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmccTLDs::Form_Load()
{
    lstccTLDs->clear();
    lstccTLDs->setHeaderLabels({QStringLiteral("ccTLD"), QStringLiteral("Country")});
    lstccTLDs->setColumnWidth(0, px(145));
    countryUnits_ = 725;
    lstccTLDs->setColumnWidth(1, px(countryUnits_));
    const QString path = settingsFile("ccTLDs.txt");
    if (general::FileExists(path))
        workbench::loadCountryCodes(path);
    QList<QTreeWidgetItem*> items;
    for (int i = 1; i <= kListSize; ++i) {
        const auto& entry = general::gstrCCTLDs[size_t(i)];
        if (!entry[0].isEmpty())
            items << new QTreeWidgetItem(QStringList{entry[0], entry[1]});
    }
    lstccTLDs->addTopLevelItems(items);
    SetColumnWidths();
}

void frmccTLDs::SetColumnWidths()
{
    countryUnits_ = lstccTLDs->topLevelItemCount() < 18 ? 925 : 875;
    lstccTLDs->setColumnWidth(0, px(145));
    lstccTLDs->setColumnWidth(1, px(countryUnits_));
}

void frmccTLDs::txtNew_KeyDown(int keyCode)
{
    txtNew->setText(txtNew->text().trimmed().toLower());
    txtNewCountry_Name->setText(txtNewCountry_Name->text().trimmed());
    const QString code = txtNew->text();
    const QString country = txtNewCountry_Name->text();
    if (code.isEmpty() || country.isEmpty())
        return;
    if (keyCode != kEnter) {
        SetColumnWidths();
        return;
    }
    if (!isCountryCode(code)) {
        ui::msgBox(QStringLiteral("Two character country abbreviation is expected."), ui::vbExclamation | ui::vbOKOnly);
        SetColumnWidths();
        return;
    }
    QString existing;
    const QString lowerCountry = country.toLower();
    for (int i = 0; i < lstccTLDs->topLevelItemCount() && existing.isNull(); ++i) {
        const QTreeWidgetItem* item = lstccTLDs->topLevelItem(i);
        if (item->text(0) == code)
            existing = code;
        else if (item->text(1).toLower() == lowerCountry)
            existing = general::Double_Quotes(country);
    }
    if (!existing.isNull()) {
        ui::msgBox(QStringLiteral("Item \"") + existing + QStringLiteral("\" exists in the list."),
                   ui::vbExclamation | ui::vbOKOnly);
    } else if (lstccTLDs->topLevelItemCount() >= kListSize) {
        // The array behind the list holds 1000 entries; a 1001st would be lost on saving.
        ui::msgBox(QStringLiteral("The list is full."), ui::vbExclamation | ui::vbOKOnly);
    } else {
        lstccTLDs->addTopLevelItem(new QTreeWidgetItem(QStringList{code, country}));
        ui::msgBox(QStringLiteral("New item \"") + code + QStringLiteral(" - ") + general::Double_Quotes(country) +
                       QStringLiteral("\" has been added."),
                   ui::vbInformation | ui::vbOKOnly);
    }
    txtNew->clear();
    txtNewCountry_Name->clear();
    SetColumnWidths();
}

void frmccTLDs::lstccTLDs_KeyDown(int keyCode)
{
    if (keyCode == kDelete)
        removeSelected(lstccTLDs);
    SetColumnWidths();
}

void frmccTLDs::done(int result)
{
    if (!saved_) {
        saved_ = true;
        Form_Unload();
    }
    QDialog::done(result);
}

void frmccTLDs::Form_Unload()
{
    QStringList lines;
    int n = 0;
    for (int i = 0; i < lstccTLDs->topLevelItemCount() && n < kListSize; ++i) {
        const QTreeWidgetItem* item = lstccTLDs->topLevelItem(i);
        ++n;
        general::gstrCCTLDs[size_t(n)] = {item->text(0), item->text(1)};
        lines << countryCodeLine(item->text(0), item->text(1));
    }
    for (int i = n + 1; i <= kListSize; ++i)
        general::gstrCCTLDs[size_t(i)] = {QString(), QString()};
    saveList(settingsFile("ccTLDs.txt"), lines);
    ui::doEvents();
    rebuildCountryTable();
}

// ---- generic domains --------------------------------------------------------------

frmgTLDs::frmgTLDs(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmgTLDs"));
    setWindowTitle(QStringLiteral("Generic Top Line Domains"));
    lstgTLDs = makeList(this, QStringLiteral("lstgTLDs"));
    txtNew = new QLineEdit(this);
    txtNew->setObjectName(QStringLiteral("txtNew"));
    cmdClose = new QPushButton(QStringLiteral("&Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setAutoDefault(false);

    auto* v = new QVBoxLayout(this);
    v->addWidget(lstgTLDs, 1);
    v->addWidget(new QLabel(QStringLiteral("Add New"), this));
    v->addWidget(txtNew);
    v->addWidget(cmdClose, 0, Qt::AlignRight);
    resize(px(400), px(1400));

    txtNew->installEventFilter(this);
    lstgTLDs->installEventFilter(this);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::accept);
    Form_Load();
}

bool frmgTLDs::eventFilter(QObject* watched, QEvent* event)
{
    if (const int key = keyCodeOf(event)) {
        if (watched == lstgTLDs) {
            lstgTLDs_KeyDown(key);
            if (key == kDelete)
                return true;
        } else if (watched == txtNew) {
            txtNew_KeyDown(key);
            if (key == kEnter)
                return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmgTLDs::Form_Load()
{
    lstgTLDs->clear();
    lstgTLDs->setHeaderLabels({QStringLiteral("gTLDs")});
    const QString path = settingsFile("gTLDs.txt");
    if (general::FileExists(path))
        workbench::loadList(path, general::gstrGTLDs);
    QList<QTreeWidgetItem*> items;
    for (int i = 1; i <= kListSize; ++i)
        if (!general::gstrGTLDs[size_t(i)].isEmpty())
            items << new QTreeWidgetItem(QStringList{general::gstrGTLDs[size_t(i)]});
    lstgTLDs->addTopLevelItems(items);
    SetColumnWidths();
}

void frmgTLDs::SetColumnWidths()
{
    columnUnits_ = lstgTLDs->topLevelItemCount() < 23 ? 275 : 225;
    lstgTLDs->setColumnWidth(0, px(columnUnits_));
}

void frmgTLDs::txtNew_KeyDown(int keyCode)
{
    if (keyCode == kEnter) {
        const QString text = txtNew->text();
        // An empty line would end the list when it is read; a double quote
        // cannot be carried by the file's quoted lines.
        if (text.trimmed().isEmpty()) {
            txtNew->clear();
            SetColumnWidths();
            return;
        }
        if (text.contains(QLatin1Char('"'))) {
            ui::msgBox(QStringLiteral("A domain cannot contain a double quote."), ui::vbExclamation | ui::vbOKOnly);
            SetColumnWidths();
            return;
        }
        bool found = false;
        for (int i = 0; i < lstgTLDs->topLevelItemCount() && !found; ++i)
            found = lstgTLDs->topLevelItem(i)->text(0) == text;
        // The array behind the list holds 1000 entries; a 1001st would be lost on saving.
        if (!found && lstgTLDs->topLevelItemCount() < kListSize)
            lstgTLDs->addTopLevelItem(new QTreeWidgetItem(QStringList{text}));
        txtNew->clear();
    }
    SetColumnWidths();
}

void frmgTLDs::lstgTLDs_KeyDown(int keyCode)
{
    if (keyCode == kDelete)
        removeSelected(lstgTLDs);
    SetColumnWidths();
}

void frmgTLDs::done(int result)
{
    if (!saved_) {
        saved_ = true;
        Form_Unload();
    }
    QDialog::done(result);
}

void frmgTLDs::Form_Unload()
{
    QStringList lines;
    int n = 0;
    for (int i = 0; i < lstgTLDs->topLevelItemCount() && n < kListSize; ++i) {
        const QString text = lstgTLDs->topLevelItem(i)->text(0);
        general::gstrGTLDs[size_t(++n)] = text;
        lines << QLatin1Char('"') + text + QLatin1Char('"');
    }
    for (int i = n + 1; i <= kListSize; ++i)
        general::gstrGTLDs[size_t(i)].clear();
    saveList(settingsFile("gTLDs.txt"), lines);
}

void registerDomainEditors()
{
    listeditors::registerEditor(QStringLiteral("frmccTLDs"), [](QWidget* p) { return new frmccTLDs(p); });
    listeditors::registerEditor(QStringLiteral("frmgTLDs"), [](QWidget* p) { return new frmgTLDs(p); });
}

} // namespace email
