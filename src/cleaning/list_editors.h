// The editors of the Proper Case lists: frmPrefixes and frmExceptions. Each
// shows its list, adds the typed text on Enter, removes the selected entries
// on Delete and, whenever it closes, writes the list to its settings file and
// to its shared array (general::gstrPrefixes, general::gstrExceptions).
#pragma once

#include <QString>

class QDialog;
class QWidget;

namespace cleaning {

/// The settings files, as the workbench reads them when it opens.
QString prefixesFile();
QString exceptionsFile();

QDialog* makePrefixesEditor(QWidget* parent);
QDialog* makeExceptionsEditor(QWidget* parent);

/// Puts both editors on the Tools menu (listeditors::registerEditor).
void registerListEditors();

} // namespace cleaning
