// The contact manager's database, as far as the import and the export use it:
// open it, log on, read its version, walk and change its contact table and
// its e-mail table, close it.
//
// A database is a folder of dBase III files:
//   <name>.DBF (+ .DBT)  the contact table, the file the user picks
//   DBINFO.DBF           one record: CONTACTS (the contact table's file name),
//                        VERSION (60 for 6.0), MULTIUSER (T when users log on)
//   FIELDS.DBF           one record per field: TABLENAME ("CONTACT" or
//                        "EMAIL"), FIELDID, LABEL, FIELDTYPE, COLNAME (the
//                        dBase column; empty for the contact's e-mail field)
//   EMAIL.DBF (+ .DBT)   the e-mail table
//   USERS.DBF            USERNAME and PASSWORD of each user
// A field's id and type come from FIELDS.DBF; its value from its column.
//
// Values go in and out as text. Dates read as "mm/dd/yyyy" and date-times as
// "mm/dd/yyyy hh:nn:ss" (a stored value that is no real date comes out as
// stored); both forms, "" for none, are what a write takes.
//
// Changes stay in memory until Close(), which writes every changed table to a
// new file beside the old one and switches all of them in at once
// (platform/contacts/file_switch.h); Open() first finishes or clears away a
// switch that a crash interrupted, so the files are always all old or all
// new. A Database dropped without Close() leaves the files as they were: a
// failed export changes nothing.
#pragma once

#include "platform/contacts/dbase.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace contacts {

/// Field type codes. Stored in FIELDS.DBF: persisted, do not renumber.
enum FieldType : int {
    TypeText = 1,      ///< C column
    TypeNumber = 2,    ///< N column
    TypeMemo = 3,      ///< M column
    TypeYesNo = 4,     ///< L column
    TypeDate = 7,      ///< D column
    TypeDateTime = 8,  ///< C column of 14: yyyyMMddhhmmss
};

// Field ids with a fixed meaning. Stored in FIELDS.DBF: persisted.
inline constexpr int kUniqueIdField = 1;      ///< the contact's unique id
inline constexpr int kContactNameField = 26;  ///< the contact's name
inline constexpr int kEmailField = 200;       ///< the contact's primary e-mail, kept in the e-mail table
inline constexpr int kEmailAddressField = 25; ///< e-mail table: the address
inline constexpr int kEmailPrimaryField = 27; ///< e-mail table: "1" for the contact's primary address
inline constexpr int kEmailOwnerField = 28;   ///< e-mail table: the unique id of the owning contact

class Database;

/// A field's description in FIELDS.DBF.
struct FieldSpec {
    int id = 0;
    QString label;
    int type = TypeText;
    QString column;   ///< "" for the contact's e-mail field
    int length = 0;   ///< of a text or number column; 0 takes the type's default
};

class Table {
public:
    /// The field list: ids by position, labels and types by id.
    class FieldList {
    public:
        int Count() const { return int(specs_.size()); }
        /// The id at a position from 0; -1 at or beyond Count().
        int FieldIdAt(int index) const;
        QString Label(int id) const;   ///< "" for an unknown id
        int Type(int id) const;        ///< 0 for an unknown id

    private:
        friend class Table;
        friend class Database;
        std::vector<FieldSpec> specs_;
        QHash<int, int> byId_;
    };

    const FieldList& Fields() const { return fields_; }
    long RecordCount() const { return live_; }
    void MoveFirst();
    void MoveNext();
    bool isEOF() const;
    /// The current record's value of the field. Throws ContactError without a
    /// current record or for an unknown id.
    QString Data(int id) const;
    /// Writes the field of the record being edited or added. Throws
    /// ContactError when the field cannot hold the value (nothing is stored).
    void setData(int id, const QString& value);
    /// Makes the contact with that unique id current; false (and no current
    /// record) when there is none.
    bool Goto(const QString& uniqueId);
    void Edit();
    /// A new record at the end, current and being edited.
    void Add();
    /// Ends the edit; returns the record's unique id (a new record of the
    /// contact table gets one here when it has none).
    QString Update();
    /// Removes the current record; for a contact, its e-mail records too.
    void Delete();
    void Close() {}

private:
    friend class Database;
    int column(int id) const;   ///< the dBase column of the field; -1 for none
    void requireCurrent() const;
    void indexIds() const;
    void changed();

    Database* db_ = nullptr;
    bool contact_ = false;
    FieldList fields_;
    std::vector<int> columns_;   ///< by field position
    DbfTable table_;
    QString file_, memoFile_;
    std::vector<bool> removed_;
    long live_ = 0;
    int pos_ = -1;
    bool editing_ = false;
    bool dirty_ = false;
    int keyColumn_ = -1;          ///< unique id (contacts) or owner (e-mails)
    mutable bool indexed_ = false;
    mutable QHash<QString, std::vector<int>> byKey_;
};

class Database {
public:
    Database() = default;
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    /// Opens the database whose contact table is path. Never throws: isopen()
    /// tells whether it worked, openFailure() why not.
    void Open(const QString& path);
    bool isopen() const { return open_; }
    QString openFailure() const { return failure_; }
    bool IsMultiUser() const { return multiUser_; }
    /// Logs the user on: Error() is false after a name and password that
    /// match a user (names compared without regard to case), true otherwise.
    void validateuser(const QString& userName, const QString& password);
    bool Error() const { return error_; }
    int MajorVersion() const { return version_; }
    Table& CONTACT() { return contact_; }
    Table& Email() { return email_; }
    /// Writes the changes (all files or, on failure, none) and closes.
    /// Throws ContactError when the files cannot be written: nothing changed.
    void Close();
    /// After a Close that wrote the changes: "" when every file is in place,
    /// else why one is not yet (the next Open puts it in place).
    QString closeWarning() const { return closeWarning_; }

private:
    friend class Table;
    QString primaryEmail(const QString& uniqueId) const;
    void removeEmailsOf(const QString& uniqueId);

    bool open_ = false;
    QString failure_;
    QString closeWarning_;
    QString folder_;
    bool multiUser_ = false;
    bool error_ = false;
    int version_ = 0;
    std::vector<std::pair<QString, QString>> users_;
    Table contact_, email_;
    qint64 nextId_ = 1;
};

/// What a new, empty database holds.
struct NewDatabase {
    QString contactFile = QStringLiteral("CONTACTS.DBF");
    int version = 60;
    bool multiUser = false;
    std::vector<std::pair<QString, QString>> users;   ///< name, password
    std::vector<FieldSpec> contactFields = standardContactFields();
    std::vector<FieldSpec> emailFields = standardEmailFields();

    /// The ten system fields, the usual contact fields and the e-mail field.
    static std::vector<FieldSpec> standardContactFields();
    static std::vector<FieldSpec> standardEmailFields();
};

/// Writes the files of an empty database into folder (made when missing) and
/// returns the contact table's path. Throws ContactError.
QString createDatabase(const QString& folder, const NewDatabase& spec);

/// "mm/dd/yyyy" or "mm/dd/yyyy hh:nn:ss", the form dates are read and written in.
QString dateText(int year, int month, int day);
QString dateTimeText(int year, int month, int day, int hour, int minute, int second);

} // namespace contacts
