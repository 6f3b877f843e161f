// The main-window and error helpers the importers' windows share.
#include "exchange/import_window.h"

#include "app/mdimain.h"
#include "platform/jet/error.h"

namespace exchange {

void setMainPointer(ui::Pointer p)
{
    if (MDIMain* m = MDIMain::loaded())
        ui::setPointer(m, p);
}

void setMainStatus(const QString& text)
{
    if (MDIMain* m = MDIMain::loaded())
        m->setPanelText(1, text);
}

void appendMainStatus(const QString& text)
{
    if (MDIMain* m = MDIMain::loaded()) {
        const QString old = m->panelText(1).trimmed();
        m->setPanelText(1, old.isEmpty() ? text : old + QStringLiteral("  ") + text);
    }
}

void failImport(const QString& why)
{
    throw jet::JetError(jet::errGeneral, why);
}

QString errorText(const std::exception& e)
{
    if (const auto* jet = dynamic_cast<const jet::JetError*>(&e))
        return jet->description();
    return QString::fromUtf8(e.what());
}

} // namespace exchange
