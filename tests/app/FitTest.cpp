// Every caption of every panel shows whole at the desktop's font and at 1.25 times it, the
// status line keeps its whole text, and a window too large for the screen is made to fit.
#include "app/dialogs/frmError.h"
#include "app/dialogs/frnAbout.h"
#include "app/widgets/Fitting.h"
#include "app/widgets/StatusLine.h"
#include "app/widgets/Style.h"
#include "fakes/FakePlatform.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QLineEdit>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <gtest/gtest.h>

using namespace parlivo;
using namespace parlivo::test;

namespace {

// What of w's text does not show inside its rectangle; empty when all of it does.
QString cutText(QWidget *w)
{
    const QFontMetrics fm = w->fontMetrics();
    auto wrappedHeight = [&fm](const QString &text, int width) {
        return fm.boundingRect(QRect(0, 0, width, 100000), Qt::TextWordWrap, text).height();
    };
    if (auto *label = qobject_cast<QLabel *>(w); label && !label->text().isEmpty() && label->pixmap().isNull()) {
        const QRect r = label->contentsRect();
        if (label->wordWrap() ? wrappedHeight(label->text(), r.width()) > r.height()
                              : fm.horizontalAdvance(label->text()) > r.width() || fm.height() > r.height())
            return label->text();
    } else if (auto *button = qobject_cast<QPushButton *>(w); button && !button->text().isEmpty()) {
        QStyleOptionButton option;
        option.initFrom(button);
        const QRect r = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        if (wrappedHeight(button->text(), r.width() - 6) > r.height() || fm.height() > r.height())
            return button->text();
    } else if (auto *box = qobject_cast<QGroupBox *>(w)) {
        if (fm.horizontalAdvance(box->title()) > box->width() - 12)
            return box->title();
    } else if (auto *combo = qobject_cast<QComboBox *>(w)) {
        QStyleOptionComboBox option;
        option.initFrom(combo);
        const int room = combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo).width();
        for (int i = 0; i < combo->count(); ++i) {
            const QString text = combo->itemText(i);
            if (fm.horizontalAdvance(text) > std::max(combo->width(), combo->view()->minimumWidth()) - 20)
                return text + " (in the open list)";
            if (fm.horizontalAdvance(text) > room && combo->itemData(i, Qt::ToolTipRole).toString() != text)
                return text + " (without a tool tip)";
        }
    } else if (auto *edit = qobject_cast<QLineEdit *>(w); edit && edit->isReadOnly() && !qobject_cast<StatusLine *>(w)) {
        if (fm.horizontalAdvance(edit->text()) > edit->contentsRect().width() - 4)
            return edit->text();
    }
    return {};
}

QStringList cutTexts(QWidget *window, const QString &panel)
{
    QStringList out;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (w->isWindow() || !w->isVisibleTo(window))
            continue;
        const QString cut = cutText(w);
        if (!cut.isEmpty())
            out << panel + "/" + w->objectName() + ": " + cut;
    }
    return out;
}

class Captions : public ::testing::TestWithParam<double>
{
protected:
    void SetUp() override
    {
        applyStyle(*qApp);
        QFont desktop(QStringLiteral("DejaVu Sans"));
        desktop.setPointSizeF(10 * GetParam());
        QApplication::setFont(desktop);
    }
    void TearDown() override
    {
        qApp->setStyleSheet(QString());
        QApplication::setFont(m_font);
    }
    QFont m_font = QApplication::font();
};

} // namespace

TEST_P(Captions, ShowWholeInEveryPanel)
{
    FakePlatform fake;
    std::unique_ptr<frmMAIN> w = fake.makeWindow();
    w->Combo2->addItem(QStringLiteral("Portuguese (Brazil) with a rather long variant name"));
    w->show();
    QStringList cut = cutTexts(w.get(), "intro");
    w->Label6_Click();
    cut << cutTexts(w.get(), "choice");
    w->Button13_Click();
    cut << cutTexts(w.get(), "microphone");
    w->Button14_Click();
    cut << cutTexts(w.get(), "speech");

    frnAbout about(fake.platform(), fake.appFolder());
    about.show();
    cut << cutTexts(&about, "about");
    frmError notice;
    notice.setAttribute(Qt::WA_DeleteOnClose, false);
    notice.show();
    cut << cutTexts(&notice, "error");
    // White on the notice's red: about 5.9:1, where dark text gave about 3:1.
    EXPECT_EQ(notice.Label1->palette().color(QPalette::WindowText), QColor(Qt::white));
    w->Button5->click();
    if (auto *viewer = w->findChild<QWidget *>("frmviewer"))
        cut << cutTexts(viewer, "viewer");
    else
        ADD_FAILURE() << "no picture viewer";
    EXPECT_TRUE(cut.isEmpty()) << cut.join('\n').toStdString();
}

INSTANTIATE_TEST_SUITE_P(DesktopFont, Captions, ::testing::Values(1.0, 1.25));

TEST(StatusLineText, EndsInDotsWhenTooLongAndCarriesTheWholeText)
{
    StatusLine line;
    line.resize(200, 24);
    line.setIdleDescription("Progress");
    const QString failure = "Publishing stopped: the server refused the connection because the account is locked";
    line.setText(failure);
    EXPECT_TRUE(line.shownText().endsWith(QChar(0x2026)) || line.shownText().endsWith("..."));
    EXPECT_TRUE(failure.startsWith(line.shownText().chopped(1)));
    EXPECT_EQ(line.toolTip(), failure);
    EXPECT_EQ(line.accessibleDescription(), failure);
    line.setText("Done");
    EXPECT_EQ(line.shownText(), "Done");
    line.clear();
    EXPECT_EQ(line.accessibleDescription(), "Progress");
}

TEST(ScreenFit, ALargeFixedWindowShrinksAndOpensInsideTheFreeArea)
{
    const QRect available(0, 0, 683, 400);   // 1366 x 800 at twice the scale
    const double factor = fitScale(QSize(752, 509), available);
    EXPECT_NEAR(factor, 400.0 / 509, 1e-9);
    QWidget window;
    window.setFixedSize(752, 509);
    auto *child = new QLabel(QStringLiteral("Status"), &window);
    child->setGeometry(32, 448, 681, 33);
    auto *menu = new QMenu(&window);   // a pop-up: its text shrinks with the window
    const qreal menuPoints = menu->font().pointSizeF();
    scaleFixedLayout(&window, factor);
    EXPECT_LE(window.height(), 400);
    EXPECT_TRUE(window.rect().contains(child->geometry()));
    EXPECT_NEAR(menu->font().pointSizeF(), menuPoints * factor, 0.01);
    EXPECT_EQ(placeInside(window.size(), QPoint(0, 0), available), QPoint(0, 0));
    EXPECT_EQ(placeInside(QSize(800, 500), QPoint(300, 200), available), QPoint(0, 0));
    EXPECT_EQ(placeInside(QSize(200, 100), QPoint(683, 400), available), QPoint(483, 300));
}
