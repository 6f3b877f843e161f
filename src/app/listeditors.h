// The list editors the Tools menu opens (country-code and generic domains,
// prefixes, exceptions, the spelling manager), by their form names. An
// editor's owner registers how to make its window; until then the menu
// shows a small stand-in window of that name that says so.
//
//   listeditors::registerEditor("frmPrefixes", [](QWidget* p) { return new frmPrefixes(p); });
#pragma once

#include <QString>
#include <functional>

class QDialog;
class QWidget;

namespace listeditors {

using Factory = std::function<QDialog*(QWidget* parent)>;

/// Replaces the editor window of formName; an empty factory goes back to the stand-in.
void registerEditor(const QString& formName, Factory make);

/// True once an editor window has been registered for formName.
bool hasEditor(const QString& formName);

/// Called after every registerEditor (the menu follows which editors exist).
void onEditorsChanged(std::function<void()> listener);

/// Makes the editor (or its stand-in) and shows it: modal waits until it
/// closes (the window is deleted then), otherwise it is shown and deletes
/// itself when closed. Returns the window when not modal, else nullptr.
/// While an editor of formName is open, a second request makes no other
/// window: it brings the open one to the front (and returns it when not modal).
QDialog* showEditor(const QString& formName, QWidget* parent, bool modal);

}  // namespace listeditors
