#pragma once
// Choosing in lists the way a person does: real mouse events on the item where it is
// drawn, so the widgets' own signal order is what the handlers see.
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QListWidget>
#include <QMenu>
#include <QTest>
#include <gtest/gtest.h>

namespace parlivo::test {

inline void clickRow(QAbstractItemView *view, const QModelIndex &index)
{
    view->scrollTo(index);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
}

// QTest's double click is the second click alone; a person's begins with a click.
inline void doubleClickRow(QAbstractItemView *view, const QModelIndex &index)
{
    clickRow(view, index);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
}

inline void clickItem(QListWidget *list, const QString &text)
{
    const QList<QListWidgetItem *> found = list->findItems(text, Qt::MatchExactly);
    if (found.size() != 1) {
        ADD_FAILURE() << "no single entry " << text.toStdString();
        return;
    }
    clickRow(list, list->indexFromItem(found.first()));
}

// Opens the combo box's pop-up with a click and clicks the entry at row.
inline void chooseInCombo(QComboBox *combo, int row)
{
    QTest::mouseClick(combo, Qt::LeftButton);
    QAbstractItemView *popup = combo->view();
    if (!QTest::qWaitFor([popup] { return popup->isVisible(); }, 2000)) {
        ADD_FAILURE() << "the pop-up of " << combo->objectName().toStdString() << " did not open";
        return;
    }
    // The pop-up ignores a release that comes as quickly as a double click would.
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    const QModelIndex index = combo->model()->index(row, combo->modelColumn(), combo->rootModelIndex());
    QTest::mouseClick(popup->viewport(), Qt::LeftButton, {}, popup->visualRect(index).center());
}

// Clicks the button that pops the menu up, then clicks the entry where the menu draws it.
inline void chooseInMenu(QWidget *opener, QMenu *menu, QAction *entry)
{
    QTest::mouseClick(opener, Qt::LeftButton);
    if (!QTest::qWaitFor([menu] { return menu->isVisible(); }, 2000)) {
        ADD_FAILURE() << "the menu " << menu->objectName().toStdString() << " did not open";
        return;
    }
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(entry).center());
}

} // namespace parlivo::test
