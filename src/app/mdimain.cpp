// The main window (placeholder until the main window is built).
#include "app/mdimain.h"

#include <QMdiArea>

namespace {
MDIMain* gMain = nullptr;
}

MDIMain& MDIMain::instance()
{
    if (!gMain)
        gMain = new MDIMain;
    return *gMain;
}

MDIMain* MDIMain::loaded() { return gMain; }

MDIMain::MDIMain(QWidget* parent) : QMainWindow(parent), mdi_(new QMdiArea(this)) { setCentralWidget(mdi_); }

void MDIMain::enable() {}
void MDIMain::disable() {}
bool MDIMain::ExportFile() { return true; }
void MDIMain::setPanelText(int, const QString&) {}
QString MDIMain::panelText(int) const { return QString(); }
QAction* MDIMain::command(const QString&) const { return nullptr; }
