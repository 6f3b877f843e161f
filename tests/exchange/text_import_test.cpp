#include "exchange/text_import.h"
#include "exchange/text_records.h"

#include "platform/jet/connection.h"
#include "platform/jet/database.h"
#include "platform/jet/types.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace exchange;
using Outcome = TextImportResult::Outcome;

namespace {

using Row = std::vector<jet::Value>;

jet::Value date(int y, int m, int d, int h = 0, int n = 0)
{
    return jet::Value(jet::toDateTime(jet::DateParts{y, m, d, h, n, 0}));
}

std::string show(const jet::Value& v)
{
    if (v.isNull())
        return "Null";
    if (v.kind() == jet::Kind::Date)
        return "#" + jet::storedDate(v.toDate()).toStdString() + "#";
    return (v.isText() ? "\"" + v.toString().toStdString() + "\"" : v.toString().toStdString());
}

std::string show(const std::vector<Row>& rows)
{
    std::string s;
    for (const Row& r : rows) {
        for (const jet::Value& v : r)
            s += show(v).substr(0, 40) + " | ";
        s += "\n";
    }
    return s;
}

class TextImport : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        db_ = jet::Database::open(dir_.filePath(QStringLiteral("sysfls.sys")), true);
    }

    QString write(const QByteArray& bytes, const QString& name = QStringLiteral("list.csv"))
    {
        const QString path = dir_.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
        return path;
    }

    /// The request the wizard would make for the file with its preview's guesses.
    TextImportRequest request(const QString& path, const TextChoices& choices = withHeader())
    {
        const TextPreview p = buildTextPreview(path, TextEncoding::Utf8, choices);
        EXPECT_EQ(p.error.toStdString(), "");
        return TextImportRequest{path, TextEncoding::Utf8, choices, p.names, p.types};
    }

    static TextChoices withHeader()
    {
        TextChoices c;
        c.firstRowHasNames = true;
        return c;
    }

    TextImportResult run(const TextImportRequest& r)
    {
        TextImportObserver quiet;
        return importTextFile(db_, r, quiet);
    }

    std::vector<std::pair<std::string, int>> layout()
    {
        std::vector<std::pair<std::string, int>> out;
        for (const jet::FieldDef& f : db_.tableDef(QStringLiteral("tblData")).fields)
            out.emplace_back(f.name.toStdString(), f.type);
        return out;
    }

    std::vector<Row> rows()
    {
        std::vector<Row> out;
        auto rs = db_.openRecordset(QStringLiteral("SELECT * FROM tblData"), jet::dbOpenSnapshot);
        for (; !rs->eof(); rs->moveNext()) {
            Row r;
            for (int i = 0; i < rs->fieldCount(); ++i)
                r.push_back(rs->value(i));
            out.push_back(r);
        }
        return out;
    }

    /// An earlier list in tblData, which a failed import must leave alone.
    void earlierList()
    {
        db_.execute(QStringLiteral("CREATE TABLE tblData ([Old] TEXT (255));"));
        db_.execute(QStringLiteral("INSERT INTO tblData ([Old]) VALUES (\"kept\");"));
    }
    void expectEarlierList()
    {
        EXPECT_EQ(layout(), (std::vector<std::pair<std::string, int>>{{"Old", jet::dbText}}));
        EXPECT_EQ(show(rows()), show(std::vector<Row>{{jet::Value("kept")}}));
    }

    QTemporaryDir dir_;
    jet::Database db_;
};

// Records what the import reports and can act at a chosen moment.
struct Recorder : TextImportObserver {
    std::vector<TextImportStage> stages;
    std::vector<std::pair<qint64, qint64>> calls;
    std::function<bool(int call)> answer = [](int) { return true; };
    std::function<void(TextImportStage)> onStage = [](TextImportStage) {};
    void stage(TextImportStage s) override
    {
        stages.push_back(s);
        onStage(s);
    }
    bool progress(qint64 done, qint64 total) override
    {
        calls.emplace_back(done, total);
        return answer(int(calls.size()));
    }
};

} // namespace

TEST_F(TextImport, ContactListLayoutAndRows)
{
    const QByteArray notes(300, 'x');
    const QString path = write("Name,City,Zip,Joined,Amount,Notes\r\n"
                               "\"Smith, John\",\"Boston\",02134,12/31/1999,10.5,\"He said \"\"hi\"\"\"\r\n"
                               "\r\n"
                               "   \r\n"
                               "O'Brien,\"New York\",10001,1/2/03 10:20,\"7\"," + notes + "\r\n"
                               ",,,,,\r\n"
                               "Lee,Paris,75001,,-3,\n"
                               "Short,Rome\r\n");
    const TextImportResult r = run(request(path));
    ASSERT_EQ(r.outcome, Outcome::Done) << r.error.toStdString();
    EXPECT_EQ(r.rows, 4);
    EXPECT_EQ(layout(), (std::vector<std::pair<std::string, int>>{{"Name", jet::dbText},
                                                                  {"City", jet::dbText},
                                                                  {"Zip", jet::dbText},
                                                                  {"Joined", jet::dbDate},
                                                                  {"Amount", jet::dbDouble},
                                                                  {"Notes", jet::dbMemo}}));
    const std::vector<Row> want{
        {jet::Value("Smith, John"), jet::Value("Boston"), jet::Value("02134"), date(1999, 12, 31), jet::Value(10.5),
         jet::Value("He said \"hi\"")},
        {jet::Value("O'Brien"), jet::Value("New York"), jet::Value("10001"), date(2003, 1, 2, 10, 20), jet::Value(7.0),
         jet::Value(QString::fromLatin1(notes))},
        {jet::Value("Lee"), jet::Value("Paris"), jet::Value("75001"), {}, jet::Value(-3.0), {}},
        {jet::Value("Short"), jet::Value("Rome"), {}, {}, {}, {}},
    };
    EXPECT_EQ(show(rows()), show(want));
    EXPECT_EQ(rows(), want);
}

TEST_F(TextImport, WholeFileLowersTypesAndAddsColumnsBeyondTheSample)
{
    // The sample (30 lines) sees only numbers and five columns; the file later
    // has a word in the number column and a line of seven fields.
    QByteArray bytes = "Id,Qty,When,Code,Memo\r\n";
    for (int i = 1; i <= 34; ++i)
        bytes += QByteArray::number(i) + "," + QByteArray::number(i * 2) + ",1/" + QByteArray::number(i % 28 + 1)
                 + "/2001,7,m\r\n";
    bytes += "35,n/a,2/2/2002,7,m\r\n";
    bytes += "36,3,3/3/2003,7,m,12/24/2004,\r\n";
    const TextImportRequest req = request(write(bytes));
    ASSERT_EQ(req.names.size(), 5);
    const TextImportResult r = run(req);
    ASSERT_EQ(r.outcome, Outcome::Done) << r.error.toStdString();
    EXPECT_EQ(r.rows, 36);
    EXPECT_EQ(layout(), (std::vector<std::pair<std::string, int>>{{"Id", jet::dbDouble},
                                                                  {"Qty", jet::dbText},
                                                                  {"When", jet::dbDate},
                                                                  {"Code", jet::dbDouble},
                                                                  {"Memo", jet::dbText},
                                                                  {"Field6", jet::dbDate},
                                                                  {"Field7", jet::dbText}}));   // never filled
    const std::vector<Row> all = rows();
    ASSERT_EQ(all.size(), 36u);
    EXPECT_EQ(all[0][1], jet::Value("2"));   // stored as text once the column became text
    EXPECT_EQ(all[34][1], jet::Value("n/a"));
    EXPECT_EQ(all[0][5], jet::Value());      // shorter lines fill the added columns with Null
    EXPECT_EQ(all[35][5], date(2004, 12, 24));
    EXPECT_EQ(all[35][6], jet::Value());
}

TEST_F(TextImport, ChosenTypesAreStartingPointsNeverRaised)
{
    const QString path = write("A,B,C\r\n12,12,12\r\n3,x,4\r\n");
    struct Case { ColumnType chosen; ColumnType wantB; };
    const Case cases[] = {
        {ColumnType::Memo, ColumnType::Memo},
        {ColumnType::Text, ColumnType::Text},
        {ColumnType::Number, ColumnType::Text},
        {ColumnType::DateTime, ColumnType::Text},
    };
    for (const Case& c : cases) {
        TextImportRequest req = request(path);
        req.types = {c.chosen, c.chosen, ColumnType::Number};
        const TextImportResult r = run(req);
        ASSERT_EQ(r.outcome, Outcome::Done);
        EXPECT_EQ(r.types[1], c.wantB) << typeWord(c.chosen).toStdString();
        // A text start keeps the number as the text it was.
        const jet::Value first = rows()[0][0];
        EXPECT_EQ(first, c.chosen >= ColumnType::Text ? jet::Value("12") : jet::Value(12.0))
            << typeWord(c.chosen).toStdString();
    }
}

TEST_F(TextImport, HeaderOnlyGivesAnEmptyTable)
{
    const TextImportResult r = run(request(write("\r\n  \r\nFirst,Last\r\n\r\n")));
    ASSERT_EQ(r.outcome, Outcome::Done) << r.error.toStdString();
    EXPECT_EQ(layout(), (std::vector<std::pair<std::string, int>>{{"First", jet::dbText}, {"Last", jet::dbText}}));
    EXPECT_TRUE(rows().empty());
}

TEST_F(TextImport, ColumnLimit)
{
    struct Case { int fields; bool accepted; };
    for (const Case c : {Case{250, true}, Case{251, false}}) {
        earlierList();
        QByteArray wide;
        for (int i = 1; i <= c.fields; ++i)
            wide += (i > 1 ? "," : "") + QByteArray::number(i);
        // The sample stays narrow; the wide line comes after it.
        QByteArray bytes;
        for (int i = 0; i < 31; ++i)
            bytes += "a,b\r\n";
        bytes += wide + "\r\n";
        TextChoices noHeader;
        const TextImportResult r = run(request(write(bytes), noHeader));
        if (c.accepted) {
            ASSERT_EQ(r.outcome, Outcome::Done) << r.error.toStdString();
            EXPECT_EQ(layout().size(), 250u);
            EXPECT_EQ(rows().size(), 32u);
        } else {
            EXPECT_EQ(r.outcome, Outcome::Failed);
            EXPECT_EQ(r.error.toStdString(), "Number of columns exceeded 250.\r\rImport cannot continue.");
            expectEarlierList();
        }
        db_.execute(QStringLiteral("DROP TABLE tblData;"));
    }
}

TEST_F(TextImport, FailuresLeaveTheWorkingDatabaseAsItWas)
{
    const QString path = write("Name,Age\r\nAnn,30\r\nBob,41\r\n");

    // The file grows a wider line while the table is being made: the load stops
    // after storing rows, and none of them stays.
    earlierList();
    Recorder grows;
    grows.onStage = [&](TextImportStage s) {
        if (s != TextImportStage::Importing)
            return;
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::Append));
        f.write("Cy,52,extra\r\n");
    };
    TextImportResult r = importTextFile(db_, request(path), grows);
    EXPECT_EQ(r.outcome, Outcome::Failed);
    EXPECT_EQ(r.error.toStdString(), "Number of columns do not match examination results.\r\rImport cannot continue.");
    EXPECT_EQ(r.rows, 0);
    expectEarlierList();

    // A table that is held open cannot be dropped.
    write("Name,Age\r\nAnn,30\r\n");
    db_.connection().holdTable(QStringLiteral("tblData"), 1);
    r = run(request(path));
    db_.connection().holdTable(QStringLiteral("tblData"), -1);
    EXPECT_EQ(r.outcome, Outcome::Failed);
    EXPECT_EQ(r.error.toStdString(), "Could not delete existing data.");
    expectEarlierList();

    // The file is gone by the time the import starts.
    const TextImportRequest req = request(path);
    QFile::remove(path);
    r = run(req);
    EXPECT_EQ(r.outcome, Outcome::Failed);
    EXPECT_FALSE(r.error.isEmpty());
    expectEarlierList();
}

TEST_F(TextImport, ProgressCoversBothPassesAndCancelUndoesEverything)
{
    QByteArray bytes = "Name,Number\r\n";
    for (int i = 0; i < 3 * kProgressLineStep; ++i)
        bytes += "N" + QByteArray::number(i) + "," + QByteArray::number(i) + "\r\n";
    const QString path = write(bytes);

    Recorder all;
    TextImportResult r = importTextFile(db_, request(path), all);
    ASSERT_EQ(r.outcome, Outcome::Done);
    EXPECT_EQ(all.stages, (std::vector<TextImportStage>{TextImportStage::Examining, TextImportStage::Importing}));
    ASSERT_GE(all.calls.size(), 6u);
    for (size_t i = 1; i < all.calls.size(); ++i)
        EXPECT_LE(all.calls[i - 1].first, all.calls[i].first);
    EXPECT_EQ(all.calls.back(), std::make_pair(2 * qint64(bytes.size()), 2 * qint64(bytes.size())));

    // Cancel in the middle of the load.
    db_.execute(QStringLiteral("DROP TABLE tblData;"));
    earlierList();
    Recorder stop;
    stop.answer = [&](int) { return stop.stages.size() < 2 || stop.calls.size() < all.calls.size() - 1; };
    r = importTextFile(db_, request(path), stop);
    EXPECT_EQ(r.outcome, Outcome::Cancelled);
    EXPECT_EQ(r.error, QString());
    expectEarlierList();
}

TEST_F(TextImport, SampleTableKeepsLongValues)
{
    const QString longText(400, QLatin1Char('y'));
    const QString path = write("Name,Note\r\nAnn," + longText.toLatin1() + "\r\nBob,\r\n");
    for (const bool header : {true, false}) {
        TextChoices c;
        c.firstRowHasNames = header;
        const TextPreview p = buildTextPreview(path, TextEncoding::Utf8, c);
        ASSERT_EQ(writeSampleTable(db_, p, header), QString());
        auto rs = db_.openRecordset(QStringLiteral("SELECT * FROM tblText_Sample"), jet::dbOpenSnapshot);
        ASSERT_EQ(rs->fieldCount(), 2);
        EXPECT_EQ(rs->field(0).name, header ? QStringLiteral("Name") : QStringLiteral("Field1"));
        std::vector<QString> notes;
        for (; !rs->eof(); rs->moveNext())
            notes.push_back(rs->value(1).toString());
        const std::vector<QString> want = header ? std::vector<QString>{longText, QString()}
                                                 : std::vector<QString>{QStringLiteral("Note"), longText, QString()};
        EXPECT_EQ(notes, want);
    }
}

// What the preview shows is what the import stores, record for record: quoted
// values that hold line breaks of each kind, quoted delimiters and qualifiers,
// indented lines with the Space delimiter, and a column with no values.
TEST_F(TextImport, PreviewAndImportReadTheSameRecords)
{
    using T = ColumnType;
    struct Case {
        const char* what;
        QByteArray bytes;
        const char* delimiter;
        std::vector<QStringList> records;   ///< data records, field by field ("" for empty)
        std::vector<T> types;
    };
    const Case cases[] = {
        {"CR LF in quotes", "Name,Note\r\nAnn,\"line one\r\nline two\"\r\nBob,x\r\n", ",",
         {{"Ann", "line one\r\nline two"}, {"Bob", "x"}}, {T::Text, T::Text}},
        {"LF in quotes", "Name,Note\nAnn,\"a\nb\",\nBob,c\n", ",", {{"Ann", "a\nb", ""}, {"Bob", "c", ""}},
         {T::Text, T::Text, T::Text}},
        {"CR in quotes", "Name,Note\rAnn,\"a\rb\"\rBob,c", ",", {{"Ann", "a\rb"}, {"Bob", "c"}}, {T::Text, T::Text}},
        {"blank line in quotes", "Name,Note\r\n\"Ann\",\"one\r\n\r\n  three  \"\r\n", ",",
         {{"Ann", "one\r\n\r\n  three  "}}, {T::Text, T::Text}},
        {"quoted comma", "Name,City\r\n\"Smith, John\",Boston\r\nLee,\"Paris, TX\"\r\n", ",",
         {{"Smith, John", "Boston"}, {"Lee", "Paris, TX"}}, {T::Text, T::Text}},
        {"doubled quote", "Name,Qty\r\n\"Say \"\"Hi\"\"\",3\r\n\"\"\"\",4\r\n", ",",
         {{"Say \"Hi\"", "3"}, {"\"", "4"}}, {T::Text, T::Number}},
        {"indented, Space", "Name Age\r\n  Ann 30\r\n\tBob 41\r\n   Cy 7   \r\n", " ",
         {{"Ann", "30"}, {"\tBob", "41"}, {"Cy", "7"}}, {T::Text, T::Number}},
        {"all-empty column", "Name,Fax,Zip\r\nAnn,,02134\r\nBob,,\r\n", ",", {{"Ann", "", "02134"}, {"Bob", "", ""}},
         {T::Text, T::Text, T::Text}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TextChoices choices = withHeader();
        choices.fieldDelimiter = QString::fromLatin1(c.delimiter);
        const QString path = write(c.bytes);
        const TextPreview p = buildTextPreview(path, TextEncoding::Utf8, choices);
        ASSERT_EQ(p.error.toStdString(), "");
        ASSERT_EQ(p.sample.rows.size(), qsizetype(c.records.size()) + 1);
        for (size_t r = 0; r < c.records.size(); ++r)
            EXPECT_EQ(p.sample.rows[qsizetype(r) + 1], c.records[r]) << "preview record " << r;
        EXPECT_EQ(p.types, c.types);

        const TextImportResult result = run(TextImportRequest{path, TextEncoding::Utf8, choices, p.names, p.types});
        ASSERT_EQ(result.outcome, Outcome::Done) << result.error.toStdString();
        EXPECT_EQ(result.types, c.types);
        const std::vector<Row> stored = rows();
        ASSERT_EQ(stored.size(), c.records.size()) << show(stored);
        for (size_t r = 0; r < stored.size(); ++r) {
            ASSERT_EQ(stored[r].size(), size_t(c.records[r].size())) << show(stored);
            for (size_t k = 0; k < stored[r].size(); ++k) {
                const QString want = c.records[r][qsizetype(k)];
                EXPECT_EQ(show(stored[r][k]), want.isEmpty() ? std::string("Null")
                                              : c.types[k] == T::Number ? want.toStdString()
                                                                        : "\"" + want.toStdString() + "\"")
                    << "record " << r << " field " << k;
            }
        }
    }
}

// A qualifier that is never closed would take the rest of the file into one
// value: the preview and the import both stop with the line it opened on.
TEST_F(TextImport, UnclosedQualifierStopsPreviewAndImport)
{
    earlierList();
    const QString path = write("Name,Note\r\nAnn,ok\r\nBob,\"open\r\nCy,x\r\nDee,y\r\n");
    const TextPreview p = buildTextPreview(path, TextEncoding::Utf8, withHeader());
    EXPECT_EQ(p.error, unclosedQualifierMessage(3));
    EXPECT_EQ(p.error, QStringLiteral("The text qualifier opened on line 3 is not closed before the end of the file.  "
                                      "Choose another Text Qualifier or correct the file."));

    // The file spoilt after a good preview: the import's own reading stops.
    const TextImportResult r = run(TextImportRequest{path, TextEncoding::Utf8, withHeader(),
                                                     {QStringLiteral("Name"), QStringLiteral("Note")},
                                                     {ColumnType::Text, ColumnType::Text}});
    EXPECT_EQ(r.outcome, Outcome::Failed);
    EXPECT_EQ(r.error, unclosedQualifierMessage(3) + QStringLiteral("\r\rImport cannot continue."));
    expectEarlierList();

    // With no qualifier the same file is five plain records.
    TextChoices none = withHeader();
    none.qualifier = QStringLiteral("none");
    const TextPreview plain = buildTextPreview(path, TextEncoding::Utf8, none);
    EXPECT_EQ(plain.error.toStdString(), "");
    EXPECT_EQ(plain.sample.rows.value(2), (QStringList{"Bob", "\"open"}));
}

// A UTF-16 file whose program wrote two byte-order marks and NULs in a value:
// read as UTF-16, the first name clean, the NULs left out and counted.
TEST_F(TextImport, EncodingMarksAndNulCharacters)
{
    QStringEncoder enc(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
    QByteArray bytes = enc.encode(QStringLiteral("\uFEFFName,City\r\nZoë,Αθήνα\r\nA"));
    bytes += QByteArray("\0\0\0\0", 4);   // two NUL characters in UTF-16
    bytes += enc.encode(QStringLiteral("nn,Łódź\r\n"));
    const QString path = write(bytes);
    const auto encoding = detectTextEncoding(path);
    ASSERT_EQ(encoding, TextEncoding::Utf16LE);
    const TextPreview p = buildTextPreview(path, *encoding, withHeader());
    ASSERT_EQ(p.error.toStdString(), "");
    EXPECT_EQ(p.names, (QStringList{"Name", "City"}));
    const TextImportResult r = run(TextImportRequest{path, *encoding, withHeader(), p.names, p.types});
    ASSERT_EQ(r.outcome, Outcome::Done) << r.error.toStdString();
    EXPECT_EQ(r.nulsDropped, 2);
    EXPECT_EQ(show(rows()), show(std::vector<Row>{{jet::Value(QStringLiteral("Zoë")), jet::Value(QStringLiteral("Αθήνα"))},
                                                 {jet::Value("Ann"), jet::Value(QStringLiteral("Łódź"))}}));
    // The list opens by its names: the engine finds the first column.
    EXPECT_NO_THROW(db_.openRecordset(QStringLiteral("SELECT [Name] FROM tblData"), jet::dbOpenSnapshot));
}

// UTF-16 files can hold half a surrogate pair, which no UTF-8 file can. Such
// a value comes in character for character, also when it starts with U+FEFF
// or U+FFFE (which the engine would take for a byte-order mark if the text
// reached it as UTF-16) and when the half sits inside the value.
TEST_F(TextImport, HalfASurrogatePairComesInAsItIs)
{
    const QString names = QStringLiteral("Name,City\r\n");
    const std::vector<QStringList> values = {
        {QStringLiteral("\uFFFEswap then half ") + QChar(0xD83D), QStringLiteral("\uFEFFmark then half ") + QChar(0xD83D)},
        {QStringLiteral("half ") + QChar(0xD83D) + QStringLiteral(" inside"), QChar(0xDE00) + QStringLiteral(" low half first")},
        {QStringLiteral("\uFEFFa pair \U0001F600 whole"), QStringLiteral("\uFFFE")},
    };
    QString text = names;
    for (const QStringList& r : values)
        text += r.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    for (const bool bigEndian : {false, true}) {
        // Written unit by unit: an encoder would not keep a lone half.
        QByteArray bytes;
        for (const QChar c : QStringLiteral("\uFEFF") + text) {
            const char hi = char(c.unicode() >> 8), lo = char(c.unicode() & 0xFF);
            bytes += bigEndian ? QByteArray{} + hi + lo : QByteArray{} + lo + hi;
        }
        const QString path = write(bytes);
        const auto encoding = detectTextEncoding(path);
        ASSERT_EQ(encoding, bigEndian ? TextEncoding::Utf16BE : TextEncoding::Utf16LE);
        const TextPreview p = buildTextPreview(path, *encoding, withHeader());
        ASSERT_EQ(p.error.toStdString(), "");
        const TextImportResult r = run(TextImportRequest{path, *encoding, withHeader(), p.names, p.types});
        ASSERT_EQ(r.outcome, Outcome::Done) << r.error.toStdString();
        const std::vector<Row> got = rows();
        ASSERT_EQ(got.size(), values.size());
        for (size_t i = 0; i < values.size(); ++i)
            for (int c = 0; c < 2; ++c)
                EXPECT_EQ(got[i][size_t(c)].toString().toStdU16String(), values[i][c].toStdU16String())
                    << (bigEndian ? "big-endian" : "little-endian") << " row " << i << " column " << c;
    }
}

// A qualifier opened near the top of a long file and never closed: the reading
// looks at each later line once, so the message comes in a moment.
TEST_F(TextImport, UnclosedQualifierInALongFileEndsQuickly)
{
    QByteArray bytes = "Name,Note\r\nAnn,\"open\r\n";
    for (int i = 0; i < 200000; ++i)
        bytes += "Bob,plain text of a line\r\n";
    const QString path = write(bytes);
    const TextPreview p = buildTextPreview(path, TextEncoding::Utf8, withHeader());
    EXPECT_EQ(p.error, unclosedQualifierMessage(2));
}

// Many batches of the loading pass: every record lands in its order, with its
// own values; a record without any value is left out; text beyond the basic
// plane comes out whole, and so does a long value past the sample (its column
// becomes Memo).
TEST_F(TextImport, LongFileKeepsEveryRecordInOrderWithItsValues)
{
    const QString smile = QStringLiteral("\U0001F600");
    const QString longNote = QString(254, QLatin1Char('x')) + smile + QStringLiteral("tail");
    QByteArray bytes = "Name,Note,Amount\r\n";
    std::vector<Row> expected;
    const int count = 3 * kProgressLineStep + 17;
    for (int i = 0; i < count; ++i) {
        if (i % 1000 == 999) {
            bytes += ",,\r\n";
            continue;
        }
        QString note;
        if (i == 5000)
            note = longNote;
        else if (i % 3 == 0)
            note = QStringLiteral("Ünïcode %1 %2").arg(smile).arg(i);
        else
            note = QStringLiteral("plain %1").arg(i);
        bytes += QStringLiteral("n%1,%2,%3\r\n").arg(i).arg(note).arg(i).toUtf8();
        expected.push_back({jet::Value(QStringLiteral("n%1").arg(i)),
                            jet::Value(note), jet::Value(double(i))});
    }
    const TextImportRequest req = request(write(bytes));
    ASSERT_EQ(req.types.size(), 3u);
    ASSERT_EQ(req.types[2], ColumnType::Number);
    const TextImportResult r = run(req);
    ASSERT_EQ(r.outcome, Outcome::Done) << r.error.toStdString();
    EXPECT_EQ(r.rows, qint64(expected.size()));
    const std::vector<Row> got = rows();
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); ++i) {
        ASSERT_EQ(show({got[i]}), show({expected[i]})) << "row " << i;
        ASSERT_EQ(got[i][1].toString(), expected[i][1].toString()) << "row " << i;
    }
}

// A U+FEFF is a mark of the file only at its very start: at the start of a
// value further down, or inside one, it is part of the value and comes in.
TEST_F(TextImport, AMarkAtTheStartOfAValueIsKept)
{
    const QString text = QStringLiteral("Name,City\r\n\uFEFFZoë,x\uFEFF\r\nAnn,\uFEFFŁódź\r\n\"\uFEFFq\",w\r\n");
    const struct {
        const char* what;
        QStringConverter::Encoding enc;
        bool bom;
    } cases[] = {{"UTF-8", QStringConverter::Utf8, false},
                 {"UTF-8 with its mark", QStringConverter::Utf8, true},
                 {"UTF-16", QStringConverter::Utf16LE, true},
                 {"UTF-32", QStringConverter::Utf32BE, true}};
    for (const auto& c : cases) {
        QStringEncoder enc(c.enc, c.bom ? QStringConverter::Flag::WriteBom : QStringConverter::Flag::Default);
        const QString path = write(enc.encode(text));
        const auto encoding = detectTextEncoding(path);
        ASSERT_TRUE(encoding) << c.what;
        const TextPreview p = buildTextPreview(path, *encoding, withHeader());
        ASSERT_EQ(p.error.toStdString(), "") << c.what;
        EXPECT_EQ(p.names, (QStringList{"Name", "City"})) << c.what;
        const TextImportResult r = run(TextImportRequest{path, *encoding, withHeader(), p.names, p.types});
        ASSERT_EQ(r.outcome, Outcome::Done) << c.what << ": " << r.error.toStdString();
        EXPECT_EQ(show(rows()),
                  show(std::vector<Row>{{jet::Value(QStringLiteral("\uFEFFZoë")), jet::Value(QStringLiteral("x\uFEFF"))},
                                        {jet::Value("Ann"), jet::Value(QStringLiteral("\uFEFFŁódź"))},
                                        {jet::Value(QStringLiteral("\uFEFFq")), jet::Value("w")}}))
            << c.what;
    }
}
