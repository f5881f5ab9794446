#include "app/widgets/Pictures.h"

#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QSvgRenderer>

namespace parlivo::Pictures {

QPixmap load(const QString &appFolder, const QString &name, const QSize &size)
{
    const QString base = appFolder + QStringLiteral("/pictures/") + name;
    const qreal ratio = qApp ? qApp->devicePixelRatio() : 1.0;
    if (QFile::exists(base + QStringLiteral(".svg"))) {
        QSvgRenderer renderer(base + QStringLiteral(".svg"));
        if (renderer.isValid()) {
            QPixmap pixmap(size * ratio);
            pixmap.setDevicePixelRatio(ratio);
            pixmap.fill(Qt::transparent);
            QPainter painter(&pixmap);
            painter.setRenderHint(QPainter::Antialiasing);
            renderer.setAspectRatioMode(Qt::KeepAspectRatio);
            renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
            return pixmap;
        }
    }
    QPixmap png(base + QStringLiteral(".png"));
    if (!png.isNull())
        return png.scaled(size * ratio, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return {};
}

} // namespace parlivo::Pictures
