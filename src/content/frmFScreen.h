#pragma once
// The full-screen picture: borderless, maximised, black, the picture at its own size
// from the top-left corner. A click anywhere closes and destroys it.
#include <QImage>
#include <QWidget>

class QLabel;

namespace parlivo {

class frmFScreen : public QWidget
{
    Q_OBJECT
public:
    explicit frmFScreen(QWidget *parent = nullptr);

    // Shows image in imngFscreen, which takes the picture's size.
    void setPicture(const QImage &image);

    QLabel *imngFscreen = nullptr;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
};

} // namespace parlivo
