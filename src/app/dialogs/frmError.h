#pragma once
// The red notice shown when there is no fresh link to copy: borderless, centred on the
// screen, closed by its OK button. It never blocks the main window.
#include <QWidget>

class QLabel;
class QPushButton;

namespace parlivo {

class frmError : public QWidget
{
    Q_OBJECT
public:
    explicit frmError(QWidget *parent = nullptr);

    // Shows the notice in the middle of the screen the main window is on.
    void showCentred(QWidget *over = nullptr);

    QLabel *Label1 = nullptr;
    QPushButton *Button1 = nullptr;

public Q_SLOTS:
    void Button1_Click();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;
};

} // namespace parlivo
