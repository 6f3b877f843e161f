#include "exchange/frmtxtwizard.h"

#include "app/mdimain.h"
#include "workbench/frmdataform.h"

#include "common/general.h"
#include "platform/jet/database.h"
#include "platform/jet/types.h"
#include "platform/ui/job.h"
#include "platform/ui/scripted.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

const QByteArray kList = "Name,City,Zip,Joined,Amount\r\n"
                         "\"Smith, John\",Boston,02134,12/31/1999,10.5\r\n"
                         "\r\n"
                         "\"Say \"\"Hi\"\"\",\"New York\",10001,1/2/03,7\r\n"
                         "Lee,Paris,75001,,-3\r\n";

class Wizard : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        general::setProgramFolder(dir_.path());
        general::gstrWorkDBPath = dir_.filePath(QStringLiteral("sysfls.sys"));
        jet::Database::open(general::gstrWorkDBPath, true).close();
        QDir(dir_.path()).mkpath(QStringLiteral("Settings"));
        general::gstrSourceFile = write(kList);
    }
    void TearDown() override
    {
        w_.reset();
        if (frmdataform::loaded()) {
            general::gblnNewImport = true;   // no export question
            frmdataform::unload();
        }
        delete MDIMain::loaded();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        general::gintFileOpen = 0;
        general::setProgramFolder(QString());
        general::gstrSourceFile.clear();
    }

    QString write(const QByteArray& bytes)
    {
        const QString path = dir_.filePath(QStringLiteral("list.csv"));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
        return path;
    }

    void load() { w_ = std::make_unique<frmtxtWizard>(); }

    template <typename T>
    T* c(const char* name)
    {
        T* w = w_->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QAbstractItemModel* grid() { return c<QTableView>("DBGrid1")->model(); }
    QStringList gridHeads()
    {
        QStringList h;
        for (int i = 0; i < grid()->columnCount(); ++i)
            h << grid()->headerData(i, Qt::Horizontal).toString();
        return h;
    }
    QStringList names()
    {
        QStringList n;
        for (int i = 0; i < c<QComboBox>("cmbFieldName")->count(); ++i)
            n << c<QComboBox>("cmbFieldName")->itemText(i);
        return n;
    }
    /// Picks a column by its grid heading; returns the type the type box shows.
    QString typeOf(int column)
    {
        c<QTableView>("DBGrid1")->horizontalHeader()->sectionClicked(column);
        return c<QComboBox>("cmbFieldType")->currentText();
    }
    void pickType(const QString& word)
    {
        QComboBox* t = c<QComboBox>("cmbFieldType");
        t->setCurrentText(word);
        emit t->activated(t->currentIndex());
    }
    void setFirstRow() { c<QCheckBox>("chkFirstRow")->click(); }

    std::vector<std::pair<std::string, int>> layout()
    {
        jet::Database db = jet::Database::open(general::gstrWorkDBPath);
        std::vector<std::pair<std::string, int>> out;
        if (!db.hasTable(QStringLiteral("tblData")))
            return out;
        for (const jet::FieldDef& f : db.tableDef(QStringLiteral("tblData")).fields)
            out.emplace_back(f.name.toStdString(), f.type);
        return out;
    }
    QStringList column(const QString& name)
    {
        jet::Database db = jet::Database::open(general::gstrWorkDBPath);
        auto rs = db.openRecordset(QStringLiteral("SELECT [%1] FROM tblData").arg(name), jet::dbOpenSnapshot);
        QStringList out;
        for (; !rs->eof(); rs->moveNext())
            out << rs->value(0).toString();
        return out;
    }

    void expectControlsRestored()
    {
        for (const char* n : {"cmdImport", "frDelim", "frOptions", "frFormat", "chkFirstRow", "cmbTextQ", "DBGrid1"})
            EXPECT_TRUE(c<QWidget>(n)->isEnabled()) << n;
        EXPECT_TRUE(c<QLabel>("lblwait")->isHidden());
        EXPECT_TRUE(c<QProgressBar>("PB")->isHidden());
    }

    QTemporaryDir dir_;
    ui::ScriptedHandler ui_{[](const QString& m) { ADD_FAILURE() << m.toStdString(); }};
    std::unique_ptr<frmtxtWizard> w_;
};

/// The workbench is open on the imported list.
bool opened() { return frmdataform::loaded() != nullptr; }

} // namespace

TEST_F(Wizard, LoadsWithItsDefaultsAndAPreview)
{
    load();
    EXPECT_EQ(w_->windowTitle(), general::gstrSourceFile);
    QComboBox* q = c<QComboBox>("cmbTextQ");
    EXPECT_EQ(q->count(), 3);
    EXPECT_EQ(q->itemText(1), QStringLiteral("'"));
    EXPECT_EQ(q->itemText(2), QStringLiteral("none"));
    EXPECT_EQ(q->currentText(), QStringLiteral("\""));
    EXPECT_EQ(c<QComboBox>("cmbDateOrd")->currentText(), QStringLiteral("MDY"));
    EXPECT_EQ(c<QComboBox>("cmbFieldType")->itemText(0), QStringLiteral("Number"));
    EXPECT_TRUE(c<QRadioButton>("optDelimiter2")->isChecked());
    EXPECT_EQ(c<QLineEdit>("txtFieldDelim")->text(), QStringLiteral(","));
    EXPECT_FALSE(c<QLineEdit>("txtOther")->isEnabled());
    EXPECT_FALSE(c<QCheckBox>("chkFirstRow")->isChecked());
    EXPECT_TRUE(c<QPushButton>("cmdImport")->isEnabled());
    EXPECT_TRUE(c<QLabel>("lblwait")->isHidden());

    // Without names the header line is a row of the sample; the blank line is not.
    EXPECT_EQ(gridHeads(), QStringList({"Field1", "Field2", "Field3", "Field4", "Field5"}));
    ASSERT_EQ(grid()->rowCount(), 4);
    EXPECT_EQ(grid()->index(2, 0).data().toString(), QStringLiteral("Say \"Hi\""));
    EXPECT_TRUE(ui_.shown().isEmpty());
}

TEST_F(Wizard, EveryOptionRebuildsThePreview)
{
    load();
    setFirstRow();
    EXPECT_EQ(names(), QStringList({"Name", "City", "Zip", "Joined", "Amount"}));
    EXPECT_EQ(gridHeads(), names());
    EXPECT_EQ(grid()->rowCount(), 3);
    EXPECT_EQ(typeOf(3), QStringLiteral("Date/Time"));
    EXPECT_EQ(c<QComboBox>("cmbFieldName")->currentText(), QStringLiteral("Joined"));
    EXPECT_TRUE(c<QTableView>("DBGrid1")->selectionModel()->isColumnSelected(3, {}));

    // A date delimiter box keeps one character; "-" makes the dates text.
    c<QLineEdit>("txtDateDelim")->setText(QStringLiteral("-x"));
    EXPECT_EQ(c<QLineEdit>("txtDateDelim")->text(), QStringLiteral("-"));
    EXPECT_EQ(typeOf(3), QStringLiteral("Text (255)"));
    c<QLineEdit>("txtDateDelim")->setText(QStringLiteral("/"));
    EXPECT_EQ(typeOf(3), QStringLiteral("Date/Time"));

    c<QRadioButton>("optDelimiter1")->click();
    EXPECT_EQ(c<QLineEdit>("txtFieldDelim")->text(), QStringLiteral(";"));
    EXPECT_EQ(grid()->columnCount(), 1);

    // Other: the box opens empty, the delimiter follows what is typed into it.
    c<QRadioButton>("optDelimiter4")->click();
    EXPECT_TRUE(c<QLineEdit>("txtOther")->isEnabled());
    EXPECT_EQ(c<QLineEdit>("txtFieldDelim")->text(), QString());
    c<QLineEdit>("txtOther")->setText(QStringLiteral(",;"));
    EXPECT_EQ(c<QLineEdit>("txtOther")->text(), QStringLiteral(","));
    EXPECT_EQ(c<QLineEdit>("txtFieldDelim")->text(), QStringLiteral(","));
    EXPECT_EQ(grid()->columnCount(), 5);

    // The qualifier "none" keeps the quotes and splits "Smith, John".
    QComboBox* q = c<QComboBox>("cmbTextQ");
    q->setCurrentIndex(2);
    emit q->activated(2);
    EXPECT_EQ(grid()->columnCount(), 6);
    EXPECT_EQ(grid()->index(0, 0).data().toString(), QStringLiteral("\"Smith"));
    EXPECT_TRUE(ui_.shown().isEmpty());
}

TEST_F(Wizard, ConflictingSettingsAreReportedAndBlockTheImport)
{
    load();
    struct Case { const char* box; const char* text; const char* message; };
    const Case cases[] = {
        {"txtDateDelim", ",", "Field Delimiter and Date Delimiter must be different."},
        {"txtTimeDelim", ",", "Field Delimiter and Time Delimiter must be different."},
        {"txtTimeDelim", "/", "Date Delimiter and Time Delimiter must be different."},
    };
    for (const Case& k : cases) {
        QLineEdit* box = c<QLineEdit>(k.box);
        const QString before = box->text();
        ui_.answerMessage(ui::vbOK, QString::fromLatin1(k.message));
        box->setText(QString::fromLatin1(k.text));
        EXPECT_EQ(ui_.shown().back().style, 0) << k.message;
        EXPECT_FALSE(c<QPushButton>("cmdImport")->isEnabled()) << k.message;
        box->setText(before);
        EXPECT_TRUE(c<QPushButton>("cmdImport")->isEnabled()) << k.message;
    }
    EXPECT_EQ(ui_.pendingAnswers(), 0);
}

TEST_F(Wizard, ImportStoresTheListWithTheChosenTypes)
{
    load();
    setFirstRow();
    // Yes stores the type for the import, No keeps the guess.
    EXPECT_EQ(typeOf(2), QStringLiteral("Text (255)"));
    ui_.answerMessage(ui::vbYes, QStringLiteral("Are you sure you want to change the data type of this column?"));
    pickType(QStringLiteral("Memo"));
    EXPECT_EQ(ui_.shown().back().style, ui::vbYesNo + ui::vbQuestion);
    EXPECT_EQ(typeOf(4), QStringLiteral("Number"));
    ui_.answerMessage(ui::vbNo);
    pickType(QStringLiteral("Text (255)"));

    c<QPushButton>("cmdImport")->click();
    EXPECT_TRUE(opened());
    EXPECT_EQ(w_->result(), QDialog::Accepted);
    EXPECT_EQ(layout(), (std::vector<std::pair<std::string, int>>{{"Name", jet::dbText},
                                                                  {"City", jet::dbText},
                                                                  {"Zip", jet::dbMemo},
                                                                  {"Joined", jet::dbDate},
                                                                  {"Amount", jet::dbDouble},
                                                                  {"LumacorPrimK", jet::dbLong}}));
    EXPECT_EQ(column(QStringLiteral("Name")), QStringList({"Smith, John", "Say \"Hi\"", "Lee"}));
    EXPECT_EQ(column(QStringLiteral("Zip")), QStringList({"02134", "10001", "75001"}));
    EXPECT_EQ(column(QStringLiteral("Amount")), QStringList({"10.5", "7", "-3"}));
    EXPECT_EQ(ui_.pendingAnswers(), 0);
    EXPECT_EQ(ui_.shown().size(), 2);
}

// While the import runs, the main window's commands, the wizard's other
// buttons and the main window's close box are refused; the list arrives whole.
TEST_F(Wizard, CommandsPressedDuringTheImportAreRefusedAndTheListArrivesWhole)
{
    MDIMain& m = MDIMain::instance();
    load();
    setFirstRow();
    int pumps = 0;
    ui_.onProcessEvents([&] {
        ++pumps;
        ui::ScriptedHandler waits([](const QString& msg) { ADD_FAILURE() << msg.toStdString(); });
        for (QAction* a : m.findChildren<QAction*>())
            a->trigger();
        for (QAbstractButton* b : w_->findChildren<QAbstractButton*>()) {
            if (b->objectName() == QLatin1String("cmdCancel"))
                continue;
            b->click();
            QTest::mouseClick(b, Qt::LeftButton);
        }
        QCloseEvent close;
        QApplication::sendEvent(&m, &close);
        EXPECT_FALSE(close.isAccepted());
        EXPECT_EQ(waits.noticeTexts(), QStringList{ui::jobWaitMessage()});
    });
    c<QPushButton>("cmdImport")->click();
    ui_.onProcessEvents({});
    EXPECT_GT(pumps, 0);
    EXPECT_TRUE(opened());
    EXPECT_EQ(w_->result(), QDialog::Accepted);
    EXPECT_EQ(column(QStringLiteral("Name")), QStringList({"Smith, John", "Say \"Hi\"", "Lee"}));
    EXPECT_EQ(column(QStringLiteral("Amount")), QStringList({"10.5", "7", "-3"}));
    EXPECT_TRUE(ui_.shown().isEmpty());
    EXPECT_EQ(MDIMain::loaded(), &m);
}

// A Space typed during the import, meant for something else, goes to no
// button: when Import goes grey the focus does not pass to the Cancel.
TEST_F(Wizard, ASpaceTypedDuringTheImportDoesNotCancelIt)
{
    load();
    w_->show();
    QApplication::setActiveWindow(w_.get());
    auto* import = c<QPushButton>("cmdImport");
    auto* cancel = c<QPushButton>("cmdCancel");
    import->setFocus();
    ASSERT_TRUE(import->hasFocus());
    int spaces = 0;
    ui_.onProcessEvents([&] {
        QWidget* focus = QApplication::focusWidget();
        EXPECT_NE(focus, cancel);
        QTest::keyClick(focus ? focus : w_.get(), Qt::Key_Space);
        ++spaces;
    });
    QTest::keyClick(import, Qt::Key_Space);   // Import by the keyboard
    ui_.onProcessEvents({});
    EXPECT_GT(spaces, 0);
    EXPECT_TRUE(opened());
    EXPECT_FALSE(ui_.messageTexts().contains(QStringLiteral("Operation Cancelled.")));
}

TEST_F(Wizard, CancelStopsTheImportInEitherPass)
{
    for (const int pump : {1, 2}) {
        load();
        int pumps = 0;
        ui_.onProcessEvents([&] {
            if (++pumps == pump)
                c<QPushButton>("cmdCancel")->click();
        });
        ui_.answerMessage(ui::vbOK, QStringLiteral("Operation Cancelled."));
        c<QPushButton>("cmdImport")->click();
        ui_.onProcessEvents({});
        EXPECT_EQ(ui_.shown().back().style, ui::vbCritical);
        EXPECT_EQ(w_->result(), QDialog::Rejected);
        EXPECT_FALSE(opened());
        EXPECT_TRUE(layout().empty()) << "pump " << pump;
        expectControlsRestored();
    }
}

TEST_F(Wizard, FailingFileEndsTheImportWithItsReason)
{
    struct Case { const char* what; std::function<void(const QString&)> spoil; QString message; int style; bool forgetsFile; };
    QByteArray wide = "\r\n1";
    for (int i = 2; i <= 251; ++i)
        wide += "," + QByteArray::number(i);
    const Case cases[] = {
        {"file removed", [](const QString& p) { QFile::remove(p); }, QStringLiteral("Bad file name."), 0, true},
        {"emptied", [this](const QString&) { write("  \r\n"); }, QStringLiteral("File empty or cannot be read."), 0, false},
        {"too wide",
         [&](const QString& p) {
             QFile f(p);
             ASSERT_TRUE(f.open(QIODevice::Append));
             f.write(wide);
         },
         QStringLiteral("Number of columns exceeded 250.\r\rImport cannot continue."), ui::vbCritical, false},
    };
    for (const Case& k : cases) {
        general::gstrSourceFile = write(kList);
        load();
        k.spoil(general::gstrSourceFile);
        ui_.answerMessage(ui::vbOK, k.message);
        c<QPushButton>("cmdImport")->click();
        EXPECT_EQ(ui_.shown().back().style, k.style) << k.what;
        EXPECT_EQ(w_->result(), QDialog::Rejected) << k.what;
        EXPECT_FALSE(opened()) << k.what;
        EXPECT_TRUE(layout().empty()) << k.what;
        EXPECT_EQ(general::gstrSourceFile.isEmpty(), k.forgetsFile) << k.what;
        expectControlsRestored();
    }
}

TEST_F(Wizard, MissingFileAtLoad)
{
    general::gstrSourceFile = dir_.filePath(QStringLiteral("gone.csv"));
    ui_.answerMessage(ui::vbOK, QStringLiteral("Bad file name."));
    load();
    EXPECT_FALSE(c<QPushButton>("cmdImport")->isEnabled());
    EXPECT_EQ(general::gstrSourceFile, QString());
}

TEST_F(Wizard, NulCharactersAreDroppedAndCountedInTheStatus)
{
    general::gstrSourceFile = write(QByteArray("Name,City\r\nAn\0n,Bos\0ton\r\nLee,Paris\r\n", 36));
    load();
    setFirstRow();
    c<QPushButton>("cmdImport")->click();
    ASSERT_TRUE(opened());
    EXPECT_EQ(column(QStringLiteral("Name")), QStringList({"Ann", "Lee"}));
    EXPECT_EQ(column(QStringLiteral("City")), QStringList({"Boston", "Paris"}));
    const QString status = MDIMain::instance().panelText(1);
    EXPECT_TRUE(status.startsWith(QStringLiteral("Total Records = 2 :"))) << status.toStdString();
    EXPECT_TRUE(status.endsWith(QStringLiteral("2 NUL characters were removed from the values."))) << status.toStdString();
}

// What the wizard's grid shows is what the import stores: a quoted value with
// a line break stays one record, indented lines split by Space lose their
// indent, and an all-empty column is Text.
TEST_F(Wizard, TheGridShowsWhatTheImportStores)
{
    general::gstrSourceFile = write("Name Note Fax\r\n  Ann \"line one\r\nline two\" \r\n   Bob x\r\n");
    load();
    c<QRadioButton>("optDelimiter3")->click();
    setFirstRow();
    EXPECT_EQ(gridHeads(), QStringList({"Name", "Note", "Fax"}));
    ASSERT_EQ(grid()->rowCount(), 2);
    EXPECT_EQ(grid()->index(0, 0).data().toString(), QStringLiteral("Ann"));
    EXPECT_EQ(grid()->index(0, 1).data().toString(), QStringLiteral("line one\r\nline two"));
    EXPECT_EQ(grid()->index(1, 1).data().toString(), QStringLiteral("x"));
    EXPECT_EQ(typeOf(2), QStringLiteral("Text (255)"));

    c<QPushButton>("cmdImport")->click();
    ASSERT_TRUE(opened());
    EXPECT_EQ(column(QStringLiteral("Name")), QStringList({"Ann", "Bob"}));
    EXPECT_EQ(column(QStringLiteral("Note")), QStringList({"line one\r\nline two", "x"}));
    EXPECT_EQ(layout().size(), 4u);   // Name, Note, Fax and the key: no extra columns
    EXPECT_EQ(layout()[2], (std::pair<std::string, int>{"Fax", jet::dbText}));
}
