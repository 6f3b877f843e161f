// The Case Converter page's handlers, wired onto the controls the cleaning
// panel builds in frCaseConv. Called once by cleaning::installPages.
#pragma once

class frmdataform;

namespace cleaning {
void installCasePage(frmdataform& form);
}
