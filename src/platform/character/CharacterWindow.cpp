#include "platform/character/CharacterWindow.h"

#include <QBitmap>
#include <QPainter>
#include <QRegion>

namespace parlivo {

bool hardenAlpha(QImage &image, int threshold)
{
    if (image.format() != QImage::Format_ARGB32_Premultiplied)
        image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    bool any = false;
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb px = line[x];
            const int a = qAlpha(px);
            if (a < threshold) {
                line[x] = 0;
            } else if (a < 255) {
                const QRgb straight = qUnpremultiply(px);
                line[x] = qRgba(qRed(straight), qGreen(straight), qBlue(straight), 255);
                any = true;
            } else {
                any = true;
            }
        }
    }
    return any;
}

CharacterWindow::CharacterWindow(QSize size)
    : QWidget(nullptr, OwnWindowFlags)
{
    setObjectName(QStringLiteral("helpCharacter"));
    setWindowTitle(QStringLiteral("Parlivo help"));
    setAccessibleName(QStringLiteral("Help wizard"));
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(size);
    m_frame = QImage(size, QImage::Format_ARGB32_Premultiplied);
    m_frame.fill(Qt::transparent);
    // Until the first frame nothing of the window may show.
    setMask(QRegion(-1, -1, 1, 1));
}

void CharacterWindow::setFrame(QImage frame)
{
    m_empty = !hardenAlpha(frame);
    m_frame = std::move(frame);
    // An empty mask would mean "no mask" (the whole window); a region outside the window
    // shows nothing at all.
    QRegion shape(-1, -1, 1, 1);
    if (!m_empty) {
        // The mask is in the window's units; a frame drawn in a scaled output's pixels is
        // brought down to them.
        QImage alpha = m_frame.createAlphaMask();
        alpha.setDevicePixelRatio(1);
        if (alpha.size() != size())
            alpha = alpha.scaled(size());
        shape = QRegion(QBitmap::fromImage(alpha));
    }
    if (shape != mask())
        setMask(shape);
    update();
}

void CharacterWindow::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(0, 0, m_frame);
}

} // namespace parlivo
