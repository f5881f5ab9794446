#pragma once
// A push button whose caption wraps onto several lines: the window's captions are
// sentences, and the buttons have fixed places.
#include <QFont>
#include <QPushButton>

namespace parlivo {

class WrapButton : public QPushButton
{
    Q_OBJECT
public:
    using QPushButton::QPushButton;
    QSize sizeHint() const override;
    // Alt+letter presses the button; the first letter of the caption that begins a word
    // and matches is underlined (else the first that matches). The caption's words and
    // text() stay as they are.
    void setAccessKey(QChar letter);

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // The largest font (down to a floor) at which the caption fits the area; laying text
    // out is the dear part of painting, so it is worked out once per caption and size.
    QFont fittedFont(const QRect &area);
    // The caption as drawn: other ampersands doubled, the access key's letter marked.
    QString drawnCaption() const;
    QChar m_accessKey;
    QFont m_fitted;
    QString m_fittedFor;
    QSize m_fittedSize;
};

} // namespace parlivo
