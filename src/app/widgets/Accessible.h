#pragma once
// What the program's own widgets are to assistive technology (screen readers read the
// roles, names, states and values given here over the desktop's accessibility bus).
#include <QFrame>
#include <QLabel>

namespace parlivo {

// A heading over a step or a panel: read as a heading, named by its text.
class Heading : public QLabel
{
    Q_OBJECT
public:
    using QLabel::QLabel;
};

// A panel that holds the controls of one step: a named group.
class GroupPanel : public QFrame
{
    Q_OBJECT
public:
    using QFrame::QFrame;
};

// Presents the program's buttons (with their pop-up state and access key), headings,
// panels, the status line, the level meter, and any widget given an accessibleRole
// property. Safe to call more than once.
void installAccessibleRoles();

// Names the scroll bars of every scrolling control under root after the control itself.
void nameScrollBars(QWidget *root);

// The dynamic property that gives one of the program's own widget classes (a window such
// as the error notice) another role than Qt's default; holds a QAccessible::Role.
inline constexpr const char *AccessibleRoleProperty = "accessibleRole";
// The dynamic property of a control that pops a menu up (a QMenu *): it reports has-popup.
inline constexpr const char *PopupMenuProperty = "popupMenu";

} // namespace parlivo
