// Loading a delimited text file into tblData, without the wizard's window.
//
// The wizard (frmtxtwizard.h) and `qb-bench import` both go through here:
//   buildTextPreview   the sample, its checks, column names and guessed types
//   writeSampleTable   the preview's copy of the sample in tblText_Sample
//   importTextFile     the two passes over the whole file: examine, then load
// The wizard only shows what these return.
#pragma once

#include "exchange/column_type.h"
#include "exchange/date_text.h"
#include "exchange/line_split.h"
#include "exchange/text_lines.h"
#include "exchange/text_sample.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace jet {
class Database;
}

namespace exchange {

/// The wizard's settings as the user sees them: the texts of its boxes.
struct TextChoices {
    QString fieldDelimiter = QStringLiteral(",");
    QString qualifier = QStringLiteral("\"");   ///< "\"", "'" or "none"
    QString dateOrder = QStringLiteral("MDY");
    QString dateDelimiter = QStringLiteral("/");
    QString timeDelimiter = QStringLiteral(":");
    bool firstRowHasNames = false;

    SplitOptions splitOptions() const { return SplitOptions::fromTexts(fieldDelimiter, qualifier); }
    DateSettings dateSettings() const { return DateSettings::fromTexts(dateOrder, dateDelimiter, timeDelimiter); }
};

/// What the preview shows: the sample, one name and one guessed type per column.
struct TextPreview {
    QString error;            ///< "" on success, else the message the wizard shows
    bool badFileName = false; ///< the path was empty or no file
    SampleTable sample;
    QStringList names;
    std::vector<ColumnType> types;
};

/// Reads the sample of the file, checks the delimiter settings, splits the
/// sample, names the columns and guesses their types: the preview's steps in
/// their order, stopping at the first that fails.
TextPreview buildTextPreview(const QString& path, TextEncoding encoding, const TextChoices& choices);

/// Name of the preview's work table.
inline constexpr const char* kSampleTable = "tblText_Sample";

/// Drops and re-creates tblText_Sample with one column per preview column and
/// fills it with the sample rows (the header row left out when the first row
/// holds names). The columns are LONGTEXT so that a value longer than 255
/// characters is shown whole. Returns "" or the message to show:
/// "Could not delete existing data." or the engine's text.
QString writeSampleTable(jet::Database& db, const TextPreview& preview, bool firstRowHasNames);

/// What the import is doing, for the wizard's "please wait" label.
enum class TextImportStage { Examining, Importing };

/// The import's window on the world: the stage, and the progress with the
/// chance to stop. The default does nothing and never stops.
class TextImportObserver {
public:
    virtual ~TextImportObserver() = default;
    virtual void stage(TextImportStage) {}
    /// Called every few thousand lines and at the end of each pass. `done`
    /// counts the bytes read over both passes, `total` is twice the file's
    /// size. Return false to cancel.
    virtual bool progress(qint64 done, qint64 total)
    {
        Q_UNUSED(done);
        Q_UNUSED(total);
        return true;
    }
};

/// Lines read between two progress calls.
inline constexpr int kProgressLineStep = 4096;

struct TextImportRequest {
    QString path;
    TextEncoding encoding = TextEncoding::Utf8;
    TextChoices choices;
    /// The wizard's columns: names and the types to start from (guessed or
    /// picked by the user). The import only lowers a type, never raises it,
    /// and adds a column "Field<n>" for each field beyond them.
    QStringList names;
    std::vector<ColumnType> types;
};

struct TextImportResult {
    enum class Outcome { Done, Cancelled, Failed };
    Outcome outcome = Outcome::Failed;
    QString error;                 ///< the message to show when Failed
    QStringList names;             ///< the columns of the new tblData
    std::vector<ColumnType> types;
    qint64 rows = 0;               ///< records stored
    qint64 nulsDropped = 0;        ///< NUL characters left out of the values
};

/// Reads the file twice, record by record as the preview does (TextRecordReader:
/// a quoted value may hold line breaks; records are trimmed of blanks). The
/// first pass finds every record's fields, adds the columns that records wider
/// than the sample need (Text when no record fills them) and lowers each
/// column's type until all its values fit; then tblData is dropped and created
/// with the final types; the second pass stores every record that has a value
/// to store. Blank lines are skipped; with names in the first row the first
/// record is not stored. NUL characters are dropped from the values and
/// counted.
///
/// The drop, the creation and every insert run in one savepoint: when the
/// import fails or is cancelled, the working database is left as it was before
/// (an earlier tblData included), never with a half-filled tblData.
///
/// Failures: "Number of columns exceeded 250.\r\rImport cannot continue.",
/// "Number of columns do not match examination results.\r\rImport cannot
/// continue." (the file changed between the passes), a text qualifier left
/// open at the end of the file, "Could not delete
/// existing data.", "Cannot access table tblData.", the file's or the engine's
/// own text.
TextImportResult importTextFile(jet::Database& db, const TextImportRequest& request,
                                TextImportObserver& observer);

} // namespace exchange
