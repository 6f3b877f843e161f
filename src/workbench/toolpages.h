// The tool pages fill their frames of the workbench themselves: the workbench
// calls each tool's install function once, when its window is built, and the
// tool adds its controls to its frames and connects its handlers.
#pragma once

class frmdataform;

namespace cleaning {
void installPages(frmdataform& form);   ///< Case Converter, Text Cleaner, Column Cleaner, distinct values
}
namespace duplicates {
void installPages(frmdataform& form);   ///< Statistics, Dupe Remover, near-duplicate finder
}
namespace email {
void installPage(frmdataform& form);    ///< E-Mail Cleaner
}

namespace workbench {
void installGridTools(frmdataform& form);   ///< Filter, Find, Replace, clipboard, Delete Row, the grid's pop-up menu
void installSpelling(frmdataform& form);    ///< the spell check and its toolbar buttons
void installGridSplits(frmdataform& form);  ///< Window > Add Split, Remove Splits

inline void installToolPages(frmdataform& form)
{
    cleaning::installPages(form);
    duplicates::installPages(form);
    email::installPage(form);
    installGridTools(form);
    installSpelling(form);
    installGridSplits(form);
}
} // namespace workbench
