#include "app/dialogs/frmError.h"
#include "platform/desktop/WindowPlacement.h"

#include "app/widgets/Accessible.h"
#include "app/widgets/Fitting.h"
#include "app/widgets/FocusReturn.h"

#include <QAccessible>
#include "publish/LinkDelivery.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace parlivo {

frmError::frmError(QWidget *parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
{
    // An alert to screen readers, named by its first words and described by the rest.
    installAccessibleRoles();
    setProperty(AccessibleRoleProperty, int(QAccessible::AlertMessage));
    setObjectName(QStringLiteral("frmError"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Error"));
    setAccessibleName(QStringLiteral("ERROR: Action cancelled!"));
    setFixedSize(420, 160);

    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(200, 0, 0));
    pal.setColor(QPalette::WindowText, Qt::white);
    setPalette(pal);
    setAutoFillBackground(true);

    Label1 = new QLabel(errorNoticeText(), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1->setAccessibleName(Label1->text().simplified());
    setAccessibleDescription(Label1->text().simplified().mid(accessibleName().size()).trimmed());
    // White on this red reads at about 5.9:1; the application's style sheet would
    // otherwise give the label its dark text colour.
    Label1->setStyleSheet(QStringLiteral("color: white;"));
    QFont f = Label1->font();
    f.setBold(true);
    Label1->setFont(f);

    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    Button1->setFixedWidth(90);
    connect(Button1, &QPushButton::clicked, this, &frmError::Button1_Click);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 16, 18, 14);
    layout->addWidget(Label1, 1);
    layout->addWidget(Button1, 0, Qt::AlignHCenter);
}

void frmError::showCentred(QWidget *over)
{
    QScreen *screen = over && over->screen() ? over->screen() : QGuiApplication::primaryScreen();
    // Where the compositor places windows, it centres the notice on the window it belongs to.
    belongTo(this, over);
    if (screen && topLevelPositionsHonoured())
        move(screen->geometry().center() - rect().center());
    if (!isVisible())
        returnFocusWhenClosed(this);
    show();
    raise();
    activateWindow();
    Button1->setFocus();
    QAccessibleEvent alert(this, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
}

void frmError::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    fitCaptions(this);
}

void frmError::Button1_Click()
{
    close();
}

void frmError::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace parlivo
