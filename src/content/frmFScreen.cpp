#include "frmFScreen.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>

namespace parlivo {

frmFScreen::frmFScreen(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("frmFScreen"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);

    imngFscreen = new QLabel(this);
    imngFscreen->setObjectName(QStringLiteral("imngFscreen"));
    imngFscreen->move(0, 0);
    imngFscreen->resize(0, 0);
    imngFscreen->installEventFilter(this);
}

void frmFScreen::setPicture(const QImage &image)
{
    imngFscreen->setPixmap(QPixmap::fromImage(image));
    imngFscreen->resize(image.size());
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
