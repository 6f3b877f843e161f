// The import procedure and the export as the main window calls them, until
// the import and export are built; the file that builds them replaces this one.
#include "app/mdimain.h"

#include "platform/ui/ui.h"

void MDIMain::Open_Source_File()
{
    mintMRUReopen = 0;
    ui::msgBox(QStringLiteral("Importing lists is not available in this version."), ui::vbInformation + ui::vbOKOnly);
}

bool MDIMain::ExportFile() { return true; }
