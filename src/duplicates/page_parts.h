// The parts of the statistics and duplicate pages that live in their own
// files; duplicates::installPages calls each once per workbench window.
#pragma once

class frmdataform;

namespace duplicates {
void installStatistics(frmdataform& form);   ///< Combo1, the score grid, the chart and its filter
void installGroupFilter(frmdataform& form);  ///< double-click on a duplicate group
void installConversion(frmdataform& form);   ///< Convert and Clear Selection of the review list
}
