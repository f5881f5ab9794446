#pragma once
// The window's pictures, drawn as SVG in the application folder's "pictures" folder
// and rendered at the size they are shown (crisp on any scale factor).
#include <QPixmap>
#include <QSize>
#include <QString>

namespace parlivo::Pictures {

// appFolder/pictures/<name>.svg (or .png) at size; an empty pixmap when missing.
QPixmap load(const QString &appFolder, const QString &name, const QSize &size);

} // namespace parlivo::Pictures
