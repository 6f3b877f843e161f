// The Column Cleaner page: old values gathered from the distinct-values list
// into lstOld, the new value in txtNew, the conversion behind "Convert", and
// lstOld's header-click sort. Installed once with the other cleaning pages.
#pragma once

class frmdataform;

namespace cleaning {

/// Adds the page's buttons to frColumnClean and connects its handlers.
void installColumnCleaner(frmdataform& form);

} // namespace cleaning
