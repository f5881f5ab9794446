#pragma once
// The one-line status field. A text longer than the field ends in "..." where it is cut,
// and the whole text is the field's tool tip and accessible description, so nothing a
// failure says is lost.
#include <QLineEdit>

namespace parlivo {

// What a screen reader says when the line changes: a notification inside the status bar
// that shows anew with each text, which screen readers on Linux speak as it appears.
class StatusAnnouncement : public QWidget
{
    Q_OBJECT
public:
    explicit StatusAnnouncement(QWidget *parent);
    void announce(const QString &text);
};

class StatusLine : public QLineEdit
{
    Q_OBJECT
public:
    explicit StatusLine(QWidget *parent = nullptr);

    // The description it carries while it shows no text.
    void setIdleDescription(const QString &description);
    // The text as drawn: the whole text when it fits, else its beginning and "...".
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QRect textArea() const;
    void textUpdated(const QString &text);
    QString m_idleDescription;
    StatusAnnouncement *m_announcement = nullptr;
};

} // namespace parlivo
