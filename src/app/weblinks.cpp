// The web-link routine. The lookup file is kept for its old purpose (a file
// of the kind the browser opens, written beside the program while the
// browser is looked for) and must never be left behind: it is removed on
// every path, also after a failure. Each step's failure is shown and the
// routine goes on with the next step.
#include "app/weblinks.h"

#include "app/programfiles.h"
#include "common/general.h"
#include "platform/files/checked_file.h"
#include "platform/ui/ui.h"

#include <QFile>

namespace weblinks {

QUrl homePage() { return QUrl(QStringLiteral("https://www.lumacor.example/")); }
QUrl supportPage() { return QUrl(QStringLiteral("https://www.lumacor.example/support/")); }

void openPage(const QUrl& url)
{
    const QString lookup = app::programFile(QStringLiteral("temphtm.HTM"));
    // One written record: the text between double quotes.
    if (files::saveFileOrSay(lookup, "\"<HTML> <\\HTML>\"\n"))
        general::gintHtmFile = 1;
    general::gintHtmFile = 0;

    if (!ui::openWebPage(url))
        ui::msgBox(QStringLiteral("Could not find associated Browser"), ui::vbExclamation + ui::vbOKOnly,
                   QStringLiteral("Browser Not Found"));

    QFile f(lookup);
    if (f.exists() && !f.remove())
        ui::msgBox(f.errorString(), ui::vbCritical + ui::vbOKOnly);
}

}  // namespace weblinks
