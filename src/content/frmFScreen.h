#pragma once
// The full-screen picture: borderless, maximised, black, the picture at its own size
// from the top-left corner (shrunk to fit when larger than the screen). A click anywhere
// or Escape closes and destroys it.
#include <QImage>
#include <QWidget>

class QLabel;

namespace parlivo {

class frmFScreen : public QWidget
{
    Q_OBJECT
public:
    explicit frmFScreen(QWidget *parent = nullptr);

    // Shows image in imngFscreen, which takes the picture's size (or the largest size
    // that fits the window with the picture's proportions).
    void setPicture(const QImage &image);

    QLabel *imngFscreen = nullptr;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void fitPicture();
    QImage m_picture;
};

} // namespace parlivo
