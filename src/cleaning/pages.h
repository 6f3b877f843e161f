// What the other cleaning tools of the workbench call of the distinct-values
// panel: the column check of the pickers, the re-listing that ends every run
// that changes tblData, and the refresh the special-character dialog runs.
// The panel itself is built by cleaning::installPages (workbench/toolpages.h).
#pragma once

#include <QString>

class QComboBox;
class frmdataform;

namespace cleaning {

/// True when the combo's text is exactly (letter case included) one of its items.
bool IsInList(const QComboBox* combo);

/// Lists the column chosen in cmbColumn1 afresh: its literal delimiter, empty
/// value lists for the Column Cleaner, the tool buttons enabled (unless
/// "Special" is ticked), the distinct values, and cmbColumn1A kept equal.
/// Errors are shown, not thrown.
void cmbColumn1_Click(frmdataform& form);

/// Refills the distinct-values list from the filter box or the class boxes.
void lstMain_Update_Source(frmdataform& form);

/// The literal delimiter of the column last chosen: "#" for a date, a double
/// quote for text and memo, "" otherwise (also before any column is chosen).
QString strDelimiter(frmdataform& form);

/// The column whose values lstMain shows and its field type code ("" and 0
/// before any listing).
QString listedColumn(frmdataform& form);
int listedType(frmdataform& form);

/// The item data role of lstMain's value column that gives the value as the
/// engine's SQL reads it back: every digit of a number, the listed text of
/// anything else.
inline constexpr int kExactTextRole = 0x0100 + 1;   // Qt::UserRole + 1

} // namespace cleaning
