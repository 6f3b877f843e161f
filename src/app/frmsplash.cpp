// Start-up after the guard. The working database is replaced by the pristine
// copy at every start, whatever the last run left in it; the splash then
// counts 25 ticks (100 ms each, 1500 ms after the missing-copy message)
// before it hands over.
#include "app/frmsplash.h"

#include "app/contextids.h"
#include "app/frmtipoftheday.h"
#include "app/icons.h"
#include "app/mdimain.h"
#include "app/programfiles.h"
#include "common/general.h"
#include "platform/files/checked_file.h"
#include "platform/jet/connection.h"
#include "platform/jet/dbfiles.h"
#include "platform/ui/ui.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace startup {

Restore restoreWorkingDatabase(const QString& pristine, const QString& working, QString* error)
{
    if (!general::FileExists(pristine))
        return Restore::PristineMissing;
    // An open connection on the working database (a list still open) would
    // go on writing into the removed file: refuse, as a locked file would.
    const QString absolute = QFileInfo(working).absoluteFilePath();
    for (const jet::Connection* c : jet::Connection::all())
        if (c->path() == absolute) {
            if (error)
                *error = QStringLiteral("The working database \"%1\" could not be replaced: it is in use.").arg(working);
            return Restore::Failed;
        }
    // The old file goes with the journal or log a killed run may have left
    // beside it: the engine would play such a journal back into the fresh
    // copy at its first open, writing the old list's pages into it. The
    // side files go first; the copy is then made whole under a temporary
    // name and renamed over the old file in one step.
    QString why;
    if (!jet::removeSideFiles(working, &why) || !files::copyFile(pristine, working, &why)) {
        if (error)
            *error = QStringLiteral("The working database \"%1\" could not be made from \"%2\".\r\r%3")
                         .arg(QDir::toNativeSeparators(working), QDir::toNativeSeparators(pristine), why);
        return Restore::Failed;
    }
    // The copy keeps the old file's permissions (0644 when there was none);
    // a read-only old file must still give a working database that can be written.
    QFile::setPermissions(working, QFile::permissions(working) | QFile::WriteOwner | QFile::ReadOwner);
    // The fresh copy must open sound before anything uses it.
    QString damage = jet::checkDatabaseFile(working);
    if (!damage.isEmpty()) {
        if (damage.endsWith(QLatin1Char('.')))
            damage.chop(1);
        if (error)
            *error = QStringLiteral("The working database \"%1\" made from \"%2\" is damaged: %3.\r\r"
                                    "You must re-install the application.")
                         .arg(QDir::toNativeSeparators(working), QDir::toNativeSeparators(pristine), damage);
        return Restore::Failed;
    }
    return Restore::Restored;
}

bool showMainWindow()
{
    MDIMain& main = MDIMain::instance();
    if (!main.MDIForm_Load())
        return false;
    main.show();
    try {
        if (frmTipoftheDay* tips = frmTipoftheDay::create(&main))
            tips->show();
    } catch (...) {
        // The tip window is a courtesy: nothing of it may stop the start.
    }
    return true;
}

}  // namespace startup

frmSplash::frmSplash(QWidget* parent) : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("frmSplash"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    Image1_ = new QLabel(this);
    Image1_->setObjectName(QStringLiteral("Image1"));
    Image1_->setPixmap(app::splashPicture(QSize(480, 200)));
    Image1_->installEventFilter(this);
    auto* l = new QVBoxLayout(this);
    l->setContentsMargins(0, 0, 0, 0);
    l->addWidget(Image1_);
    Timer1_ = new QTimer(this);
    Timer1_->setInterval(1500);
    connect(Timer1_, &QTimer::timeout, this, &frmSplash::Timer1_Timer);
}

bool frmSplash::Form_Load()
{
    Timer1_->start();
    ContextIDs::InitHelp(this);
    // The engine has no users: the default user "Admin" without a password needs no step here.
    general::gstrWorkDBPath = app::programFile(QStringLiteral("sysfls.sys"));
    const QString pristine = app::programFile(QStringLiteral("sysbkfls.sys"));
    QString error;
    switch (startup::restoreWorkingDatabase(pristine, general::gstrWorkDBPath, &error)) {
    case startup::Restore::Restored:
        Timer1_->setInterval(100);
        return true;
    case startup::Restore::PristineMissing:
        ui::msgBox(QStringLiteral("Missing Data File.") + QStringLiteral("\r\r") +
                       QStringLiteral("You must re-install the application."),
                   ui::vbCritical + ui::vbOKOnly);
        return true;
    case startup::Restore::Failed:
        break;
    }
    Timer1_->stop();
    ui::msgBox(error + QStringLiteral("\r\rThe program cannot start without its working database."),
               ui::vbCritical + ui::vbOKOnly);
    return false;
}

int frmSplash::timerInterval() const { return Timer1_->interval(); }
bool frmSplash::timerActive() const { return Timer1_->isActive(); }

void frmSplash::Timer1_Timer()
{
    if (handedOver_)
        return;
    if (++ticks_ >= 25)
        doHandOver();
}

void frmSplash::Image1_Click() { doHandOver(); }

void frmSplash::doHandOver()
{
    if (handedOver_)
        return;
    handedOver_ = true;
    Timer1_->stop();
    close();
    emit handOver();
}

bool frmSplash::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Image1_ && event->type() == QEvent::MouseButtonPress) {
        Image1_Click();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
