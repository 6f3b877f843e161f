// Small things the importers' windows share while they import: the main
// window's pointer and status text, and how a failed step is raised and told.
#pragma once

#include "platform/ui/ui.h"

#include <QString>

#include <exception>

namespace exchange {

/// The main window's pointer; nothing when the main window is not loaded.
void setMainPointer(ui::Pointer p);

/// The text of the main window's status panel; nothing when it is not loaded.
void setMainStatus(const QString& text);

/// Adds a sentence to the main window's status text, after two blanks.
void appendMainStatus(const QString& text);

/// Ends an import step with this reason, as a jet::JetError of errGeneral.
[[noreturn]] void failImport(const QString& why);

/// What to tell the user of an exception an import step threw: a JetError's
/// description, otherwise the exception's own text.
QString errorText(const std::exception& e);

} // namespace exchange
