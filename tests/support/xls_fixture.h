// Workbooks for the Excel import's tests, made here: the program's own writer
// gives a sound workbook, whose records are then edited (number cells turned
// into formulas with a stored result, records added or removed) and stored
// again in a compound file through libgsf. xlrd, run by the system's Python,
// reads the same files as an independent reader.
#pragma once

#include <QJsonArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace xlsfixture {

/// One BIFF record.
struct Record {
    std::uint16_t id = 0;
    std::string body;
    long long origin = -1;   ///< where it stood in the stream read; -1 for a new record
};

/// The last result a formula cell keeps.
struct Result {
    enum class Kind { Number, Text, Boolean, Error, EmptyText };
    Kind kind = Kind::Number;
    double number = 0;   ///< Number
    QString text;        ///< Text
    bool flag = false;   ///< Boolean
    int code = 0x2A;     ///< Error: 0x07 #DIV/0!, 0x0F #VALUE!, 0x17 #REF!, 0x1D #NAME?, 0x24 #NUM!, 0x2A #N/A

    static Result num(double v) { return {Kind::Number, v, {}, false, 0}; }
    static Result str(const QString& s) { return {Kind::Text, 0, s, false, 0}; }
    static Result boolean(bool b) { return {Kind::Boolean, 0, {}, b, 0}; }
    static Result error(int c) { return {Kind::Error, 0, {}, false, c}; }
    static Result emptyText() { return {Kind::EmptyText, 0, {}, false, 0}; }
};

std::uint16_t u16(const std::string& s, std::size_t at);
std::uint32_t u32(const std::string& s, std::size_t at);
double f64(const std::string& s, std::size_t at);
std::string le16(unsigned v);
std::string le32(std::uint32_t v);
std::string le64(double v);

/// The workbook stream of a compound file ("Workbook", else "Book"), or "".
std::string readStream(const QString& path, std::string* name = nullptr);
std::vector<Record> parse(const std::string& stream);

/// Edits the records of the workbook at path and stores the file again; the
/// sheets' places (BOUNDSHEET) follow the records they pointed at. `biff8`
/// tells the editor the workbook's version.
bool editRecords(const QString& path, const std::function<void(std::vector<Record>&, bool biff8)>& edit);

/// Turns every NUMBER cell whose stored number is a key of `formulas` into a
/// FORMULA cell (same place and cell format) holding that result, followed
/// by its STRING record for a text.
bool putFormulas(const QString& path, const std::map<double, Result>& formulas);

/// What xlrd reads in a workbook's sheet: per row, per column, [type, value]
/// with xlrd's cell types (0 empty, 1 text, 2 number, 3 date as
/// "YYYY-MM-DD HH:MM:SS" and then the stored day count, 4 Boolean, 5 error,
/// 6 blank).
struct XlrdSheet {
    QString error;        ///< xlrd refused the file (or could not be run)
    QStringList sheets;
    QJsonArray rows;
};
XlrdSheet xlrdRead(const QString& path, int sheet = 0);
/// The same for many files, in one run of the interpreter.
std::vector<XlrdSheet> xlrdReadMany(const QStringList& paths, int sheet = 0);
/// Whether the answer says that xlrd (or the interpreter) is missing.
bool xlrdMissing(const XlrdSheet& x);

} // namespace xlsfixture
