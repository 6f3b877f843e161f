// The help commands over the ui seam's help call. Results and failures of
// help are not reported: a missing page shows the help window's own note.
#include "app/contextids.h"

#include "common/general.h"
#include "platform/ui/ui.h"

namespace ContextIDs {

int helpIdForTab(int tabIndex)
{
    // Data Table, Statistics, Case Converter, Text Cleaner, Column Cleaner,
    // E-Mail Cleaner, near duplicates, Dupe Remover.
    static constexpr int ids[] = {30, 180, 320, 340, 630, 500, 780, 700};
    if (tabIndex < 1 || tabIndex > 8)
        return 0;
    return ids[tabIndex - 1];
}

void setHelpFile(const QString& name)
{
    QString folder = general::programFolder().trimmed();
    if (!folder.endsWith(QLatin1Char('/')) && !folder.endsWith(QLatin1Char('\\')))
        folder += QLatin1Char('/');
    ui::setApplicationHelpFile(folder + name);
}

void InitHelp(QWidget* owner)
{
    ghWndHelp = owner;
    setHelpFile(QString::fromLatin1(kTutorialHelp));
}

void ShowHelpContext(qint64 contextId) { ui::winHelp(ui::applicationHelpFile(), ui::HelpContext, contextId); }
void ShowHelpContents() { ui::winHelp(ui::applicationHelpFile(), ui::HelpContents, 0); }
void ShowHelpFinder() { ui::winHelp(ui::applicationHelpFile(), ui::HelpFinder, 0); }

}  // namespace ContextIDs
