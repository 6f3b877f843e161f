// The real handler: Qt's message, input and file dialogs, the application's
// event loop, cursor, screen and clipboard, the help window and the
// desktop's browser. Installed by default; only ui.cpp needs this header.
#pragma once

#include "platform/ui/ui.h"

#include <QStringList>

namespace ui {

/// The process's one Qt handler.
Handler& qtHandler();

/// Qt name filters for a filter text: "Text (*.txt)|*.txt;*.csv|" becomes
/// "Text (*.txt) (*.txt *.csv)"; the dialog hides the added pattern part.
QStringList qtNameFilters(const QString& filter);

/// The prompt as a label shows it: "\r\n" and lone "\r" become "\n".
QString displayText(const QString& prompt);

}  // namespace ui
