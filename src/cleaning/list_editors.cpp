// The prefix and exception list editors.
//
// The list control is the only working copy while the window is open; the
// file and the array change when it closes, by the Close button, the close
// box or Escape (there is no cancel). The file holds one double-quoted entry
// per line, the form the workbench reads when it opens, so both always see
// the same list. The list keeps the order the entries were added in: the
// first matching prefix wins, so that order matters.
//
// Entries are never empty (an empty entry would silently end the prefix
// list), never hold a double quote (a quoted line cannot carry one) and
// number at most 1000, the size of the arrays.
#include "cleaning/list_editors.h"

#include "app/listeditors.h"
#include "common/general.h"
#include "platform/files/checked_file.h"
#include "platform/ui/ui.h"
#include "workbench/opening.h"

#include <QDialog>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <array>

namespace cleaning {
namespace {

constexpr int kListSize = 1000;
constexpr int kWideColumn = 275;    // while no scroll bar is needed
constexpr int kNarrowColumn = 225;  // from this many items on, the bar takes room
constexpr int kItemsBeforeBar = 23;

struct EditorKind {
    const char* formName;
    const char* caption;    // window caption and column header
    const char* listName;
    QString (*file)();
    std::array<QString, 1001>* array;
};

class ListEditor : public QDialog {
public:
    ListEditor(const EditorKind& kind, QWidget* parent);
    ~ListEditor() override { save(); }

    void done(int r) override
    {
        save();
        QDialog::done(r);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void load();
    void save();
    void add();
    void removeSelected();
    void applyWidthRule();

    EditorKind kind_;
    QTreeWidget* list_ = nullptr;
    QLineEdit* txtNew_ = nullptr;
    bool saved_ = false;
};

ListEditor::ListEditor(const EditorKind& kind, QWidget* parent) : QDialog(parent), kind_(kind)
{
    setObjectName(QString::fromLatin1(kind.formName));
    setWindowTitle(QString::fromLatin1(kind.caption));

    list_ = new QTreeWidget(this);
    list_->setObjectName(QString::fromLatin1(kind.listName));
    list_->setRootIsDecorated(false);
    list_->setColumnCount(1);
    list_->setHeaderLabels({QString::fromLatin1(kind.caption)});
    list_->headerItem()->setTextAlignment(0, Qt::AlignLeft | Qt::AlignVCenter);
    list_->header()->setStretchLastSection(false);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->installEventFilter(this);

    auto* label = new QLabel(QStringLiteral("Add New"), this);
    txtNew_ = new QLineEdit(this);
    txtNew_->setObjectName(QStringLiteral("txtNew"));
    txtNew_->installEventFilter(this);
    label->setBuddy(txtNew_);

    auto* cmdClose = new QPushButton(QStringLiteral("&Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    // Enter belongs to the box: it must add, never close the window.
    cmdClose->setAutoDefault(false);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::accept);

    auto* v = new QVBoxLayout(this);
    v->addWidget(list_, 1);
    v->addWidget(label);
    v->addWidget(txtNew_);
    v->addWidget(cmdClose, 0, Qt::AlignRight);

    load();
}

void ListEditor::load()
{
    auto& array = *kind_.array;
    // The file, when there is one, replaces the array; without one the list
    // shows what the array holds.
    workbench::loadList(kind_.file(), array);
    list_->clear();
    for (int i = 1; i <= kListSize; ++i)
        if (!array[size_t(i)].isEmpty())
            list_->addTopLevelItem(new QTreeWidgetItem(list_, {array[size_t(i)]}));
    applyWidthRule();
}

void ListEditor::save()
{
    if (saved_)
        return;
    saved_ = true;
    auto& array = *kind_.array;
    QByteArray text;
    int n = 0;
    for (int i = 0; i < list_->topLevelItemCount() && n < kListSize; ++i) {
        const QString entry = list_->topLevelItem(i)->text(0);
        array[size_t(++n)] = entry;
        text += '"' + entry.toUtf8() + "\"\r\n";
    }
    for (int i = n + 1; i <= kListSize; ++i)
        array[size_t(i)].clear();

    const QString path = kind_.file();
    QDir().mkpath(QFileInfo(path).absolutePath());
    files::saveFileOrSay(path, text);
}

void ListEditor::add()
{
    const QString text = txtNew_->text();
    if (text.isEmpty())
        return;
    if (text.contains(QLatin1Char('"')) || list_->topLevelItemCount() >= kListSize)
        return;   // left in the box: the list cannot take it
    bool found = false;
    for (int i = 0; i < list_->topLevelItemCount() && !found; ++i)
        found = list_->topLevelItem(i)->text(0) == text;
    if (!found)
        list_->addTopLevelItem(new QTreeWidgetItem(list_, {text}));
    txtNew_->clear();
}

void ListEditor::removeSelected()
{
    for (int i = 0; i < list_->topLevelItemCount();) {
        if (list_->topLevelItem(i)->isSelected())
            delete list_->takeTopLevelItem(i);
        else
            ++i;
    }
}

void ListEditor::applyWidthRule()
{
    list_->setColumnWidth(0, list_->topLevelItemCount() < kItemsBeforeBar ? kWideColumn : kNarrowColumn);
}

bool ListEditor::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress || (watched != txtNew_ && watched != list_))
        return QDialog::eventFilter(watched, event);
    // Only these two keys change the number of items, so only they can
    // change the column's width.
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (watched == txtNew_ && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
        add();
        applyWidthRule();
        return true;
    }
    if (watched == list_ && key == Qt::Key_Delete) {
        removeSelected();
        applyWidthRule();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

const EditorKind kPrefixes{"frmPrefixes", "Prefixes", "lstPrefixes", &prefixesFile, &general::gstrPrefixes};
const EditorKind kExceptions{"frmExceptions", "Exceptions", "lstExceptions", &exceptionsFile,
                             &general::gstrExceptions};

} // namespace

// The workbench's spelling of the names, so that both reach the same file
// where names are compared with letter case.
QString prefixesFile() { return general::programFolder() + QStringLiteral("/Settings/PreFixes.txt"); }
QString exceptionsFile() { return general::programFolder() + QStringLiteral("/Settings/Exceptions.txt"); }

QDialog* makePrefixesEditor(QWidget* parent) { return new ListEditor(kPrefixes, parent); }
QDialog* makeExceptionsEditor(QWidget* parent) { return new ListEditor(kExceptions, parent); }

void registerListEditors()
{
    listeditors::registerEditor(QStringLiteral("frmPrefixes"), &makePrefixesEditor);
    listeditors::registerEditor(QStringLiteral("frmExceptions"), &makeExceptionsEditor);
}

} // namespace cleaning
