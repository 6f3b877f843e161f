// The program's entry point: the single-instance guard first (a second copy
// brings the running one to the front and ends before it touches anything),
// then the splash, which restores the working database and hands over to
// the main window.
#include "app/frmsplash.h"
#include "app/icons.h"
#include "app/mdimain.h"
#include "common/general.h"
#include "platform/ui/singleinstance.h"
#include "platform/ui/ui.h"

#include <QApplication>
#include <QScreen>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // Whichever way main returns, the shared databases are closed first,
    // while the application and the engine's connection list still exist.
    const general::DatabasesClosedAtEnd closeDatabases;
    QApplication::setApplicationName(QStringLiteral("Quillabrand"));
    {
        // The product mark on every window, the workbench's corner included.
        QIcon mark;
        for (int side : {16, 32, 64})
            mark.addPixmap(app::productPicture(QSize(side, side)));
        QApplication::setWindowIcon(mark);
    }

    // The guard is keyed to the program folder, where the working database lives.
    ui::SingleInstance guard(general::programFolder());
    if (guard.start() == ui::SingleInstance::Role::Secondary) {
        guard.activateRunning();
        return 0;
    }
    guard.onActivate([] {
        if (MDIMain* main = MDIMain::loaded())
            ui::bringToFront(main);
    });

    // The program ends when the main window says so, not when its last
    // window closes (the splash closes before the main window shows).
    QApplication::setQuitOnLastWindowClosed(false);

    frmSplash splash;
    if (!splash.Form_Load())
        return 1;
    QObject::connect(&splash, &frmSplash::handOver, &app, [] {
        MDIMain& main = MDIMain::instance();
        QObject::connect(&main, &MDIMain::programEnded, qApp, [](int code) { QCoreApplication::exit(code); },
                         Qt::QueuedConnection);
        if (!startup::showMainWindow())
            QCoreApplication::exit(0);
    });
    splash.adjustSize();
    if (const QScreen* s = QGuiApplication::primaryScreen())
        splash.move(s->geometry().center() - splash.rect().center());
    splash.show();
    return app.exec();
}
