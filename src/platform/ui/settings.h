// The per-application settings store: values by application name, section
// and key, as text. Each application name is one INI file in the store's
// folder (by default "Quillabrand" in the user's configuration folder);
// names of applications, sections and keys match ignoring letter case.
#pragma once

#include <QString>

namespace ui {

/// The stored value, or defaultValue when there is none. A stored empty
/// text is a value: it is returned, not the default.
QString getSetting(const QString& app, const QString& section, const QString& key,
                   const QString& defaultValue = QString());
/// Stores the value; false when it could not be written.
bool saveSetting(const QString& app, const QString& section, const QString& key, const QString& value);
/// Removes one key, or the whole section when key is empty, or everything of
/// app when section is empty too. Removing what is not there succeeds.
bool deleteSetting(const QString& app, const QString& section = QString(), const QString& key = QString());

/// Points the store at another folder (tests); "" goes back to the default.
void setSettingsFolder(const QString& folder);
QString settingsFolder();

}  // namespace ui
