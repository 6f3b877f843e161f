// The prefix and exception editors: loading the file, adding on Enter,
// removing on Delete, and the file and array written when the window closes.
#include "cleaning/list_editors.h"

#include "common/general.h"

#include "list_fixture.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <memory>

namespace {

struct Kind {
    const char* name;
    QDialog* (*make)(QWidget*);
    const char* list;
    QString (*file)();
    std::array<QString, 1001>* array;
};

const Kind kKinds[] = {
    {"frmPrefixes", &cleaning::makePrefixesEditor, "lstPrefixes", &cleaning::prefixesFile, &general::gstrPrefixes},
    {"frmExceptions", &cleaning::makeExceptionsEditor, "lstExceptions", &cleaning::exceptionsFile,
     &general::gstrExceptions},
};

class ListEditors : public ::testing::TestWithParam<Kind> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        general::setProgramFolder(dir.path());
        QDir(dir.path()).mkpath(QStringLiteral("Settings"));
        kind().array->fill(QString());
    }
    void TearDown() override
    {
        editor.reset();
        kind().array->fill(QString());
        general::setProgramFolder(QString());
    }
    const Kind& kind() const { return GetParam(); }

    void writeFile(const QByteArray& bytes)
    {
        QFile f(kind().file());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray readFile()
    {
        QFile f(kind().file());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    void openEditor() { editor.reset(kind().make(nullptr)); }
    QTreeWidget* list() { return editor->findChild<QTreeWidget*>(QString::fromLatin1(kind().list)); }
    QLineEdit* box() { return editor->findChild<QLineEdit*>(QStringLiteral("txtNew")); }

    void key(QWidget* w, Qt::Key k)
    {
        QKeyEvent e(QEvent::KeyPress, k, Qt::NoModifier);
        QCoreApplication::sendEvent(w, &e);
    }
    void type(const QString& text)
    {
        box()->setText(text);
        key(box(), Qt::Key_Return);
    }
    QStringList items()
    {
        QStringList out;
        for (int i = 0; i < list()->topLevelItemCount(); ++i)
            out << list()->topLevelItem(i)->text(0);
        return out;
    }
    void closeEditor()
    {
        editor->findChild<QPushButton*>(QStringLiteral("cmdClose"))->click();
        editor.reset();
    }

    QTemporaryDir dir;
    std::unique_ptr<QDialog> editor;
};

TEST_P(ListEditors, LoadsTheFileInItsOrder)
{
    writeFile("\"Mc\"\r\n\"  O'\"\r\n\"\"\r\n\"a, b\"\r\n\"Mac\"\r\n");
    (*kind().array)[7] = QStringLiteral("stale");
    openEditor();
    EXPECT_EQ(editor->objectName(), QString::fromLatin1(kind().name));
    EXPECT_EQ(items(), (QStringList{u"Mc"_qs, u"  O'"_qs, u"a, b"_qs, u"Mac"_qs}));
    EXPECT_EQ((*kind().array)[4], QStringLiteral("Mac"));
    EXPECT_EQ((*kind().array)[7], QString());   // the file replaces the whole list
}

TEST_P(ListEditors, WithoutAFileShowsTheList)
{
    (*kind().array)[1] = QStringLiteral("IBM");
    (*kind().array)[3] = QStringLiteral("USA");
    openEditor();
    EXPECT_EQ(items(), (QStringList{u"IBM"_qs, u"USA"_qs}));
}

TEST_P(ListEditors, EnterAddsEachTextOnce)
{
    openEditor();
    const struct {
        QString typed;
        QStringList after;
        QString boxAfter;
    } steps[] = {
        {u"Mc"_qs, {u"Mc"_qs}, {}},
        {u"Mc"_qs, {u"Mc"_qs}, {}},                        // a repeat is dropped
        {u"MC"_qs, {u"Mc"_qs, u"MC"_qs}, {}},              // letter case counts
        {u"  Mac"_qs, {u"Mc"_qs, u"MC"_qs, u"  Mac"_qs}, {}},
        {u""_qs, {u"Mc"_qs, u"MC"_qs, u"  Mac"_qs}, {}},   // nothing to add
        {u"say \"hi\""_qs, {u"Mc"_qs, u"MC"_qs, u"  Mac"_qs}, u"say \"hi\""_qs},   // the file cannot hold it
    };
    for (const auto& s : steps) {
        type(s.typed);
        EXPECT_EQ(items(), s.after) << s.typed.toStdString();
        EXPECT_EQ(box()->text(), s.boxAfter);
    }
    EXPECT_EQ(editor->result(), 0);   // Enter never ends the window
}

TEST_P(ListEditors, DeleteRemovesTheSelectedItems)
{
    openEditor();
    for (const char* t : {"a", "b", "c", "d", "e"})
        type(QString::fromLatin1(t));
    key(list(), Qt::Key_Delete);   // nothing selected: nothing goes
    EXPECT_EQ(items().size(), 5);
    for (int i : {1, 2, 4})
        list()->topLevelItem(i)->setSelected(true);
    key(list(), Qt::Key_Delete);
    EXPECT_EQ(items(), (QStringList{u"a"_qs, u"d"_qs}));
}

TEST_P(ListEditors, ColumnNarrowsForTheScrollBar)
{
    openEditor();
    for (int i = 1; i <= 22; ++i)
        type(QStringLiteral("e%1").arg(i));
    EXPECT_EQ(list()->columnWidth(0), 275);
    type(QStringLiteral("e23"));
    EXPECT_EQ(list()->columnWidth(0), 225);
    list()->topLevelItem(0)->setSelected(true);
    key(list(), Qt::Key_Delete);
    EXPECT_EQ(list()->columnWidth(0), 275);
}

TEST_P(ListEditors, ClosingWritesTheFileAndTheArray)
{
    writeFile("\"Mc\"\r\n\"O'\"\r\n\"Mac\"\r\n");
    openEditor();
    list()->topLevelItem(1)->setSelected(true);
    key(list(), Qt::Key_Delete);
    type(QStringLiteral(" van, der"));
    closeEditor();
    EXPECT_EQ(readFile(), QByteArray("\"Mc\"\r\n\"Mac\"\r\n\" van, der\"\r\n"));
    const auto& a = *kind().array;
    EXPECT_EQ(a[1], QStringLiteral("Mc"));
    EXPECT_EQ(a[2], QStringLiteral("Mac"));
    EXPECT_EQ(a[3], QStringLiteral(" van, der"));
    EXPECT_EQ(a[4], QString());

    // Read back as written, the entry with its comma and blank whole.
    openEditor();
    EXPECT_EQ(items(), (QStringList{u"Mc"_qs, u"Mac"_qs, u" van, der"_qs}));
    // The close box saves as well: there is no cancel.
    for (int i = 0; i < 3; ++i)
        list()->topLevelItem(i)->setSelected(true);
    key(list(), Qt::Key_Delete);
    editor->show();
    editor->close();
    EXPECT_EQ(readFile(), QByteArray());
    for (size_t i = 1; i < a.size(); ++i)
        EXPECT_EQ(a[i], QString()) << i;
}

TEST_P(ListEditors, MakesTheSettingsFolderWhenMissing)
{
    QDir(dir.filePath(QStringLiteral("Settings"))).removeRecursively();
    openEditor();
    type(QStringLiteral("x\u00E9"));
    closeEditor();
    EXPECT_EQ(readFile(), QByteArray("\"x\xc3\xa9\"\r\n"));
}

INSTANTIATE_TEST_SUITE_P(Both, ListEditors, ::testing::ValuesIn(kKinds),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
