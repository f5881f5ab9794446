#include "frmFScreen.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>

namespace parlivo {

frmFScreen::frmFScreen(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
{
    setProperty("accessibleRole", int(QAccessible::Window));   // a frame, not an anonymous filler
    setObjectName(QStringLiteral("frmFScreen"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    setWindowTitle(QStringLiteral("Full screen"));
    setAccessibleName(tr("Full screen picture"));
    setAccessibleDescription(tr("Click or press Escape to close"));
    setFocusPolicy(Qt::StrongFocus);   // Escape reaches it

    imngFscreen = new QLabel(this);
    imngFscreen->setObjectName(QStringLiteral("imngFscreen"));
    imngFscreen->setAccessibleName(tr("Picture"));
    imngFscreen->move(0, 0);
    imngFscreen->resize(0, 0);
    imngFscreen->installEventFilter(this);
}

void frmFScreen::setPicture(const QImage &image)
{
    m_picture = image;
    fitPicture();
}

void frmFScreen::fitPicture()
{
    // A picture smaller than the window keeps its own size at the top-left corner; a
    // larger one is shrunk to fit, keeping its proportions, so none of it is cut off.
    QImage shown = m_picture;
    const QSize room = isVisible() || testAttribute(Qt::WA_Resized) ? size() : QSize();
    if (room.isValid() && !room.isEmpty() && !shown.isNull()
        && (shown.width() > room.width() || shown.height() > room.height()))
        shown = shown.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    imngFscreen->setPixmap(QPixmap::fromImage(shown));
    imngFscreen->resize(shown.size());
}

void frmFScreen::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    fitPicture();
}

void frmFScreen::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    close();
}

void frmFScreen::keyPressEvent(QKeyEvent *event)
{
    // A borderless window covering the screen needs a keyboard way out too.
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool frmFScreen::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == imngFscreen && event->type() == QEvent::MouseButtonPress) {
        close();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace parlivo
