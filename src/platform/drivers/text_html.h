// The write-only drivers behind "[TEXT;Database=folder].[name.txt]" and
// "[HTML Export;Database=folder].[name.html]": a SELECT ... INTO on such a
// specifier writes the file name.txt (or name.html) into the folder.
//
// Register them once at start-up, before the first export; a static
// registration object would be dropped by the linker from the library.
#pragma once

namespace drivers {

/// Registers the comma-delimited text writer for the kind "TEXT".
void registerTextDriver();
/// Registers the one-table web page writer for the kind "HTML EXPORT".
void registerHtmlDriver();

} // namespace drivers
