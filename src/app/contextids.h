// Context help: the owner of the help windows, the application help file and
// the three help commands every window uses. Callers set the help file
// first (setHelpFile with kReferenceHelp or kTutorialHelp), then call one
// of the Show procedures: the help file is one process-wide setting.
//
//   ContextIDs::setHelpFile(ContextIDs::kReferenceHelp);
//   ContextIDs::ShowHelpContext(70);   // the Find dialog's topic
#pragma once

#include <QString>

class QWidget;

namespace ContextIDs {

/// The owner window of help calls; set once at start-up.
inline QWidget* ghWndHelp = nullptr;

inline constexpr const char* kTutorialHelp = "Tutorial.HLP";
inline constexpr const char* kReferenceHelp = "LumacorProHelp.HLP";

/// Help ids of the toolbars' Help button: by the workbench tab (1 to 8), and
/// with no list open.
int helpIdForTab(int tabIndex);
inline constexpr int kNoListHelpId = 860;

/// Stores the owner and makes the tutorial the application help file.
void InitHelp(QWidget* owner);
/// Makes program folder + "/" + name the application help file (the
/// separator is not doubled when the folder already ends in one).
void setHelpFile(const QString& name);

/// The topic of a context id in the current help file.
void ShowHelpContext(qint64 contextId);
/// The contents page of the current help file.
void ShowHelpContents();
/// The contents with the index beside it.
void ShowHelpFinder();

}  // namespace ContextIDs
