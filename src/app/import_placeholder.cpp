// The import procedure as the main window calls it, until the import is built;
// the file that builds it replaces this one.
#include "app/mdimain.h"

#include "platform/ui/ui.h"

void MDIMain::Open_Source_File()
{
    mintMRUReopen = 0;
    ui::msgBox(QStringLiteral("Importing lists is not available in this version."), ui::vbInformation + ui::vbOKOnly);
}
