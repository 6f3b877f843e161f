// dBase III tables (.dbf) with their memo files (.dbt), read whole into memory
// and written back whole. The contact database is a set of these.
//
// Layout facts this reader and writer keep to: a 32-byte header (version byte
// 0x03, or 0x83 with a memo file; date of last update; record count; header
// and record lengths; language byte 0x03 for the Windows code page), one
// 32-byte descriptor per field (name of up to 10 characters, type C, N, D, L
// or M, length, decimals), 0x0D, then fixed-width records that start with a
// blank (live) or "*" (deleted), and 0x1A at the end. A memo field holds the
// number of its first 512-byte block in the .dbt, whose text ends at 0x1A.
// Text is Windows-1252.
//
// Values go in through setText(), which refuses what the field cannot hold
// (too long, not a number, not a date, a character outside the code page)
// instead of storing something else. Deleted records are skipped on reading,
// and records removed here are not written back (the table is packed).
#pragma once

#include <QByteArray>
#include <QString>

#include <stdexcept>
#include <vector>

namespace contacts {

/// A failure of the contact files: unreadable, damaged, or a value refused.
class ContactError : public std::runtime_error {
public:
    explicit ContactError(const QString& why) : std::runtime_error(why.toStdString()), why_(why) {}
    const QString& description() const { return why_; }

private:
    QString why_;
};

struct DbfField {
    QString name;     ///< at most 10 characters, stored in capitals
    char type = 'C';  ///< 'C', 'N', 'D', 'L' or 'M'
    int length = 10;  ///< bytes in the record (D 8, L 1, M 10)
    int decimals = 0;
};

class DbfTable {
public:
    DbfTable() = default;
    explicit DbfTable(std::vector<DbfField> fields);

    /// Reads path and, when a field is a memo, the .dbt beside it (the same
    /// name in any letter case). Throws ContactError.
    static DbfTable read(const QString& path);
    /// Writes the table to path and, with memo fields, its memos to memoFile
    /// (both replaced, flushed to the disk). Throws ContactError; a file
    /// left half written is removed.
    void write(const QString& path, const QString& memoFile) const;
    /// The memo file that belongs to a table file: an existing one in any
    /// letter case, else the name with ".dbt" (".DBT" for ".DBF").
    static QString memoPath(const QString& path);
    bool hasMemo() const;

    const std::vector<DbfField>& fields() const { return fields_; }
    /// The field's position, names compared without regard to case; -1 when none.
    int fieldIndex(const QString& name) const;

    /// Records read or appended, removed ones included (positions stay put).
    int rowCount() const { return int(rows_.size()); }
    /// The stored text: C without its trailing blanks, N trimmed, D the eight
    /// characters as stored ("" when blank), L one character, M the memo.
    QString text(int row, int field) const;
    /// Stores text. C: at most length bytes; N: a number that fits, or "";
    /// D: "YYYYMMDD" of a real date, or ""; L: one of T F Y N ?, or "".
    /// Throws ContactError naming the field.
    void setText(int row, int field, const QString& value);
    /// A record of blanks at the end; returns its position.
    int appendRow();
    /// Marks the record deleted; write() leaves it out.
    void removeRow(int row);
    bool isRemoved(int row) const;

private:
    void requireRow(int row) const;
    std::vector<DbfField> fields_;
    std::vector<int> offsets_;   ///< of each field inside a record, after the deletion flag
    int recordLength_ = 1;
    bool memo_ = false;
    std::vector<QByteArray> rows_;               ///< raw records, deletion flag first
    std::vector<std::vector<QString>> memos_;    ///< per row, per field (memo fields only)
};

/// Text in the Windows code page; ContactError for a character it has no code for.
QByteArray toWindows1252(const QString& text);
bool hasWindows1252Code(QChar c);
QString fromWindows1252(const QByteArray& bytes);

} // namespace contacts
