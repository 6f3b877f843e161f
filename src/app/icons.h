// The program's pictures, drawn with QPainter (no image files): toolbar
// icons by button key, the product mark of the splash and about box, and
// the main window's backdrop.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>

namespace app {

/// The icon of a toolbar button by its lowered key ("import", "export",
/// "wizard"/"tutorial", "atoz"/"asc", "ztoa"/"des", "find", "spelling"/"spell",
/// "refresh", "help", "cut", "copy", "paste"); a null icon for other keys.
QIcon toolIcon(const QString& key);

/// The product mark: a quill over a list card.
QPixmap productPicture(QSize size);

/// The splash picture with the product name.
QPixmap splashPicture(QSize size);

}  // namespace app
