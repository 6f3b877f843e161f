// The special-character filter definition dialog: two lists of the 32
// punctuation candidates, "Available" and "Filter For", and the buttons that
// move characters between them. The flags live in general::gintSpecChars;
// the file is written when the dialog closes.
#include "cleaning/frmdefinespecialchars.h"

#include "app/programfiles.h"
#include "cleaning/pages.h"
#include "common/general.h"
#include "platform/files/checked_file.h"
#include "workbench/frmdataform.h"
#include "workbench/opening.h"

#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>

namespace {

constexpr int kRows = 32;

QString specCharsFile() { return app::programFile(QStringLiteral("\\Settings\\SpecChars.txt")); }

/// The character of a code of the Windows code page (the candidates are ASCII).
QString charOf(int code)
{
    const char byte = char(code & 0xFF);
    return QString::fromLatin1(&byte, 1);
}

int codeOf(const QString& text) { return text.isEmpty() ? -1 : int(text.at(0).unicode()); }

QPushButton* button(const char* caption, const char* name, QWidget* parent)
{
    auto* b = new QPushButton(QString::fromLatin1(caption), parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

QListWidget* charList(const char* name, QWidget* parent)
{
    auto* l = new QListWidget(parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setSelectionMode(QAbstractItemView::MultiSelection);
    l->setFont(QFont(QStringLiteral("Arial"), 10));
    return l;
}

} // namespace

frmDefineSpecialChars::frmDefineSpecialChars(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmDefineSpecialChars"));
    setWindowTitle(QStringLiteral("Special Characters"));
    lstMain = charList("lstMain", this);
    lstSelected = charList("lstSelected", this);
    cmdMove = button(">", "cmdMove", this);
    cmdMoveAll = button(">>", "cmdMoveAll", this);
    cmdBack = button("<", "cmdBack", this);
    cmdBackAll = button("<<", "cmdBackAll", this);
    cmdDefine = button("Done", "cmdDefine", this);

    auto* g = new QGridLayout(this);
    auto* banner = new QLabel(QStringLiteral("SPECIAL FILTER DEFINITION"), this);
    QFont bold = banner->font();
    bold.setBold(true);
    banner->setFont(bold);
    g->addWidget(banner, 0, 0, 1, 3, Qt::AlignHCenter);
    g->addWidget(new QLabel(QStringLiteral("Available"), this), 1, 0);
    g->addWidget(new QLabel(QStringLiteral("Filter For"), this), 1, 2);
    g->addWidget(lstMain, 2, 0, 5, 1);
    g->addWidget(cmdMove, 2, 1);
    g->addWidget(cmdMoveAll, 3, 1);
    g->addWidget(cmdBack, 4, 1);
    g->addWidget(cmdBackAll, 5, 1);
    g->addWidget(lstSelected, 2, 2, 5, 1);
    g->addWidget(cmdDefine, 7, 0, 1, 3, Qt::AlignHCenter);
    g->setRowStretch(6, 1);

    connect(cmdMove, &QPushButton::clicked, this, &frmDefineSpecialChars::cmdMove_Click);
    connect(cmdBack, &QPushButton::clicked, this, &frmDefineSpecialChars::cmdBack_Click);
    connect(cmdMoveAll, &QPushButton::clicked, this, &frmDefineSpecialChars::cmdMoveAll_Click);
    connect(cmdBackAll, &QPushButton::clicked, this, &frmDefineSpecialChars::cmdBackAll_Click);
    connect(cmdDefine, &QPushButton::clicked, this, &QDialog::accept);
    Form_Load();
}

frmDefineSpecialChars* frmDefineSpecialChars::showModeless(QWidget* parent)
{
    static QPointer<frmDefineSpecialChars> open;
    if (!open) {
        open = new frmDefineSpecialChars(parent ? parent->window() : nullptr);
        open->setAttribute(Qt::WA_DeleteOnClose);
    }
    open->show();
    open->raise();
    return open;
}

void frmDefineSpecialChars::Form_Load()
{
    // The workbench's reader: a missing, short, long or damaged file still
    // gives the 32 candidates, each once, and the file is written whole again.
    workbench::loadSpecChars(specCharsFile());
    for (int i = 1; i <= kRows; ++i) {
        const auto& row = general::gintSpecChars[size_t(i)];
        (row[2] != 0 ? lstSelected : lstMain)->addItem(charOf(row[1]));
    }
}

void frmDefineSpecialChars::moveSelected(QListWidget* from, QListWidget* to, int flag)
{
    for (int i = 0; i < from->count();) {
        QListWidgetItem* item = from->item(i);
        if (!item->isSelected()) {
            ++i;
            continue;
        }
        to->addItem(item->text());
        const int code = codeOf(item->text());
        for (int r = 1; r <= kRows; ++r)
            if (general::gintSpecChars[size_t(r)][1] == code)
                general::gintSpecChars[size_t(r)][2] = flag;
        delete from->takeItem(i);
    }
}

void frmDefineSpecialChars::moveAll(QListWidget* from, QListWidget* to, int flag)
{
    while (from->count() > 0) {
        to->addItem(from->item(0)->text());
        delete from->takeItem(0);
    }
    for (int r = 1; r <= kRows; ++r)
        general::gintSpecChars[size_t(r)][2] = flag;
}

void frmDefineSpecialChars::cmdMove_Click() { moveSelected(lstMain, lstSelected, 1); }
void frmDefineSpecialChars::cmdBack_Click() { moveSelected(lstSelected, lstMain, 0); }
void frmDefineSpecialChars::cmdMoveAll_Click() { moveAll(lstMain, lstSelected, 1); }
void frmDefineSpecialChars::cmdBackAll_Click() { moveAll(lstSelected, lstMain, 0); }

void frmDefineSpecialChars::done(int result)
{
    if (!saved_) {
        saved_ = true;
        Form_Unload();
    }
    QDialog::done(result);
}

void frmDefineSpecialChars::Form_Unload()
{
    const QString path = specCharsFile();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QByteArray text;
    for (int i = 1; i <= kRows; ++i)
        text += QByteArray::number(general::gintSpecChars[size_t(i)][1]) + ',' +
                QByteArray::number(general::gintSpecChars[size_t(i)][2]) + "\r\n";
    files::saveFileOrSay(path, text);
    // A workbench closed meanwhile has nothing to list again.
    if (frmdataform* wb = frmdataform::loaded())
        cleaning::lstMain_Update_Source(*wb);
}
