// The Statistics, Dupe Remover and near-duplicate pages of the workbench (their frames stay empty until built).
#include "workbench/toolpages.h"

namespace duplicates {
void installPages(frmdataform&) {}
} // namespace duplicates
