#include "app/widgets/Fitting.h"
#include "platform/desktop/WindowPlacement.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace parlivo {

namespace {

// The area a push button's caption may use (as WrapButton draws it).
QRect captionArea(const QPushButton *button)
{
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    return button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button).adjusted(3, 0, -3, 0);
}

bool fitsIn(const QFontMetrics &fm, const QRect &area, const QString &text, bool wrap)
{
    if (area.width() <= 0 || area.height() <= 0)
        return false;
    if (!wrap)
        return fm.horizontalAdvance(text) <= area.width() && fm.height() <= area.height();
    const QRect need = fm.boundingRect(QRect(0, 0, area.width(), 100000), Qt::TextWordWrap, text);
    return need.width() <= area.width() && need.height() <= area.height();
}

// Whether the control's caption shows whole in font f; false for controls without one.
bool captionFits(const QWidget *w, const QFont &f, bool *hasCaption)
{
    const QFontMetrics fm(f);
    *hasCaption = true;
    if (auto *label = qobject_cast<const QLabel *>(w)) {
        if (label->text().isEmpty() || label->pixmap().isNull() == false)
            return *hasCaption = false, true;
        return fitsIn(fm, label->contentsRect(), label->text(), label->wordWrap());
    }
    if (auto *button = qobject_cast<const QPushButton *>(w)) {
        if (button->text().isEmpty())
            return *hasCaption = false, true;
        return fitsIn(fm, captionArea(button), button->text(), button->inherits("parlivo::WrapButton"));
    }
    if (auto *box = qobject_cast<const QGroupBox *>(w)) {
        if (box->title().isEmpty())
            return *hasCaption = false, true;
        return fm.horizontalAdvance(box->title()) <= box->width() - 12;
    }
    if (auto *field = qobject_cast<const QLineEdit *>(w); field && field->isReadOnly() && !field->text().isEmpty()
                                                          && !field->inherits("parlivo::StatusLine"))
        return fm.horizontalAdvance(field->text()) <= field->contentsRect().width() - 4;
    *hasCaption = false;
    return true;
}

void fitOne(QWidget *w)
{
    w->ensurePolished();
    QFont f = w->font();
    bool hasCaption = false;
    if (captionFits(w, f, &hasCaption) || !hasCaption)
        return;
    const bool byPixels = f.pointSizeF() <= 0;
    double size = byPixels ? f.pixelSize() * 0.75 : f.pointSizeF();
    while (size > SmallestCaptionPointSize) {
        size = std::max(SmallestCaptionPointSize, size - 0.5);
        f.setPointSizeF(size);
        if (captionFits(w, f, &hasCaption))
            break;
    }
    w->setFont(f);
}

void updatePopup(QComboBox *combo)
{
    QStyleOptionComboBox option;
    option.initFrom(combo);
    const int room = combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo).width();
    const QFontMetrics fm(combo->view() ? combo->view()->font() : combo->font());
    int widest = 0;
    for (int i = 0; i < combo->count(); ++i) {
        const QString text = combo->itemText(i);
        const int advance = fm.horizontalAdvance(text);
        widest = std::max(widest, advance);
        const QString tip = advance > room ? text : QString();
        if (combo->itemData(i, Qt::ToolTipRole).toString() != tip)
            combo->setItemData(i, tip.isEmpty() ? QVariant() : QVariant(tip), Qt::ToolTipRole);
    }
    // Room for the item's margins, a check mark and a scroll bar.
    const int scrollBar = combo->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, combo);
    if (combo->view())
        combo->view()->setMinimumWidth(std::max(combo->width(), widest + 28 + scrollBar));
    const QString current = combo->currentText();
    combo->setToolTip(fm.horizontalAdvance(current) > room ? current : QString());
}

} // namespace

void fitCaptions(QWidget *root)
{
    fitOne(root);
    for (QWidget *w : root->findChildren<QWidget *>()) {
        if (!w->isWindow())
            fitOne(w);
    }
}

void widenPopup(QComboBox *combo)
{
    QAbstractItemModel *model = combo->model();
    auto update = [combo] { updatePopup(combo); };
    QObject::connect(model, &QAbstractItemModel::rowsInserted, combo, update);
    QObject::connect(model, &QAbstractItemModel::rowsRemoved, combo, update);
    QObject::connect(model, &QAbstractItemModel::modelReset, combo, update);
    QObject::connect(combo, &QComboBox::currentIndexChanged, combo, update);
    update();
}

double fitScale(QSize outer, const QRect &available)
{
    if (outer.isEmpty() || available.isEmpty())
        return 1.0;
    return std::min({1.0, double(available.width()) / outer.width(), double(available.height()) / outer.height()});
}

void scaleFixedLayout(QWidget *window, double factor)
{
    if (factor >= 1.0 || factor <= 0)
        return;
    auto scaled = [factor](const QRect &r) {
        const int left = int(std::floor(r.left() * factor)), top = int(std::floor(r.top() * factor));
        const int right = int(std::ceil((r.left() + r.width()) * factor));
        const int bottom = int(std::ceil((r.top() + r.height()) * factor));
        return QRect(left, top, right - left, bottom - top);
    };
    // Read every font first: setting a parent's font would otherwise reach the children
    // before their own turn and scale them twice.
    QList<QWidget *> widgets{window};
    for (QWidget *w : window->findChildren<QWidget *>())
        if (!w->isWindow())
            widgets << w;
    // Its pop-up menus are windows of their own but part of its layout: their text shrinks
    // with it, or a menu no longer fits beside its control and is pushed aside. Only their
    // fonts change.
    const QList<QMenu *> menus = window->findChildren<QMenu *>();
    for (QMenu *menu : menus)
        widgets << menu;
    QList<QFont> fonts;
    for (QWidget *w : widgets)
        fonts << w->font();
    for (qsizetype i = 0; i < widgets.size(); ++i) {
        QWidget *w = widgets[i];
        QFont f = fonts[i];
        if (f.pointSizeF() > 0)
            f.setPointSizeF(f.pointSizeF() * factor);
        else if (f.pixelSize() > 0)
            f.setPixelSize(std::max(1, int(std::lround(f.pixelSize() * factor))));
        w->setFont(f);
        if (w->isWindow() && w != window)
            continue;
        if (w == window) {
            const QSize s(int(std::lround(w->width() * factor)), int(std::lround(w->height() * factor)));
            if (w->minimumSize() == w->maximumSize())
                w->setFixedSize(s);
            else
                w->resize(s);
        } else {
            w->setGeometry(scaled(w->geometry()));
            if (auto *label = qobject_cast<QLabel *>(w); label && !label->pixmap().isNull())
                label->setScaledContents(true);
        }
    }
}

QPoint placeInside(QSize outer, QPoint centre, const QRect &available)
{
    const int x = centre.x() - outer.width() / 2, y = centre.y() - outer.height() / 2;
    const int maxX = std::max(available.left(), available.left() + available.width() - outer.width());
    const int maxY = std::max(available.top(), available.top() + available.height() - outer.height());
    return {std::clamp(x, available.left(), maxX), std::clamp(y, available.top(), maxY)};
}

QRect usableArea(const QRect &available, bool panelsKnown)
{
    // Wayland tells a program nothing of the desktop's panels, so the whole output is
    // "available". Allowing 48 pixels each way fits the common layouts: a top bar or a
    // bottom panel (32 to 44 pixels), or a dock at one side.
    return panelsKnown ? available : available.marginsRemoved(QMargins(24, 24, 24, 24));
}

void fitInto(QWidget *window, QSize room)
{
    const double factor = fitScale(window->size(), QRect(QPoint(), room));
    if (factor < 1.0) {
        scaleFixedLayout(window, factor);
        fitCaptions(window);
    }
}

void openInsideScreen(QWidget *window, QPoint centre)
{
    QScreen *screen = QGuiApplication::screenAt(centre);
    if (!screen)
        screen = window->screen();
    if (!screen)
        return;
    const bool placeable = topLevelPositionsHonoured();
    const QRect available = usableArea(availableArea(screen), placeable);
    // The frame is not known before the window manager has framed the window: allow for
    // a title bar and borders unless the window has none.
    const bool framed = !(window->windowFlags() & Qt::FramelessWindowHint);
    const QMargins frame = framed ? QMargins(4, 30, 4, 4) : QMargins();
    const QSize outer = window->size().grownBy(frame);
    const double factor = fitScale(outer, available);
    if (factor < 1.0) {
        scaleFixedLayout(window, factor);
        fitCaptions(window);
    }
    // Where the compositor places windows, a move would only change Qt's books; dialogs
    // that belong to a window are centred on it by the compositor.
    if (!placeable)
        return;
    const QSize fitted = window->size().grownBy(frame);
    window->move(placeInside(fitted, centre, available) + QPoint(frame.left(), frame.top()));
    if (!framed)
        return;
    QPointer<QWidget> guard(window);
    QTimer::singleShot(400, window, [guard, available] {
        if (!guard || !guard->isVisible())
            return;
        const QRect real = guard->frameGeometry();
        if (!available.contains(real))
            guard->move(placeInside(real.size(), real.center(), available) + (guard->pos() - real.topLeft()));
    });
}

} // namespace parlivo
