// The contact-manager link.
//
// Import: open the database, check that it opened, log on, check the
// version, then two passes over the contact table. The first finds, per
// field, whether any contact fills it, whether a text is longer than 255
// characters and how many dates cannot be read; the second stores the rows
// through one prepared INSERT. Columns that no contact fills are never made
// (which is what dropping them afterwards would leave), so a list with many
// unused fields costs no table rewrites. The drop of the old tblData, the
// new table and its rows sit in one savepoint.
//
// Export: the contacts of the list's rows are updated, the contacts whose
// rows were removed are offered for deletion, the rows without a contact are
// added. The e-mail table is walked once for all rows (an index of the rows'
// new addresses by contact), not once per row. Every change stays in the
// database object until its Close(), which the export reaches only when
// everything before it worked: a failure leaves the files as they were.
// Close() switches the files all at once, inside the savepoint that links
// the added contacts to their rows. A value the contact database refuses is
// named with its contact and its row of the list.
#include "exchange/act_module.h"

#include "app/mdimain.h"
#include "common/general.h"
#include "exchange/column_type.h"
#include "exchange/date_text.h"
#include "exchange/frmact_validateuser.h"
#include "exchange/import_sources.h"
#include "exchange/import_window.h"
#include "exchange/imported_list.h"
#include "exchange/text_sample.h"
#include "platform/contacts/contactdb.h"
#include "platform/jet/connection.h"
#include "platform/jet/database.h"
#include "platform/jet/error.h"
#include "platform/ui/ui.h"

#include <QFileInfo>
#include <QHash>
#include <QLineEdit>
#include <QSet>

#include <algorithm>
#include <optional>

namespace exchange {
namespace {

bool isDateType(int type) { return type == contacts::TypeDate || type == contacts::TypeDateTime; }


QString placeholders(qsizetype n)
{
    QStringList p;
    for (qsizetype i = 1; i <= n; ++i)
        p << QStringLiteral("?%1").arg(i);
    return p.join(QLatin1Char(','));
}

[[noreturn]] void rethrowContact(const contacts::ContactError& e) { throw jet::JetError(jet::errGeneral, e.description()); }

} // namespace

std::optional<jet::DateTime> readContactDate(const QString& text)
{
    static const DateSettings rule = DateSettings::fromTexts(QStringLiteral("MDY"), QStringLiteral("/"), QStringLiteral(":"));
    return text.isEmpty() ? std::nullopt : parseDateTime(text, rule);
}

std::vector<ContactColumn> contactColumns(const contacts::Table& table)
{
    const contacts::Table::FieldList& fields = table.Fields();
    std::vector<ContactColumn> out;
    SampleTable labels;
    labels.rows.append(QStringList());
    for (int i = 0; fields.FieldIdAt(i) != -1; ++i) {
        const int id = fields.FieldIdAt(i);
        if (id == 201 || id == 202 || id == 203)
            continue;
        out.push_back({id, fields.Type(id), QString()});
        labels.rows.front() << fields.Label(id);
    }
    labels.width = int(out.size());
    const QStringList names = columnNames(labels, true);
    for (size_t i = 0; i < out.size(); ++i)
        out[i].name = names[qsizetype(i)];
    return out;
}

const QStringList& hiddenContactColumns()
{
    static const QStringList names = {
        QStringLiteral("Unique Id"),      QStringLiteral("Create TimeStamp"), QStringLiteral("Edit TimeStamp"),
        QStringLiteral("Merge TimeStamp"), QStringLiteral("Public/Private"),  QStringLiteral("Record Manager"),
        QStringLiteral("Contact Type"),   QStringLiteral("Create Date"),      QStringLiteral("Edit Date"),
        QStringLiteral("Merge Date")};
    return names;
}

ContactImport importContacts(contacts::Table& table, jet::Database& work)
{
    const std::vector<ContactColumn> columns = contactColumns(table);
    const size_t n = columns.size();
    std::vector<bool> filled(n, false), longText(n, false);
    ContactImport result;
    try {
        if (table.RecordCount() > 0) {
            for (table.MoveFirst(); !table.isEOF(); table.MoveNext()) {
                for (size_t i = 0; i < n; ++i) {
                    const QString v = table.Data(columns[i].id);
                    if (v.isEmpty())
                        continue;
                    if (isDateType(columns[i].type)) {
                        if (readContactDate(v))
                            filled[i] = true;
                        else
                            ++result.unreadableDates;
                    } else {
                        filled[i] = true;
                        longText[i] = longText[i] || v.size() > kTextColumnLength;
                    }
                }
            }
        }
    } catch (const contacts::ContactError& e) {
        rethrowContact(e);
    }

    std::vector<size_t> kept;
    QStringList names;
    std::vector<ColumnType> types;
    for (size_t i = 0; i < n; ++i) {
        if (!filled[i] && !hiddenContactColumns().contains(columns[i].name)) {
            result.dropped << columns[i].name;
            continue;
        }
        kept.push_back(i);
        names << columns[i].name;
        types.push_back(isDateType(columns[i].type) ? ColumnType::DateTime
                        : (columns[i].type == contacts::TypeMemo || longText[i]) ? ColumnType::Memo
                                                                                 : ColumnType::Text);
    }
    // The system columns go aside when the list opens: a list of nothing
    // else would open with no column at all.
    if (std::all_of(names.cbegin(), names.cend(), [](const QString& n) { return hiddenContactColumns().contains(n); }))
        throw jet::JetError(jet::errGeneral, QStringLiteral("The Act database holds no contact data to import."));
    // The list opens by moving the system columns aside: a contact table
    // without one of them (a damaged file) could never open, and the list it
    // replaced would be gone.
    for (const QString& hidden : hiddenContactColumns())
        if (!names.contains(hidden))
            throw jet::JetError(jet::errGeneral, QStringLiteral("The Act database has no field '%1' and cannot be imported.")
                                                     .arg(hidden));
    for (const QString& name : names)
        if (const QString problem = columnNameProblem(name); !problem.isEmpty())
            throw jet::JetError(jet::errGeneral, problem);

    allOrNothing(work, [&] {
        if (general::DropTable(work, QStringLiteral("tblData")))
            throw jet::JetError(jet::errGeneral, QStringLiteral("Could not delete existing data."));
        work.execute(createTableStatement(QStringLiteral("tblData"), names, types), jet::dbFailOnError);
        jet::Connection& c = work.connection();
        jet::Stmt ins(&c, QStringLiteral("INSERT INTO \"%1\" VALUES (%2)")
                              .arg(c.requireTable(QStringLiteral("tblData")), placeholders(names.size())));
        try {
            if (table.RecordCount() > 0) {
                for (table.MoveFirst(); !table.isEOF(); table.MoveNext()) {
                    for (size_t k = 0; k < kept.size(); ++k) {
                        const ContactColumn& col = columns[kept[k]];
                        const QString v = table.Data(col.id);
                        if (isDateType(col.type)) {
                            const auto d = readContactDate(v);
                            ins.bind(int(k) + 1, d ? jet::Value(*d) : jet::Value());
                        } else {
                            ins.bind(int(k) + 1, jet::Value(v));
                        }
                    }
                    ins.step();
                    ins.reset();
                    ++result.rows;
                }
            }
        } catch (const contacts::ContactError& e) {
            rethrowContact(e);
        }
    });
    result.columns = names;
    return result;
}

void splitHiddenColumns(jet::Database& work)
{
    if (general::DropTable(work, QStringLiteral("tblActHiddenFields")))
        throw jet::JetError(jet::errGeneral, QStringLiteral("Could not delete internal tables."));
    allOrNothing(work, [&] {
        QString select = QStringLiteral("SELECT LumacorPrimK");
        for (const QString& c : hiddenContactColumns())
            select += QStringLiteral(", [") + c + QLatin1Char(']');
        work.execute(select + QStringLiteral(" INTO tblActHiddenFields FROM tblData;"), jet::dbFailOnError);
        work.execute(QStringLiteral("ALTER TABLE tblActHiddenFields ADD CONSTRAINT pk PRIMARY KEY (LumacorPrimK);"),
                     jet::dbFailOnError);
        for (const QString& c : hiddenContactColumns())
            work.execute(QStringLiteral("ALTER TABLE tblData DROP COLUMN [") + c + QStringLiteral("];"), jet::dbFailOnError);
    });
}

} // namespace exchange

namespace Act_Module1 {
namespace {

const QString kNotOpened = QStringLiteral("Your Act database could not be opened.");
const QString kNotValidated = QStringLiteral("Failed user validation process!");
const QString kWrongVersion = QStringLiteral("You have an ACT database that is not version 6.0");
const QString kCancelled = QStringLiteral("Operation cancelled.");
constexpr int kVersion = 60;

QString& splitError()
{
    static QString e;
    return e;
}

QString workDatabasePath()
{
    return general::gstrWorkDBPath.isEmpty() ? general::programFolder() + QStringLiteral("/sysfls.sys")
                                             : general::gstrWorkDBPath;
}

/// The text a column's value is written to the contact table as.
QString contactText(const jet::Value& v)
{
    if (v.isNull())
        return QString();
    if (v.kind() == jet::Kind::Date) {
        const jet::DateParts p = jet::toParts(v.toDate());
        return contacts::dateTimeText(p.year, p.month, p.day, p.hour, p.minute, p.second);
    }
    return v.toString();
}

/// Whether the list's value is what the import made of the contact's text,
/// so that writing it would change nothing (a date the import could not read
/// stays as the contact manager holds it).
bool unchanged(int type, const QString& stored, const jet::Value& listed)
{
    if (type == contacts::TypeDate || type == contacts::TypeDateTime) {
        const auto d = exchange::readContactDate(stored);
        if (!d || listed.isNull())
            return !d && listed.isNull();
        return listed.kind() == jet::Kind::Date && jet::storedDate(*d) == jet::storedDate(listed.toDate());
    }
    return stored == listed.toString();
}

/// The key of either table of the join: "T.LumacorPrimK", "A.LumacorPrimK",
/// or the engine's "LumacorPrimK1" for the second of two equal names.
bool isKeyColumn(QString name)
{
    while (!name.isEmpty() && name.back().isDigit())
        name.chop(1);
    return name.endsWith(QLatin1String("LumacorPrimK"));
}

/// For each column of the recordset, the contact field it is written to, or
/// -1. Fails with "Could not link field names" for a column that is neither
/// a field nor a key.
std::vector<int> linkColumns(const jet::Recordset& rs, const contacts::Table& table)
{
    QHash<QString, int> byName;
    for (const exchange::ContactColumn& c : exchange::contactColumns(table))
        byName.insert(c.name.toUpper(), c.id);
    std::vector<int> links;
    for (int j = 0; j < rs.fieldCount(); ++j) {
        const QString name = rs.field(j).name;
        const int id = byName.value(name.toUpper(), -1);
        if (id == -1 && !isKeyColumn(name))
            exchange::failImport(QStringLiteral("Could not link field names"));
        links.push_back(id);
    }
    return links;
}

/// Opens the database at path and takes it through the open flag, the
/// log-on and the version; the reason when one of them fails.
std::optional<QString> openDatabase(contacts::Database& db, const QString& path)
{
    db.Open(path);
    if (!db.isopen())
        return kNotOpened;
    if (!ValidateActUser(db))
        return kNotValidated;
    if (db.MajorVersion() != kVersion)
        return kWrongVersion;
    return std::nullopt;
}

/// The rows an export added as contacts, linked to them, so that the next
/// export updates those contacts instead of adding them again. Runs inside
/// the caller's savepoint, which commits it with the contact files.
void rememberAdded(jet::Database& work, const std::vector<std::pair<qint64, QString>>& added)
{
    if (added.empty())
        return;
    jet::Connection& c = work.connection();
    jet::Stmt ins(&c, QStringLiteral("INSERT INTO \"%1\" (LumacorPrimK, \"Unique Id\") VALUES (?1, ?2)")
                          .arg(c.requireTable(QStringLiteral("tblActHiddenFields"))));
    for (const auto& [key, uid] : added) {
        ins.bind(1, jet::Value(static_cast<long long>(key)));
        ins.bind(2, jet::Value(uid));
        ins.step();
        ins.reset();
    }
}

/// Which contact and which row of the list a value came from, for the
/// message when the contact database refuses it.
struct Origin {
    QString name;   ///< the contact's name
    QString row;    ///< the row's key, as the list shows it
};

[[noreturn]] void refused(const contacts::ContactError& e, const Origin& from)
{
    const QString who = from.name.isEmpty() ? QStringLiteral("A contact without a name")
                                            : QStringLiteral("Contact \"%1\"").arg(from.name);
    throw contacts::ContactError(
        QStringLiteral("%1 %2, row %3 of the list.").arg(e.description(), who, from.row));
}

class BusyScope {
public:
    explicit BusyScope(const QString& status)
    {
        exchange::setMainPointer(ui::Pointer::Hourglass);
        exchange::setMainStatus(status);
    }
    ~BusyScope()
    {
        exchange::setMainPointer(ui::Pointer::Default);
        exchange::setMainStatus(QString());
    }
};

} // namespace

bool ValidateActUser(contacts::Database& db)
{
    using namespace general;
    if (!db.IsMultiUser())
        return true;
    if (!gblnActUserValidated) {
        frmAct_ValidateUser dialog(MDIMain::loaded());
        if (dialog.exec() != QDialog::Accepted)
            throw ui::Cancelled();
        gstrActUserName = dialog.txtUserName->text();
        gstrActPassword = dialog.txtPassword->text();
    }
    db.validateuser(gstrActUserName, gstrActPassword);
    // A kept log-on that another database refuses is forgotten, so that the
    // dialog comes again next time.
    gblnActUserValidated = !db.Error();
    return gblnActUserValidated;
}

void ImportActDatabase(const QString& fileName)
{
    using namespace general;
    try {
        contacts::Database act;
        if (const auto why = openDatabase(act, fileName))
            exchange::failImport(*why);
        exchange::ContactImport done;
        {
            BusyScope busy(QStringLiteral("Please Wait..."));
            gdbWork = jet::Database::open(workDatabasePath());
            done = exchange::importContacts(act.CONTACT(), gdbWork);
            act.CONTACT().Close();
        }
        if (done.unreadableDates == 1)
            ui::msgBox(QStringLiteral("1 date value could not be read as a date and was left empty."), ui::vbInformation);
        else if (done.unreadableDates > 1)
            ui::msgBox(QStringLiteral("%1 date values could not be read as dates and were left empty.")
                           .arg(done.unreadableDates),
                       ui::vbInformation);
        exchange::openImportedList();
        // The workbench has put the record count in the status: it stays.
        exchange::setMainPointer(ui::Pointer::Default);
        return;
    } catch (const ui::Cancelled&) {
        // The log-on was cancelled: nothing to tell.
    } catch (const std::exception& e) {
        exchange::setMainPointer(ui::Pointer::Default);
        exchange::setMainStatus(QString());
        ui::msgBox(exchange::errorText(e), ui::vbCritical + ui::vbOKOnly);
        return;
    }
    exchange::setMainPointer(ui::Pointer::Default);
    exchange::setMainStatus(QString());
}

int SplitActHiddenFields()
{
    try {
        // gdbWork may still be on another import's source: the split works
        // on the working database only.
        if (!general::gdbWork.isOpen()
            || QFileInfo(general::gdbWork.name()).absoluteFilePath() != QFileInfo(workDatabasePath()).absoluteFilePath())
            general::gdbWork = jet::Database::open(workDatabasePath());
        exchange::splitHiddenColumns(general::gdbWork);
        splitError().clear();
        return 0;
    } catch (const std::exception& e) {
        splitError() = exchange::errorText(e);
        return 1;
    }
}

QString lastSplitError() { return splitError(); }

int ExportToAct(const QString& source, const QString& destination, QString& message)
{
    using namespace general;
    if (source != destination) {
        ui::msgBox(QStringLiteral("When you import data from an Act! 6.0 database, you can only export the data back to "
                                  "it's original source.\r\rCurrent data has been imported from ")
                       + source.toUpper()
                       + QStringLiteral("\r\rPlease choose this database if you would like to export to Act."),
                   ui::vbInformation);
        message = QStringLiteral("Cannot export to a different Act database.");
        return 1;
    }
    if (ui::msgBox(QStringLiteral("Warning: Once you export, you will not be able to undo the changes.\r\rPlease make "
                                  "sure your original Act! 6.0 database is backed up.\r\rDo you still want to continue?"),
                   ui::vbYesNo + ui::vbQuestion)
        != ui::vbYes) {
        message = kCancelled;
        return 1;
    }
    try {
        contacts::Database act;
        if (const auto why = openDatabase(act, destination)) {
            message = *why;
            return 1;
        }
        long missing = 0;
        std::vector<std::pair<qint64, QString>> added;   // row key, new unique id
        QString unfinished, notRecorded;   // what the closing message adds
        {
            BusyScope busy(QStringLiteral("Exporting to Act!"));
            ui::doEvents();
            contacts::Table& contact = act.CONTACT();
            contacts::Table& email = act.Email();
            gdbWork = jet::Database::open(workDatabasePath());

            // Update: the contacts of the list's rows.
            auto rs = gdbWork.openRecordset(
                QStringLiteral("SELECT * FROM tblData T INNER JOIN tblActHiddenFields A ON T.LumacorPrimK=A.LumacorPrimK"),
                jet::dbOpenSnapshot);
            const std::vector<int> links = linkColumns(*rs, contact);
            const int uidColumn = rs->fieldIndex(QStringLiteral("Unique Id"));
            if (uidColumn < 0)
                exchange::failImport(QStringLiteral("Could not link field names"));
            int rowColumn = -1;   // the list's key: the first of the two
            int nameColumn = -1;  // the contact's name
            for (int j = rs->fieldCount() - 1; j >= 0; --j) {
                if (isKeyColumn(rs->field(j).name))
                    rowColumn = j;
                if (links[size_t(j)] == contacts::kContactNameField)
                    nameColumn = j;
            }
            QHash<QString, QString> newAddress;   // unique id -> the row's e-mail
            QHash<QString, Origin> origins;       // unique id -> its contact and row
            QStringList order;
            for (; !rs->eof(); rs->moveNext()) {
                const QString uid = rs->value(uidColumn).toString();
                if (!contact.Goto(uid)) {
                    ++missing;   // no longer in the database: nothing to update
                    continue;
                }
                // Named as the list shows it, else as the database holds it.
                Origin origin{QString(), rowColumn >= 0 ? rs->value(rowColumn).toString() : QString()};
                if (nameColumn >= 0)
                    origin.name = contactText(rs->value(nameColumn));
                if (origin.name.isEmpty() && contact.Fields().Type(contacts::kContactNameField) != 0)
                    origin.name = contact.Data(contacts::kContactNameField);
                origins.insert(uid, origin);
                contact.Edit();
                try {
                    for (int j = 0; j < rs->fieldCount(); ++j) {
                        if (links[size_t(j)] == -1)
                            continue;
                        const int id = links[size_t(j)];
                        const QString value = contactText(rs->value(j));
                        if (id == contacts::kEmailField) {
                            if (!value.isEmpty() && !newAddress.contains(uid)) {
                                newAddress.insert(uid, value);
                                order << uid;
                            }
                            continue;
                        }
                        if (!unchanged(contact.Fields().Type(id), contact.Data(id), rs->value(j)))
                            contact.setData(id, value);
                    }
                } catch (const contacts::ContactError& e) {
                    refused(e, origin);
                }
                contact.Update();
            }
            rs->close();
            // Every primary address of those contacts takes the row's value;
            // a contact without one gets a new record.
            QSet<QString> matched;
            if (!newAddress.isEmpty() && email.RecordCount() > 0) {
                for (email.MoveFirst(); !email.isEOF(); email.MoveNext()) {
                    const QString owner = email.Data(contacts::kEmailOwnerField);
                    const auto it = newAddress.constFind(owner);
                    if (it == newAddress.cend() || email.Data(contacts::kEmailPrimaryField) != QLatin1String("1"))
                        continue;
                    matched.insert(owner);
                    if (email.Data(contacts::kEmailAddressField) == *it)
                        continue;
                    email.Edit();
                    try {
                        email.setData(contacts::kEmailAddressField, *it);
                    } catch (const contacts::ContactError& e) {
                        refused(e, origins.value(owner));
                    }
                    email.Update();
                }
            }
            const auto addEmail = [&](const QString& owner, const QString& address, const Origin& origin) {
                email.Add();
                try {
                    email.setData(contacts::kEmailAddressField, address);
                    email.setData(contacts::kEmailPrimaryField, QStringLiteral("1"));
                    email.setData(contacts::kEmailOwnerField, owner);
                } catch (const contacts::ContactError& e) {
                    refused(e, origin);
                }
                email.Update();
            };
            for (const QString& uid : order)
                if (!matched.contains(uid))
                    addEmail(uid, newAddress.value(uid), origins.value(uid));

            // Delete: the contacts whose rows were removed, each on a Yes.
            rs = gdbWork.openRecordset(QStringLiteral("SELECT A.* FROM tblData T RIGHT JOIN tblActHiddenFields A ON "
                                                      "T.LumacorPrimK=A.LumacorPrimK WHERE T.LumacorPrimK IS NULL"),
                                       jet::dbOpenSnapshot);
            const int goneUid = rs->fieldIndex(QStringLiteral("Unique Id"));
            for (; !rs->eof(); rs->moveNext()) {
                if (!contact.Goto(rs->value(goneUid).toString()))
                    continue;   // already gone
                const QString name = contact.Data(contacts::kContactNameField);
                if (ui::msgBox(QStringLiteral("Are you sure you want to delete: [") + name
                                   + QStringLiteral("] (Y/N)\r\rAll information relating to this contact will be deleted!"),
                               ui::vbYesNo + ui::vbCritical, QStringLiteral("Deleting Contact"))
                    == ui::vbYes)
                    contact.Delete();
            }
            rs->close();

            // Add: the rows that have no contact yet.
            rs = gdbWork.openRecordset(QStringLiteral("SELECT T.* FROM tblData T LEFT JOIN tblActHiddenFields A ON "
                                                      "T.LumacorPrimK=A.LumacorPrimK WHERE A.LumacorPrimK IS NULL"),
                                       jet::dbOpenSnapshot);
            const std::vector<int> newLinks = linkColumns(*rs, contact);
            int keyColumn = -1;
            for (int j = 0; j < rs->fieldCount(); ++j)
                if (isKeyColumn(rs->field(j).name))
                    keyColumn = j;
            for (; !rs->eof(); rs->moveNext()) {
                Origin origin{QString(), keyColumn >= 0 ? rs->value(keyColumn).toString() : QString()};
                for (int j = 0; j < rs->fieldCount(); ++j)
                    if (newLinks[size_t(j)] == contacts::kContactNameField)
                        origin.name = contactText(rs->value(j));
                contact.Add();
                QString address;
                try {
                    for (int j = 0; j < rs->fieldCount(); ++j) {
                        const int id = newLinks[size_t(j)];
                        if (id == -1)
                            continue;
                        if (id == contacts::kEmailField)
                            address = contactText(rs->value(j));
                        else
                            contact.setData(id, contactText(rs->value(j)));
                    }
                } catch (const contacts::ContactError& e) {
                    refused(e, origin);
                }
                const QString uid = contact.Update();
                if (!address.isEmpty())
                    addEmail(uid, address, origin);
                if (keyColumn >= 0)
                    added.emplace_back(rs->value(keyColumn).toLong(), uid);
            }
            rs->close();

            contact.Close();
            email.Close();
            // The record of the added contacts and the contact files change
            // together: the rows are written first, uncommitted; the files
            // switch (all at once, or not at all, which undoes the rows);
            // then the rows are committed. Only that commit can fail after
            // the files changed, and the closing message says so.
            bool switched = false;
            try {
                exchange::allOrNothing(gdbWork, [&] {
                    rememberAdded(gdbWork, added);
                    act.Close();
                    switched = true;
                });
            } catch (const std::exception& e) {
                if (!switched)
                    throw;
                notRecorded = exchange::errorText(e);
            }
            unfinished = act.closeWarning();
        }
        if (missing > 0)
            ui::msgBox(QStringLiteral("%1 of the list's contacts are no longer in the Act! database and were not "
                                      "exported.")
                           .arg(missing),
                       ui::vbInformation);
        QString done = QStringLiteral("Successfully exported to Act!");
        if (!unfinished.isEmpty())
            done += QStringLiteral("\r\rThe export's last step did not finish (%1); it is completed the next time "
                                   "this program opens the contact database.")
                        .arg(unfinished);
        if (!notRecorded.isEmpty())
            done += (added.size() == 1
                         ? QStringLiteral("\r\rThe contact added could not be recorded in the list (%1): exporting "
                                          "this list again would add it again.")
                               .arg(notRecorded)
                         : QStringLiteral("\r\rThe %1 contacts added could not be recorded in the list (%2): "
                                          "exporting this list again would add them again.")
                               .arg(added.size())
                               .arg(notRecorded))
                    + QStringLiteral(" Import the Act! database again before the next export.");
        ui::msgBox(done, unfinished.isEmpty() && notRecorded.isEmpty() ? ui::vbInformation : ui::vbExclamation);
        return 0;
    } catch (const ui::Cancelled&) {
        message = kCancelled;
    } catch (const contacts::ContactError& e) {
        message = e.description();
    } catch (const std::exception& e) {
        message = exchange::errorText(e);
    }
    return 1;
}

} // namespace Act_Module1
