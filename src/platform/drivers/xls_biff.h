// The records of an Excel 5.0/95 (BIFF5) or 97-2003 (BIFF8) workbook stream,
// read as the cells they store: the workbook's globals (sheet list, day
// count, code page, shared texts, cell formats) once, then one sheet at a
// time. Every length is checked before it is followed; a record that does
// not hold what it claims ends the reading with the reason.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <QStringView>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace drivers {

/// One cell as a reader of its records sees it.
struct XlsCell {
    enum class Kind : std::uint8_t {
        Empty,          ///< no value (blank, an empty text)
        Number,         ///< `number` (also a date-formatted number the engine cannot hold as a date)
        Date,           ///< `number` is the engine's day serial
        Boolean,        ///< `number` is 1 (true) or 0 (false)
        Text,           ///< texts[`text`]
        Error,          ///< an error value typed into the cell (#N/A and the like)
        FormulaError,   ///< a formula whose last result was an error value
    };
    Kind kind = Kind::Empty;
    bool ownText = false;     ///< Text: `text` is the sheet's own, not a shared one
    std::int32_t text = -1;
    double number = 0;
};

/// Frees what XlsChars holds: a mapping of `bytes`, or the heap's (0).
struct XlsCharsFree {
    std::size_t bytes = 0;
    void operator()(char16_t* p) const;
};

/// Characters end to end; the room it grows by is not cleared first.
class XlsChars {
public:
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    const char16_t* data() const { return buf_.get(); }
    void clear() { size_ = 0; }
    void reserve(std::size_t n)
    {
        if (n > cap_)
            regrow(n);
    }
    /// Room for n more characters, which grew(n) then keeps.
    char16_t* room(std::size_t n)
    {
        if (size_ + n > cap_)
            regrow(std::max(cap_ * 2, size_ + n));
        return buf_.get() + size_;
    }
    void grew(std::size_t n) { size_ += n; }
    void append(const char16_t* p, std::size_t n)
    {
        if (n == 0)
            return;
        std::copy_n(p, n, room(n));
        size_ += n;
    }

private:
    void regrow(std::size_t n);
    std::unique_ptr<char16_t[], XlsCharsFree> buf_;
    std::size_t size_ = 0, cap_ = 0;
};

/// Texts kept end to end in one buffer, each found by its number.
struct XlsTextPool {
    XlsChars chars;
    struct Span {
        std::uint64_t at;
        std::uint32_t size;
    };
    std::vector<Span> spans;

    std::size_t count() const { return spans.size(); }
    void clear()
    {
        chars.clear();
        spans.clear();
    }
    QStringView at(std::size_t k) const
    {
        return k < spans.size() ? QStringView(chars.data() + spans[k].at, qsizetype(spans[k].size)) : QStringView();
    }
    std::int32_t add(QStringView t)
    {
        spans.push_back(Span{chars.size(), std::uint32_t(t.size())});
        chars.append(t.utf16(), std::size_t(t.size()));
        return std::int32_t(spans.size() - 1);
    }
};

/// The cells of one sheet: `rows` as the sheet declares its area (or as far
/// as its cells reach when it declares none); `columns` up to the last column
/// that holds a value. The declared area is only the bound the cells must
/// keep to: other writers declare 256 columns whatever they use.
struct XlsSheetCells {
    unsigned rows = 0;
    unsigned columns = 0;
    std::vector<std::vector<XlsCell>> cells;   ///< by row; a row may be shorter than `columns`
    std::shared_ptr<const XlsTextPool> shared;  ///< the workbook's shared texts (BIFF8)
    XlsTextPool own;                            ///< texts stored in the sheet's own records

    const XlsCell* at(unsigned row, unsigned column) const
    {
        if (row >= cells.size() || column >= cells[row].size())
            return nullptr;
        return &cells[row][column];
    }
    QStringView textOf(const XlsCell& c) const
    {
        if (c.text < 0)
            return {};
        if (c.ownText)
            return own.at(std::size_t(c.text));
        return shared ? shared->at(std::size_t(c.text)) : QStringView();
    }
};

/// Where a walk through a sheet's records stands.
struct XlsSheetWalk {
    qsizetype next = -1;   ///< the record to read next
    int depth = 0;         ///< BOFs open (2 and more: a chart inside the sheet)
    bool ended = false;    ///< the sheet's EOF has been read
    bool haveArea = false; ///< the sheet declared its area (DIMENSIONS)
    std::uint32_t areaRows = 0;
    unsigned areaColumns = 0;
    bool sawCell = false;         ///< a cell has been handed out
    bool areaAfterCells = false;  ///< the area was declared after a cell
};

/// Receives a cell as its record gives it. A text of the record's own
/// (ownText) is in `text`, valid during the call; a shared text is numbered.
/// A cell given again replaces the earlier one.
using XlsCellSink = std::function<void(unsigned row, unsigned col, const XlsCell& cell, QStringView text)>;

/// The globals of a workbook stream.
class XlsBiff {
public:
    /// Reads the globals of a stream that xlsDamage (xls_check.h) has
    /// passed; false with the reason in `why` (a phrase such as "the
    /// workbook's sheet list cannot be read") when the stream is not one this
    /// reader takes or does not hold together.
    bool open(QByteArray stream, QString* why);

    int version() const { return version_; }        ///< 5 or 8
    int dateMode() const { return dateMode_; }      ///< 1900 or 1904
    bool encrypted() const { return encrypted_; }   ///< protected by a password (FILEPASS)
    /// The worksheets, in workbook order (charts and macro sheets are left out).
    const QStringList& sheetNames() const { return names_; }

    /// Reads every cell of worksheet `index`; false with the reason when its
    /// records do not hold together.
    bool readSheet(int index, XlsSheetCells& out, QString* why) const;

    /// Places `w` at the start of worksheet `index`.
    bool startSheet(int index, XlsSheetWalk& w, QString* why) const;
    /// Reads the sheet's records on from `w`, each cell to `sink`, up to its
    /// EOF or to just before the first cell of a row past `lastRow`; false
    /// with the reason when they do not hold together. Walking a sheet in
    /// parts gives the cells that one walk gives.
    bool walkSheet(XlsSheetWalk& w, unsigned lastRow, const XlsCellSink& sink, QString* why) const;
    /// The shared texts that cells number.
    std::shared_ptr<const XlsTextPool> sharedTexts() const;

private:
    QString decode(const char* bytes, qsizetype length) const;

    QByteArray s_;
    int version_ = 8;
    int dateMode_ = 1900;
    int codepage_ = 1252;
    bool encrypted_ = false;
    QStringList names_;
    std::vector<std::uint32_t> offsets_;
    /// The shared texts (BIFF8), read when a sheet is first read.
    void readShared() const;
    qsizetype sstAt_ = -1;            ///< the SST record's place in the stream
    mutable std::shared_ptr<XlsTextPool> shared_;
    std::vector<bool> dateXf_;        ///< by cell format: whether it shows a date or time
};

/// Whether a number format code shows a date or a time ("dd/mm/yyyy",
/// "[h]:mm", "mmm-yy"; not "0.00", "#,##0", "General" or "@").
bool xlsIsDateFormat(const QString& code);

/// A day count as a sheet of that day count (1900 or 1904) stores it, as the
/// engine's day serial; nullopt when it falls outside the years 100 to 9999.
std::optional<double> xlsEngineSerial(double stored, int dateMode);

} // namespace drivers
