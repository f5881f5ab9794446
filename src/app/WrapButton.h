#pragma once
// A push button whose caption wraps onto several lines: the window's captions are
// sentences, and the buttons have fixed places.
#include <QPushButton>

namespace parlivo {

class WrapButton : public QPushButton
{
    Q_OBJECT
public:
    using QPushButton::QPushButton;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace parlivo
