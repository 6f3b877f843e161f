// Reads Excel 5.0/95 (BIFF5) and 97-2003 (BIFF8) workbooks as tables of the
// engine's values. Opening checks the whole file's structure (xls_check.h)
// before a value is taken from it; the sheets are then read from their
// records (xls_biff.h). Older versions and password-protected workbooks are
// refused with the reason.
#pragma once

#include "platform/drivers/external.h"
#include "platform/jet/types.h"
#include "platform/jet/value.h"

#include <QFile>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

namespace drivers {

class XlsBiff;

/// How a sheet becomes a table.
struct XlsReadOptions {
    /// HDR=YES: the first row gives the column names. Otherwise the names are
    /// F1, F2, ... and the first row is data.
    bool firstRowHasNames = true;
    /// IMEX=1: a column holding more than one kind of value (numbers, dates,
    /// text) comes in as text. Otherwise it takes the kind most of its cells
    /// have, and the other cells are Null.
    bool mixedAsText = true;
    /// Most data rows to read (TOP n); negative for all.
    long long maxRows = -1;
};

struct XlsTable {
    jet::ColumnList columns;
    std::vector<std::vector<jet::Value>> rows;
    /// Cells of the rows read whose formula's last result was an error
    /// value (#N/A, #DIV/0! and the like): they came in as Null.
    long long formulaErrors = 0;
};

/// The formula errors (XlsTable::formulaErrors) of the sheets the engine's
/// Excel driver has read on this thread since the last call; the count
/// starts again at 0.
long long takeExcelFormulaErrors();

/// Receives one data row; returns false to stop reading.
using XlsRowSink = std::function<bool(std::vector<jet::Value>& row)>;

/// A sheet whose columns are known (from every data row to be read), handing
/// out its rows one at a time.
class XlsSheetRows {
public:
    XlsSheetRows();
    ~XlsSheetRows();
    XlsSheetRows(XlsSheetRows&&) noexcept;
    XlsSheetRows& operator=(XlsSheetRows&&) noexcept;

    const jet::ColumnList& columns() const;
    /// Cells of the rows to be read whose formula ended in an error (see XlsTable).
    long long formulaErrors() const;
    /// The next data row; false at the end.
    bool next(std::vector<jet::Value>& row);
    /// The same, its texts seen in the sheet's own storage (until the next call).
    bool nextView(std::vector<CellView>& row);

    struct State;

private:
    friend class XlsWorkbook;
    std::unique_ptr<State> s_;
};

/// An open workbook. Opening reads the file's workbook stream and its globals
/// (sheet list, shared texts, cell formats); reading a sheet walks its
/// records twice, once to decide the column types and once to hand out the
/// rows. A sheet whose cells are not stored row by row, each once, is read
/// into memory on the first walk instead.
class XlsWorkbook {
public:
    XlsWorkbook();
    ~XlsWorkbook();
    XlsWorkbook(const XlsWorkbook&) = delete;
    XlsWorkbook& operator=(const XlsWorkbook&) = delete;

    /// Opens path; false with a reason in `error` when it is missing, not an
    /// Excel 5.0 or later workbook, damaged, without a readable sheet list or
    /// password protected.
    bool open(const QString& path, QString* error = nullptr);
    void close();
    bool isOpen() const { return book_ != nullptr; }

    /// The sheets' own names, in workbook order.
    QStringList sheetNames() const { return sheets_; }
    /// The sheets as the engine's catalogue lists them: the name with "$"
    /// appended, a "." standing as "#", and the whole in single quotes
    /// (inner quotes doubled) when the name holds anything but letters, digits
    /// and "_" ("Sales$", "'My Sheet$'"). Only sheets appear: defined names
    /// (print areas, "_FilterDatabase" ranges and the like) are not listed.
    QStringList catalogNames() const;
    /// The sheet that a table reference names ("Sheet1$", "'My Sheet$'",
    /// "My Sheet", "a#b$" for "a.b"; letter case ignored), or -1.
    int findSheet(const QString& reference) const;

    /// 1900 or 1904: the workbook's day count (dates are converted with it).
    int dateMode() const { return dateMode_; }
    /// 5 or 8.
    int biffVersion() const { return biffVersion_; }

    /// Reads a sheet's cells and decides its columns; its rows then come
    /// from `rows`.
    bool openSheet(int index, const XlsReadOptions& options, XlsSheetRows& rows, QString* error = nullptr);
    /// Reads a sheet: columns first, then every row through `sink`.
    bool readSheet(int index, const XlsReadOptions& options, jet::ColumnList& columns, const XlsRowSink& sink,
                   QString* error = nullptr);
    /// Reads a sheet into memory.
    bool readSheet(int index, const XlsReadOptions& options, XlsTable& table, QString* error = nullptr);
    /// Reads the sheet a reference names; an unknown name is an error.
    bool readSheet(const QString& reference, const XlsReadOptions& options, XlsTable& table,
                   QString* error = nullptr);

    /// The formula errors among the rows of the last readSheet (see XlsTable).
    long long formulaErrors() const { return formulaErrors_; }

private:
    /// The workbook stream's records; it keeps the file's mapping it may
    /// read from, and lives on in the rows of a sheet being read.
    std::shared_ptr<const XlsBiff> book_;
    QString path_;
    QStringList sheets_;
    int dateMode_ = 1900;
    int biffVersion_ = 8;
    long long formulaErrors_ = 0;
};

} // namespace drivers
