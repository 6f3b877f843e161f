// The dBase files and the contact database over them: what is written reads
// back the same here and in Python's dbfread, what a field cannot hold is
// refused, and Close() replaces the files all together or not at all, also
// when the switch of the files is stopped part-way.
#include "platform/contacts/contactdb.h"
#include "platform/contacts/dbase.h"
#include "platform/contacts/file_switch.h"
#include "support/contact_fixture.h"
#include "support/outside_need.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

using contacts::ContactError;
using contacts::DbfField;
using contacts::DbfTable;

namespace {

QString memoText()
{
    QString s;
    for (int i = 0; s.size() < 1300; ++i)   // three memo blocks
        s += QStringLiteral("Zeile %1 – Grüße; ").arg(i);
    return s;
}

DbfTable sampleTable()
{
    DbfTable t({{QStringLiteral("name"), 'C', 20, 0},
                {QStringLiteral("AMOUNT"), 'N', 8, 0},
                {QStringLiteral("BORN"), 'D', 8, 0},
                {QStringLiteral("OK"), 'L', 1, 0},
                {QStringLiteral("NOTES"), 'M', 10, 0}});
    const QStringList rows[] = {
        {QStringLiteral("Zoë Café €"), QStringLiteral("-12.5"), QStringLiteral("19991231"), QStringLiteral("T"), memoText()},
        {QStringLiteral("gone"), QStringLiteral("1"), QString(), QString(), QStringLiteral("x")},
        {QStringLiteral("  lead blanks"), QString(), QString(), QStringLiteral("f"), QString()},
    };
    for (const QStringList& r : rows) {
        const int row = t.appendRow();
        for (int i = 0; i < r.size(); ++i)
            t.setText(row, i, r[i]);
    }
    t.removeRow(1);
    return t;
}

} // namespace

TEST(DbfTable, WrittenTableReadsBackHereAndInDbfread)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("T.DBF"));
    const DbfTable t = sampleTable();
    t.write(path, DbfTable::memoPath(path));

    const DbfTable back = DbfTable::read(path);
    ASSERT_EQ(back.rowCount(), 2);   // the removed record is not written
    EXPECT_EQ(back.fields()[0].name, QStringLiteral("NAME"));
    EXPECT_EQ(back.text(0, 0), QStringLiteral("Zoë Café €"));
    EXPECT_EQ(back.text(0, 1), QStringLiteral("-12.5"));
    EXPECT_EQ(back.text(0, 2), QStringLiteral("19991231"));
    EXPECT_EQ(back.text(0, 4), memoText());
    EXPECT_EQ(back.text(1, 0), QStringLiteral("  lead blanks"));
    EXPECT_EQ(back.text(1, 3), QStringLiteral("F"));
    EXPECT_EQ(back.text(1, 4), QString());

    const auto rows = contacttest::readWithDbfread(path);
    QB_NEED_OUTSIDE(rows, "Python's dbfread is not installed");
    ASSERT_EQ(rows->size(), 2);
    const QJsonObject first = rows->at(0).toObject();
    EXPECT_EQ(first.value("NAME").toString(), QStringLiteral("Zoë Café €"));
    EXPECT_EQ(first.value("AMOUNT").toString(), QStringLiteral("-12.5"));
    EXPECT_EQ(first.value("BORN").toString(), QStringLiteral("1999-12-31"));
    EXPECT_EQ(first.value("OK").toString(), QStringLiteral("True"));
    EXPECT_EQ(first.value("NOTES").toString(), memoText());
    EXPECT_EQ(rows->at(1).toObject().value("NOTES").toString(), QString());
}

TEST(DbfTable, ValuesAFieldCannotHoldAreRefusedAndNothingIsStored)
{
    struct Case {
        int field;
        QString value;
    };
    const Case cases[] = {
        {0, QString(21, QLatin1Char('x'))},   // longer than the field
        {0, QStringLiteral("Łódź")},          // not in the code page
        {1, QStringLiteral("12a")},
        {1, QStringLiteral("123456789")},     // wider than 8
        {2, QStringLiteral("20240230")},      // no 30 February
        {2, QStringLiteral("2024-01-01")},
        {3, QStringLiteral("X")},
        {4, QStringLiteral("a\x1A b")},       // the memo's end mark
    };
    DbfTable t = sampleTable();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value.toStdString());
        const QString before = t.text(0, c.field);
        EXPECT_THROW(t.setText(0, c.field, c.value), ContactError);
        EXPECT_EQ(t.text(0, c.field), before);
    }
}

TEST(DbfTable, DamagedFilesAreRefused)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("T.DBF"));
    sampleTable().write(path, DbfTable::memoPath(path));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray good = f.readAll();
    f.close();
    const auto damaged = [&](QByteArray bytes) {
        QFile out(path);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(bytes);
        out.close();
        EXPECT_THROW(DbfTable::read(path), ContactError);
    };
    damaged(good.left(40));                  // cut inside the descriptors
    damaged(good.left(good.size() - 30));    // fewer records than the header says
    QByteArray wrongLength = good;
    wrongLength[10] = char(wrongLength[10] + 1);
    damaged(wrongLength);
    damaged(QByteArray("not a table"));
}

class ContactDatabase : public ::testing::Test {
protected:
    void SetUp() override
    {
        path = contacts::createDatabase(dir.path(), contacts::NewDatabase());
        contacts::Database db;
        db.Open(path);
        ASSERT_TRUE(db.isopen()) << db.openFailure().toStdString();
        for (const char* name : {"Ann", "Bo"}) {
            db.CONTACT().Add();
            db.CONTACT().setData(contacts::kContactNameField, QString::fromLatin1(name));
            const QString uid = db.CONTACT().Update();
            for (const char* primary : {"1", "0"}) {
                db.Email().Add();
                db.Email().setData(contacts::kEmailAddressField, QStringLiteral("%1.%2@x.org").arg(name, primary));
                db.Email().setData(contacts::kEmailPrimaryField, QString::fromLatin1(primary));
                db.Email().setData(contacts::kEmailOwnerField, uid);
                db.Email().Update();
            }
        }
        db.Close();
    }
    QByteArray bytes(const char* name) const
    {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir dir;
    QString path;
};

TEST_F(ContactDatabase, ContactsAreFoundByIdAndDeletedWithTheirEmails)
{
    contacts::Database db;
    db.Open(path);
    ASSERT_TRUE(db.isopen());
    EXPECT_FALSE(db.IsMultiUser());
    EXPECT_EQ(db.MajorVersion(), 60);
    EXPECT_EQ(db.CONTACT().RecordCount(), 2);

    ASSERT_TRUE(db.CONTACT().Goto(QStringLiteral("000000000002")));
    EXPECT_EQ(db.CONTACT().Data(contacts::kContactNameField), QStringLiteral("Bo"));
    EXPECT_EQ(db.CONTACT().Data(contacts::kEmailField), QStringLiteral("Bo.1@x.org"));   // the primary one

    // An id it does not hold: no current record, so nothing can be changed by mistake.
    EXPECT_FALSE(db.CONTACT().Goto(QStringLiteral("000000000099")));
    EXPECT_TRUE(db.CONTACT().isEOF());
    EXPECT_THROW(db.CONTACT().Edit(), ContactError);
    EXPECT_THROW(db.CONTACT().Delete(), ContactError);

    ASSERT_TRUE(db.CONTACT().Goto(QStringLiteral("000000000001")));
    db.CONTACT().Delete();
    EXPECT_EQ(db.CONTACT().RecordCount(), 1);
    EXPECT_EQ(db.Email().RecordCount(), 2);
    db.Close();

    db.Open(path);
    ASSERT_TRUE(db.isopen());
    QStringList left;
    for (db.Email().MoveFirst(); !db.Email().isEOF(); db.Email().MoveNext())
        left << db.Email().Data(contacts::kEmailAddressField);
    EXPECT_EQ(left, (QStringList{"Bo.1@x.org", "Bo.0@x.org"}));
}

TEST_F(ContactDatabase, CloseReplacesAllFilesOrNone)
{
    const QByteArray contactsBefore = bytes("CONTACTS.DBF"), emailsBefore = bytes("EMAIL.DBF");
    {
        // Dropped without Close: the files stay as they were.
        contacts::Database db;
        db.Open(path);
        ASSERT_TRUE(db.CONTACT().Goto(QStringLiteral("000000000001")));
        db.CONTACT().Delete();
    }
    EXPECT_EQ(bytes("CONTACTS.DBF"), contactsBefore);

    // The e-mail table cannot be written: neither table changes, and no
    // new file is left behind.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("EMAIL.DBF.qbnew")));
    const QStringList filesBefore = QDir(dir.path()).entryList(QDir::Files);
    contacts::Database db;
    db.Open(path);
    ASSERT_TRUE(db.CONTACT().Goto(QStringLiteral("000000000001")));
    db.CONTACT().Delete();
    EXPECT_THROW(db.Close(), ContactError);
    EXPECT_EQ(bytes("CONTACTS.DBF"), contactsBefore);
    EXPECT_EQ(bytes("EMAIL.DBF"), emailsBefore);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), filesBefore);
}

TEST_F(ContactDatabase, DatesAreWrittenAndReadInOneForm)
{
    contacts::Database db;
    db.Open(path);
    contacts::Table& c = db.CONTACT();
    ASSERT_TRUE(c.Goto(QStringLiteral("000000000001")));
    c.Edit();
    c.setData(8, QStringLiteral("2/3/2024 00:00:00"));   // a date field takes the date part
    c.setData(2, QStringLiteral("12/31/1999 23:59:58"));
    EXPECT_THROW(c.setData(9, QStringLiteral("31/12/1999")), ContactError);
    EXPECT_THROW(c.setData(9, QStringLiteral("2024-02-03")), ContactError);
    EXPECT_THROW(c.setData(contacts::kEmailField, QStringLiteral("a@b.c")), ContactError);
    c.Update();
    EXPECT_EQ(c.Data(8), QStringLiteral("02/03/2024"));
    EXPECT_EQ(c.Data(2), QStringLiteral("12/31/1999 23:59:58"));
    EXPECT_EQ(c.Data(9), QString());
}

TEST_F(ContactDatabase, UsersLogOnByNameInAnyCaseAndExactPassword)
{
    contacts::NewDatabase spec;
    spec.multiUser = true;
    spec.users = {{QStringLiteral("Chris"), QStringLiteral("Pw")}};
    const QString multi = contacts::createDatabase(dir.filePath(QStringLiteral("multi")), spec);
    contacts::Database db;
    db.Open(multi);
    ASSERT_TRUE(db.isopen());
    EXPECT_TRUE(db.IsMultiUser());
    const std::tuple<const char*, const char*, bool> tries[] = {
        {"Chris", "pw", true}, {"Kris", "Pw", true}, {"", "", true}, {"CHRIS", "Pw", false}};
    for (const auto& [name, password, error] : tries) {
        db.validateuser(QString::fromLatin1(name), QString::fromLatin1(password));
        EXPECT_EQ(db.Error(), error) << name << "/" << password;
    }
}

// A switch of the files stopped part-way (here by a rename the hook refuses)
// is finished by the next Open when its record is in place, and refused with
// nothing moved when the record or a file it names is not what it wrote;
// the new files of a switch that never happened are cleared away.
TEST(FileSwitch, InterruptedSwitchIsFinishedOrRefusedAtOpen)
{
    QTemporaryDir dir;
    struct Case {
        const char* name;
        int failAt;                                     ///< the refused rename
        std::function<void(const QString&)> harm;       ///< done to the folder after it
        bool opens;
        bool annGone;                                   ///< the new files are in
    };
    const auto write = [](const QString& file, const QByteArray& bytes) {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    };
    const Case cases[] = {
        {"before the switch, with leftovers of an older one", 1,
         [&](const QString& folder) {
             write(folder + "/CONTACTS.DBF.qbnew", "half a table");
             write(folder + "/QBSWITCH.LST.qbnew", "qb-switch 1\n");
         },
         true, false},
        {"after the switch", 3, nullptr, true, true},
        {"after every rename but the record's removal", 5, nullptr, true, true},
        {"with a damaged record", 3,
         [](const QString& folder) { contacttest::patchFile(folder + "/QBSWITCH.LST", "CONTACTS.DBF.qbnew\t", "CONTACTS.DBX.qbnew\t"); },
         false, false},
        {"with a new file that is not the one written", 3,
         [&](const QString& folder) { contacttest::patchFile(folder + "/EMAIL.DBF.qbnew", "cy@old.ie", "cy@new.ie"); },
         false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString folder = dir.filePath(QString::fromLatin1(c.name));
        const QString path = contacttest::makeDatabase(folder, contacttest::threeContacts());
        const auto oldFiles = contacttest::snapshot(folder);
        {
            contacts::Database db;
            db.Open(path);
            ASSERT_TRUE(db.CONTACT().Goto(QStringLiteral("000000000001")));
            db.CONTACT().Delete();   // the contact table, its memos and the e-mail table change
            int calls = 0;
            contacts::setRenameHook([&](const QString&, const QString&) { return ++calls == c.failAt ? EIO : 0; });
            if (c.failAt == 1) {
                EXPECT_THROW(db.Close(), ContactError);
            } else {
                db.Close();
                EXPECT_FALSE(db.closeWarning().isEmpty());
            }
            contacts::setRenameHook(nullptr);
        }
        if (c.failAt == 1) {
            EXPECT_EQ(contacttest::snapshot(folder), oldFiles);
        }
        if (c.harm)
            c.harm(folder);
        const QStringList before = QDir(folder).entryList(QDir::Files);
        contacts::Database db;
        db.Open(path);
        EXPECT_EQ(db.isopen(), c.opens) << db.openFailure().toStdString();
        if (!c.opens) {
            EXPECT_TRUE(db.openFailure().contains(QStringLiteral("QBSWITCH.LST"))) << db.openFailure().toStdString();
            EXPECT_EQ(QDir(folder).entryList(QDir::Files), before);   // nothing moved
            continue;
        }
        EXPECT_EQ(QDir(folder).entryList(QDir::Files), (QStringList{"CONTACTS.DBF", "CONTACTS.DBT", "DBINFO.DBF",
                                                                    "EMAIL.DBF", "FIELDS.DBF", "USERS.DBF"}));
        EXPECT_EQ(db.CONTACT().RecordCount(), c.annGone ? 2 : 3);
        EXPECT_EQ(db.Email().RecordCount(), c.annGone ? 1 : 2);
        if (!c.annGone) {
            EXPECT_EQ(contacttest::snapshot(folder), oldFiles);
        }
        for (db.CONTACT().MoveFirst(); !db.CONTACT().isEOF(); db.CONTACT().MoveNext())
            EXPECT_EQ(db.CONTACT().Data(23).isEmpty(), db.CONTACT().Data(contacts::kContactNameField) != "Ann Smith");
    }
}

namespace {

/// Makes the process's next open fail with "Too many open files" (a real
/// refusal of the system) until restored.
class OpenFileLimit {
public:
    ~OpenFileLimit() { restore(); }
    void tighten()
    {
        if (tight_ || ::getrlimit(RLIMIT_NOFILE, &saved_) != 0)
            return;
        const int lowestFree = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (lowestFree < 0)
            return;
        ::close(lowestFree);
        rlimit r = saved_;
        r.rlim_cur = rlim_t(lowestFree);
        tight_ = ::setrlimit(RLIMIT_NOFILE, &r) == 0;
    }
    void restore()
    {
        if (tight_)
            ::setrlimit(RLIMIT_NOFILE, &saved_);
        tight_ = false;
    }
    bool tight() const { return tight_; }

private:
    rlimit saved_{};
    bool tight_ = false;
};

} // namespace

// A flush of the folder that fails: before the commit record is on the disk
// it fails the switch and the old files stay (what the failed switch left is
// cleared at the next Open); after it, Close says the last step is left, the
// record stays, and the next Open finishes the switch. The folder's flush is
// refused by the system itself (its open of the folder finds no free file
// handle, set up at the rename before it), and where no rename comes
// between, by the flush hook.
TEST(FileSwitch, AFailedFlushOfTheFolderFailsTheSwitchBeforeItsRecordAndIsFinishedAfter)
{
    QTemporaryDir dir;
    const QString tooMany = QString::fromLocal8Bit(std::strerror(EMFILE));
    const QString io = QString::fromLocal8Bit(std::strerror(EIO));
    struct Case {
        const char* name;
        int limitAtRename;   ///< the rename hook's call that takes the file handles (0: none)
        int failSync;        ///< the flush the hook refuses with EIO (0: none)
        bool switched;
        bool leftForOpen;    ///< new files or the record stay until the next Open
    };
    const Case cases[] = {
        {"the flush of the new files' names", 0, 1, false, false},
        {"the flush of the record", 1, 0, false, true},
        {"the flush of the record, the record taken back", 0, 2, false, false},
        {"the flush of the renames", 4, 0, true, true},
        {"the flush of the record's removal", 5, 0, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString folder = dir.filePath(QString::fromLatin1(c.name));
        const QString path = contacttest::makeDatabase(folder, contacttest::threeContacts());
        const auto oldFiles = contacttest::snapshot(folder);
        const QString refused = c.limitAtRename ? tooMany : io;
        {
            contacts::Database db;
            db.Open(path);
            ASSERT_TRUE(db.CONTACT().Goto(QStringLiteral("000000000001")));
            db.CONTACT().Delete();
            OpenFileLimit limit;
            int renames = 0;
            int syncs = 0;
            contacts::setRenameHook([&](const QString&, const QString&) {
                if (++renames == c.limitAtRename)
                    limit.tighten();
                return 0;
            });
            contacts::setSyncHook([&](const QString&) { return ++syncs == c.failSync ? EIO : 0; });
            if (c.switched) {
                db.Close();
                limit.restore();
                EXPECT_TRUE(db.closeWarning().startsWith(QStringLiteral("Cannot flush the folder '%1' to the disk: ").arg(folder)))
                    << db.closeWarning().toStdString();
                EXPECT_TRUE(db.closeWarning().endsWith(refused)) << db.closeWarning().toStdString();
            } else {
                try {
                    db.Close();
                    limit.restore();
                    ADD_FAILURE() << "the switch did not fail";
                } catch (const ContactError& e) {
                    limit.restore();
                    EXPECT_EQ(e.description(), QStringLiteral("Cannot replace '%1/CONTACTS.DBT': %2").arg(folder, refused));
                }
            }
            contacts::setRenameHook(nullptr);
            contacts::setSyncHook(nullptr);
            if (c.limitAtRename) {
                EXPECT_GE(renames, c.limitAtRename);
            }
        }
        const QStringList left = QDir(folder).entryList(QDir::Files);
        EXPECT_EQ(left.filter(QStringLiteral(".qbnew")).size() + left.count(QStringLiteral("QBSWITCH.LST")) > 0, c.leftForOpen)
            << left.join(u' ').toStdString();
        if (!c.switched) {
            EXPECT_FALSE(left.contains(QStringLiteral("QBSWITCH.LST")));
            if (!c.leftForOpen) {
                EXPECT_EQ(contacttest::snapshot(folder), oldFiles);
            }
        }

        contacts::Database db;
        db.Open(path);
        ASSERT_TRUE(db.isopen()) << db.openFailure().toStdString();
        EXPECT_EQ(QDir(folder).entryList(QDir::Files), (QStringList{"CONTACTS.DBF", "CONTACTS.DBT", "DBINFO.DBF",
                                                                    "EMAIL.DBF", "FIELDS.DBF", "USERS.DBF"}));
        EXPECT_EQ(db.CONTACT().RecordCount(), c.switched ? 2 : 3);
        EXPECT_EQ(db.Email().RecordCount(), c.switched ? 1 : 2);
        if (!c.switched) {
            EXPECT_EQ(contacttest::snapshot(folder), oldFiles);
        }
    }
}
