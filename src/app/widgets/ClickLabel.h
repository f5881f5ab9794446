#pragma once
// A label (or picture) that acts as a button: it reacts to a click, can take keyboard
// focus (Space or Enter presses it) and presents itself to assistive technology as a
// button with a "Press" action.
#include <QLabel>

namespace parlivo {

class ClickLabel : public QLabel
{
    Q_OBJECT
public:
    explicit ClickLabel(const QString &text, QWidget *parent = nullptr);
    explicit ClickLabel(QWidget *parent = nullptr) : ClickLabel(QString(), parent) {}

    // Makes the accessibility layer present every ClickLabel as a button.
    static void installAccessibility();

Q_SIGNALS:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    bool m_pressed = false;
};

} // namespace parlivo
