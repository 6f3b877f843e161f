// The grid procedures of the main window (placeholders until the grid is built).
#include "app/mdimain.h"

void MDIMain::Refresh_DataTbl() {}
void MDIMain::FilterON() {}
void MDIMain::FilterON2() {}
void MDIMain::FilterONDupes() {}
void MDIMain::FilterONStatistics() {}
void MDIMain::FilterOnValidEmail() {}
void MDIMain::FilterOnInvalidEmail() {}
void MDIMain::FilterOnInvalidEmails() {}
void MDIMain::FilterOFF() {}
void MDIMain::refreshgrids() {}
