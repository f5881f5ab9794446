#include "app/widgets/Style.h"

#include <QApplication>
#include <QFont>

namespace parlivo {

void applyStyle(QApplication &app)
{
    QFont font = app.font();
    font.setPointSizeF(9);
    app.setFont(font);
    app.setStyleSheet(QStringLiteral(R"(
        QFrame#Frame2, QFrame#Frame3, QFrame#Frame4, QFrame#Frame7 {
            background: rgba(255, 255, 255, 235); border: 1px solid #b9c6dc; border-radius: 8px; }
        QLabel[role="heading"] { font-weight: bold; color: #1f3d73; }
        QLabel#Label14 { font-size: 20px; font-weight: bold; color: #1f3d73; }
        QLabel[role="titlebutton"] { font-size: 16px; font-weight: bold; color: #1f3d73;
            border-radius: 6px; background: transparent; }
        QLabel[role="titlebutton"]:hover { background: rgba(47, 111, 208, 45); }
        QLabel#Label12:hover { background: #e5484d; color: white; }
        QLabel[role="start"] { font-size: 17px; font-weight: bold; color: white;
            background: #2f6fd0; border-radius: 10px; }
        QLabel[role="start"]:hover { background: #3d7fe3; }
        QLabel#Label23 { color: #2a5db0; text-decoration: underline; font-size: 14px; }
        QLabel#Label1 { font-size: 13px; color: #233; }
        QLabel#Label22 { color: #2a5db0; font-style: italic; }
        QLineEdit#Text1 { background: #f5f8fd; border: 1px solid #b9c6dc; border-radius: 4px; padding: 2px 6px; color: #123; }
        QLineEdit#Label7 { background: transparent; color: #334; padding-top: 8px; }
        QLabel#Label18 { font-size: 10px; color: #1f3d73; font-weight: bold; }
        QPushButton { background: #f4f7fc; border: 1px solid #9fb2d3; border-radius: 5px; padding: 2px 6px; color: #13294b; }
        QPushButton:hover { background: #e3ecfa; }
        QPushButton:pressed { background: #cbd9f2; }
        QPushButton:focus { border: 2px solid #2f6fd0; }
        QPushButton#Button2 { background: #2f6fd0; color: white; font-weight: bold; border: none; }
        QPushButton#Button2:hover { background: #3d7fe3; }
        QPushButton#Button3 { background: #2e9d5b; color: white; font-weight: bold; border: none; }
        QPushButton#Button3:hover { background: #38b56a; }
        QPushButton#cmdRecRecord { color: #b3261e; font-weight: bold; }
    )"));
}

} // namespace parlivo
