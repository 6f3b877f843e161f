// The Case Converter, Text Cleaner and Column Cleaner pages of the workbench (their frames stay empty until built).
#include "workbench/toolpages.h"

namespace cleaning {
void installPages(frmdataform&) {}
} // namespace cleaning
