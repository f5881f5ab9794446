#include "platform/desktop/WindowSheet.h"

#include "platform/desktop/WindowPlacement.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>

namespace parlivo {

namespace {

constexpr int TitleHeight = 26;

class SheetVeil : public QWidget
{
public:
    SheetVeil(QWidget *owner, QWidget *sheet)
        : QWidget(owner), m_sheet(sheet), m_title(sheet->windowTitle()), m_opener(QApplication::focusWidget())
    {
        setObjectName(QStringLiteral("dialogSheet"));
        setGeometry(owner->rect());
        owner->installEventFilter(this);
        sheet->installEventFilter(this);
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

    // The sheet is gone: the window's controls work again, and the keyboard goes back to
    // the control that opened the sheet, unless it has already moved elsewhere.
    void end()
    {
        if (m_ended)
            return;
        m_ended = true;
        release();
        QWidget *focus = QApplication::focusWidget();
        const bool lost = !focus || focus == parentWidget() || isAncestorOf(focus);
        if (lost && m_opener && m_opener->isVisible() && m_opener->isEnabled())
            m_opener->setFocus(Qt::OtherFocusReason);
        hide();
        deleteLater();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == parent() && event->type() == QEvent::Resize)
            setGeometry(parentWidget()->rect());
        if (watched == m_sheet) {
            if (event->type() == QEvent::Resize || event->type() == QEvent::Show)
                centre();
            // Closing or hiding the sheet ends it; the veil's own hiding does not count.
            if (event->type() == QEvent::Hide && m_sheet->isHidden())
                end();
        }
        return QWidget::eventFilter(watched, event);
    }
    void childEvent(QChildEvent *event) override
    {
        // A sheet deleted while open ends too.
        if (event->removed() && event->child() == m_sheet)
            end();
        QWidget::childEvent(event);
    }
    void resizeEvent(QResizeEvent *) override { centre(); }
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.fillRect(rect(), QColor(0, 0, 0, 70));
        if (m_sheet) {
            // The sheet's own title bar, since it has no window frame to carry the title.
            const QRect sheet = m_sheet->geometry();
            const QRect bar(sheet.left(), sheet.top() - TitleHeight, sheet.width(), TitleHeight);
            p.fillRect(bar, palette().color(QPalette::Window).darker(112));
            QFont bold = font();
            bold.setBold(true);
            p.setFont(bold);
            p.setPen(palette().color(QPalette::WindowText));
            p.drawText(bar, Qt::AlignCenter, m_title);
            p.setPen(QPen(QColor(90, 90, 90), 1));
            p.drawRect(sheet.united(bar).adjusted(-1, -1, 0, 0));
        }
    }
    // Clicks on the window around the sheet go nowhere, as with a modal dialog.
    void mousePressEvent(QMouseEvent *) override {}
    // Keys the sheet's controls leave alone arrive here: Escape closes a sheet that is not a
    // dialog (a dialog rejects on Escape by itself), as the window's close button would.
    void keyPressEvent(QKeyEvent *event) override
    {
        if (event->key() == Qt::Key_Escape && m_sheet && !qobject_cast<QDialog *>(m_sheet)) {
            m_sheet->close();
            return;
        }
        QWidget::keyPressEvent(event);
    }

private:
    void release()
    {
        for (const QPointer<QWidget> &w : std::as_const(m_disabled))
            if (w)
                w->setEnabled(true);
        m_disabled.clear();
    }
    void centre()
    {
        if (!m_sheet)
            return;
        // A sheet larger than the window keeps its top-left corner inside it.
        const QSize s = m_sheet->size() + QSize(0, TitleHeight);
        m_sheet->move(std::max(1, (width() - s.width()) / 2),
                      std::max(0, (height() - s.height()) / 2) + TitleHeight);
        update();
    }

    QPointer<QWidget> m_sheet;
    QString m_title;
    QPointer<QWidget> m_opener;
    QList<QPointer<QWidget>> m_disabled;
    bool m_ended = false;
};

SheetVeil *putOnSheet(QWidget *sheet, QWidget *owner)
{
    auto *veil = new SheetVeil(owner, sheet);
    const QString title = sheet->windowTitle();
    sheet->setParent(veil, Qt::Widget);
    sheet->setAutoFillBackground(true);
    // A window is known by its title; a sheet has none, so it carries it as its name.
    if (sheet->accessibleName().isEmpty() || qobject_cast<QDialog *>(sheet))
        sheet->setAccessibleName(title);
    veil->show();
    veil->raise();
    return veil;
}

// The control inside the sheet that takes the keyboard first: the one the sheet chose for
// itself, else the first that takes Tab.
QWidget *firstControl(QWidget *sheet)
{
    QWidget *chosen = sheet->focusWidget();
    if (chosen && sheet->isAncestorOf(chosen) && chosen->isEnabled() && chosen->isVisibleTo(sheet))
        return chosen;
    QWidget *w = sheet->nextInFocusChain();
    for (int guard = 0; w != sheet && guard < 1000; ++guard, w = w->nextInFocusChain())
        if (sheet->isAncestorOf(w) && w->isVisibleTo(sheet) && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus))
            return w;
    return sheet;
}

} // namespace

QSize sheetRoom(const QWidget *owner)
{
    const QSize window = owner ? owner->window()->size() : QSize();
    return QSize(std::max(0, window.width() - 2), std::max(0, window.height() - TitleHeight - 2));
}

void openOverWindow(QDialog *dialog)
{
    QWidget *owner = dialog->parentWidget() ? dialog->parentWidget()->window() : nullptr;
    if (!owner || topLevelPositionsHonoured()) {
        dialog->open();
        return;
    }
    putOnSheet(dialog, owner);
    dialog->open();
    dialog->adjustSize();
    // A resizable dialog (the file dialog) is kept inside the window.
    dialog->resize(dialog->size().boundedTo(sheetRoom(owner)).expandedTo(dialog->minimumSize()));
    // Keys go to the sheet at once: Enter answers, Escape cancels.
    QWidget *first = nullptr;
    for (QPushButton *b : dialog->findChildren<QPushButton *>())
        if (b->isDefault())
            first = b;
    (first ? first : static_cast<QWidget *>(dialog))->setFocus(Qt::OtherFocusReason);
}

void openAsSheet(QWidget *window, QWidget *owner)
{
    if (!window || !owner)
        return;
    QWidget *first = firstControl(window);
    putOnSheet(window, owner->window());
    window->show();
    window->raise();
    first->setFocus(Qt::OtherFocusReason);
}

} // namespace parlivo
