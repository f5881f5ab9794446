// The yardstick for start-up: a bare Qt window of the main window's size that quits
// after its first paint. Compare with `PARLIVO_QUIT_AFTER_FIRST_FRAME=1 parlivo`.
// With --label the window shows one line of text, so the font set-up every window
// with text pays is counted too.
#include "app/FirstFrameProbe.h"

#include <QApplication>
#include <QLabel>
#include <QWidget>

int main(int argc, char **argv)
{
    qputenv("PARLIVO_QUIT_AFTER_FIRST_FRAME", "1");
    QApplication app(argc, argv);
    QWidget window;
    window.setFixedSize(752, 509);
    if (app.arguments().contains(QStringLiteral("--label")))
        new QLabel(QStringLiteral("Parlivo"), &window);
    parlivo::FirstFrameProbe::installIfAsked(&window);
    window.show();
    return app.exec();
}
