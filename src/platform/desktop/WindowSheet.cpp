#include "platform/desktop/WindowSheet.h"

#include "platform/desktop/WindowPlacement.h"

#include <QDialog>
#include <QEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>

namespace parlivo {

namespace {

constexpr int TitleHeight = 26;

class SheetVeil : public QWidget
{
public:
    SheetVeil(QWidget *owner, QDialog *dialog) : QWidget(owner), m_dialog(dialog)
    {
        setObjectName(QStringLiteral("dialogSheet"));
        setGeometry(owner->rect());
        owner->installEventFilter(this);
        dialog->installEventFilter(this);
        // Modal for the keyboard and assistive tools too: the window's own controls are
        // out of reach until the sheet is answered (Qt restores what was disabled before).
        for (QWidget *w : owner->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            if (w != this && !w->isWindow() && w->isEnabled()) {
                w->setEnabled(false);
                m_disabled << w;
            }
        }
    }
    ~SheetVeil() override { release(); }

    void release()
    {
        for (const QPointer<QWidget> &w : std::as_const(m_disabled))
            if (w)
                w->setEnabled(true);
        m_disabled.clear();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == parent() && event->type() == QEvent::Resize)
            setGeometry(parentWidget()->rect());
        if (watched == m_dialog && (event->type() == QEvent::Resize || event->type() == QEvent::Show))
            centre();
        return QWidget::eventFilter(watched, event);
    }
    void resizeEvent(QResizeEvent *) override { centre(); }
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.fillRect(rect(), QColor(0, 0, 0, 70));
        if (m_dialog) {
            // The sheet's own title bar, since it has no window frame to carry the title.
            const QRect dialog = m_dialog->geometry();
            const QRect bar(dialog.left(), dialog.top() - TitleHeight, dialog.width(), TitleHeight);
            p.fillRect(bar, palette().color(QPalette::Window).darker(112));
            QFont bold = font();
            bold.setBold(true);
            p.setFont(bold);
            p.setPen(palette().color(QPalette::WindowText));
            p.drawText(bar, Qt::AlignCenter, m_dialog->accessibleName());
            p.setPen(QPen(QColor(90, 90, 90), 1));
            p.drawRect(dialog.united(bar).adjusted(-1, -1, 0, 0));
        }
    }
    // Clicks on the window around the sheet go nowhere, as with a modal dialog.
    void mousePressEvent(QMouseEvent *) override {}

private:
    void centre()
    {
        if (!m_dialog)
            return;
        // A dialog larger than the window keeps its top-left corner inside it.
        const QSize s = m_dialog->size() + QSize(0, TitleHeight);
        m_dialog->move(std::max(0, (width() - s.width()) / 2),
                       std::max(0, (height() - s.height()) / 2) + TitleHeight);
        update();
    }

    QDialog *m_dialog;
    QList<QPointer<QWidget>> m_disabled;
};

} // namespace

void openOverWindow(QDialog *dialog)
{
    QWidget *owner = dialog->parentWidget() ? dialog->parentWidget()->window() : nullptr;
    if (!owner || topLevelPositionsHonoured()) {
        dialog->open();
        return;
    }
    auto *veil = new SheetVeil(owner, dialog);
    const QString title = dialog->windowTitle();
    dialog->setParent(veil, Qt::Widget);
    dialog->setAutoFillBackground(true);
    dialog->setAccessibleName(title);
    QObject::connect(dialog, &QDialog::finished, veil, [veil] {
        veil->release();
        veil->hide();
        veil->deleteLater();
    });
    veil->show();
    veil->raise();
    dialog->open();
    dialog->adjustSize();
    // Keys go to the sheet at once: Enter answers, Escape cancels.
    QWidget *first = nullptr;
    for (QPushButton *b : dialog->findChildren<QPushButton *>())
        if (b->isDefault())
            first = b;
    (first ? first : static_cast<QWidget *>(dialog))->setFocus(Qt::OtherFocusReason);
}

} // namespace parlivo
