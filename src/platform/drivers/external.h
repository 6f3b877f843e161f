// Other databases named inside the engine's SQL: "[TEXT;Database=folder].[file.txt]",
// "[Excel 8.0;Database=F].[Sheet1$]", "[HTML Export;Database=F].[name]",
// "[;database=F].[table]" or a bare "[F].[table]". A specifier is parsed once
// and handed to the driver registered for its kind; each driver reads a table
// as columns and rows, or writes one from columns and rows.
#pragma once

#include "platform/jet/types.h"
#include "platform/jet/value.h"

#include <QHash>
#include <QString>
#include <QStringView>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace drivers {

struct Spec {
    QString kind;       ///< "" (a database of the engine's own or an Access .mdb file), "TEXT", "EXCEL 8.0", "EXCEL 5.0", "HTML EXPORT", ...
    QString database;   ///< the file or folder
    QHash<QString, QString> options;   ///< upper-case keys: HDR, IMEX, ...
};

/// Parses the text between the first brackets. Throws jet::JetError on nonsense.
Spec parseSpec(const QString& bracketText);

/// One value of a row as a reader holds it, without a copy: what next()
/// would give, with text as a view of the reader's own storage (UTF-16, or
/// UTF-8 from a reader that holds it so). Valid until the reader's next call.
struct CellView {
    enum class Kind : std::uint8_t { Null, Bool, Long, Double, Date, Utf16, Utf8, Currency };
    Kind kind = Kind::Null;
    qint64 i = 0;             ///< Bool (1 or 0), Long, Currency (its count of ten-thousandths)
    double d = 0;             ///< Double, Date (the day serial)
    const void* p = nullptr;  ///< text: its first code unit
    qsizetype n = 0;          ///< text: its length in code units

    QStringView utf16() const { return QStringView(static_cast<const char16_t*>(p), n); }
    /// The value next() would have given.
    jet::Value value() const;
};

/// Rows of an external table, read one at a time.
class RowReader {
public:
    virtual ~RowReader() = default;
    virtual const jet::ColumnList& columns() const = 0;
    /// Fills row (one value per column); false at the end.
    virtual bool next(std::vector<jet::Value>& row) = 0;
    /// The same rows as views (one per column), for those who copy the
    /// values on at once; mixing next() and nextView() reads on from where
    /// the other stopped. This default goes through next().
    virtual bool nextView(std::vector<CellView>& row);
    /// Cells the file holds no value for that the reader hands out as Null
    /// all the same (a worksheet formula whose result is an error); known
    /// once the columns are.
    virtual long long emptiedCells() const { return 0; }

private:
    std::vector<jet::Value> viewed_;   ///< the row the default nextView() shows
};

/// The view of a value (its text seen in place).
void viewOf(const jet::Value& v, CellView& c);

/// Supplies rows to a writer: fills row and returns true, or false at the end.
using RowSource = std::function<bool(std::vector<jet::Value>& row)>;

class Driver {
public:
    virtual ~Driver() = default;
    virtual std::unique_ptr<RowReader> read(const Spec& spec, const QString& table) = 0;
    virtual void write(const Spec& spec, const QString& table, const jet::ColumnList& columns, const RowSource& rows) = 0;
    /// The tables a database of this kind holds (for choosers); may be empty.
    virtual QStringList tables(const Spec&) { return {}; }
};

/// Registers the driver for a kind (upper case, "" for the engine's own files).
void registerDriver(const QString& kind, std::shared_ptr<Driver> driver);
/// The driver for a spec; throws jet::JetError "Could not find installable ISAM." when none.
Driver& driverFor(const Spec& spec);

} // namespace drivers
