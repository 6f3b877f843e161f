// The Help menu's web links: open a page of the maker's web site in the
// desktop's browser, or say that no browser was found.
#pragma once

#include <QUrl>

namespace weblinks {

QUrl homePage();
QUrl supportPage();

/// Writes the browser-lookup file "temphtm.HTM" in the program folder, asks
/// the desktop to open url, shows "Could not find associated Browser" when
/// it cannot, and deletes the lookup file again whatever happened.
void openPage(const QUrl& url);

}  // namespace weblinks
