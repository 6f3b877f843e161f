// The E-Mail Cleaner page of the workbench (their frames stay empty until built).
#include "workbench/toolpages.h"

namespace email {
void installPage(frmdataform&) {}
} // namespace email
