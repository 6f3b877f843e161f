// The last step every importer shares: the data commands on and the workbench
// opened on the new tblData (whose opening checks and keys it).
#pragma once

namespace exchange {

/// MDIMain::enable() and the workbench shown; a workbench whose opening
/// failed has shown why and stays closed.
void openImportedList();

} // namespace exchange
