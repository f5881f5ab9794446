#pragma once
// The makers' pages, opened in the default browser from the title row and the about box.
// They ship in the application folder, so they open without a network and never point
// at a site that does not exist.
#include <QString>
#include <QUrl>

namespace parlivo::MakerPages {

inline QString page(const QString &appFolder, const char *file)
{
    return QUrl::fromLocalFile(appFolder + QStringLiteral("/pages/") + QLatin1String(file)).toString();
}
// What's new in this version and how to update it.
inline QString updates(const QString &appFolder) { return page(appFolder, "whats-new.html"); }
// The makers' other programs.
inline QString downloads(const QString &appFolder) { return page(appFolder, "other-programs.html"); }
// Who makes Parlivo and where to follow the project.
inline QString company(const QString &appFolder) { return page(appFolder, "other-programs.html"); }
// About Parlivo and its licence.
inline QString product(const QString &appFolder) { return page(appFolder, "about.html"); }

} // namespace parlivo::MakerPages
