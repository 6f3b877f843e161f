// The tip window: its load decides whether it stays, the tips come from the
// settings folder's TIPOFDAY.TXT, one per line in file order, and the
// "Show Tips at Startup" box writes the option on every change.
#include "app/frmtipoftheday.h"

#include "app/programfiles.h"
#include "common/general.h"
#include "platform/ui/settings.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTextStream>
#include <QVBoxLayout>

namespace {

const QString kSection = QStringLiteral("Options");
const QString kValue = QStringLiteral("Show Tips at Startup");
const QString kTipsFile = QStringLiteral("TIPOFDAY.TXT");

QRandomGenerator& tipRandom()
{
    static QRandomGenerator r;
    return r;
}

}  // namespace

QString frmTipoftheDay::optionApplication()
{
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

bool frmTipoftheDay::showAtStartup()
{
    bool ok = false;
    const int v = ui::getSetting(optionApplication(), kSection, kValue, QStringLiteral("1")).trimmed().toInt(&ok);
    // A value that is not a number counts as "show": the tips can then be turned off again.
    return !ok || v != 0;
}

frmTipoftheDay::frmTipoftheDay(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmTipoftheDay"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Lumacor Quillabrand Pro Tip of the Day"));

    auto* panel = new QFrame(this);
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setStyleSheet(QStringLiteral("QFrame { background: #fffef2; }"));
    auto* heading = new QLabel(QStringLiteral("Did you know..."), panel);
    QFont f = heading->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.4);
    heading->setFont(f);
    lblTipText_ = new QLabel(panel);
    lblTipText_->setObjectName(QStringLiteral("lblTipText"));
    lblTipText_->setWordWrap(true);
    lblTipText_->setTextFormat(Qt::PlainText);
    lblTipText_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblTipText_->setMinimumSize(360, 110);
    auto* pl = new QVBoxLayout(panel);
    pl->addWidget(heading);
    pl->addWidget(lblTipText_, 1);

    chk_ = new QCheckBox(QStringLiteral("&Show Tips at Startup"), this);
    chk_->setObjectName(QStringLiteral("chkLoadTipsAtStartup"));
    cmdPrevious_ = new QPushButton(QStringLiteral("&Previous Tip"), this);
    cmdPrevious_->setObjectName(QStringLiteral("Command1"));
    cmdNext_ = new QPushButton(QStringLiteral("&Next Tip"), this);
    cmdNext_->setObjectName(QStringLiteral("cmdNextTip"));
    cmdOK_ = new QPushButton(QStringLiteral("&Close"), this);
    cmdOK_->setObjectName(QStringLiteral("cmdOK"));
    cmdOK_->setDefault(true);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(cmdOK_);
    buttons->addWidget(cmdNext_);
    buttons->addWidget(cmdPrevious_);
    buttons->addStretch(1);
    auto* top = new QHBoxLayout;
    top->addWidget(panel, 1);
    top->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(chk_);

    connect(chk_, &QCheckBox::toggled, this, [this] { chkLoadTipsAtStartup_Click(); });
    connect(cmdNext_, &QPushButton::clicked, this, [this] { cmdNextTip_Click(); });
    connect(cmdPrevious_, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(cmdOK_, &QPushButton::clicked, this, &QDialog::close);
}

bool frmTipoftheDay::Form_Load()
{
    if (general::gintTipsFromMenu != 1 && !showAtStartup())
        return false;
    chk_->setChecked(true);   // stores "1" through the box's change handler
    tipRandom().seed(quint32(QDateTime::currentMSecsSinceEpoch()));
    if (!LoadTips(app::programFile(QStringLiteral("settings/") + kTipsFile)))
        lblTipText_->setText(QStringLiteral("That the ") + kTipsFile + QStringLiteral(" file was not found? ") +
                             QStringLiteral("\r\n\r\n") + QStringLiteral("Create a text file named ") + kTipsFile +
                             QStringLiteral(" using NotePad with 1 tip per line. ") +
                             QStringLiteral("Then place it in the same directory as the application. "));
    general::gintTipsFromMenu = 0;
    return true;
}

frmTipoftheDay* frmTipoftheDay::create(QWidget* parent)
{
    auto* w = new frmTipoftheDay(parent);
    if (!w->Form_Load()) {
        delete w;
        return nullptr;
    }
    return w;
}

void frmTipoftheDay::showFromMenu(QWidget* parent)
{
    general::gintTipsFromMenu = 1;
    if (frmTipoftheDay* w = create(parent))
        w->exec();
}

bool frmTipoftheDay::LoadTips(const QString& file)
{
    if (file.isEmpty() || !general::FileExists(file))
        return false;
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    QTextStream in(&f);
    tips_.clear();
    QString line;
    while (in.readLineInto(&line))
        tips_ << line;
    f.close();
    cmdNextTip_Click();
    return true;
}

void frmTipoftheDay::cmdNextTip_Click()
{
    previous_ = current_;
    current_ = tips_.isEmpty() ? 1 : int(tipRandom().bounded(qsizetype(tips_.size()))) + 1;
    DisplayCurrentTip();
}

void frmTipoftheDay::Command1_Click()
{
    current_ = previous_;
    DisplayCurrentTip();
}

void frmTipoftheDay::DisplayCurrentTip()
{
    if (current_ >= 1 && current_ <= tips_.size())
        lblTipText_->setText(tips_[current_ - 1]);
}

void frmTipoftheDay::chkLoadTipsAtStartup_Click()
{
    ui::saveSetting(optionApplication(), kSection, kValue, chk_->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
}

QString frmTipoftheDay::tipText() const { return lblTipText_->text(); }
