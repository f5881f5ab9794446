// parlivo: give a short message its voice and publish it as a small web page.
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "app/FirstFrameProbe.h"
#include "app/RealPlatform.h"
#include "app/SignalCloser.h"
#include "app/instance/SingleInstance.h"
#include "message/AppLocation.h"
#include "app/widgets/Style.h"
#include "app/frmMAIN.h"

#include <QApplication>
#include <QIcon>
#include <QScreen>

namespace {

void bringForward(QWidget *window)
{
    window->showNormal();
    window->raise();
    window->activateWindow();
}

} // namespace

int main(int argc, char **argv)
{
    parlivo::quietenRuntimeDirectoryWarning();
    const parlivo::ProgramRequest request = parlivo::handleProgramArguments(argc, argv);
    if (!request.openWindow)
        return request.exitCode;

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Parlivo"));
    QApplication::setApplicationVersion(QStringLiteral(PARLIVO_VERSION));
    // The desktop matches the window to its menu entry (and so to its icon) by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.parlivo.Parlivo"));

    const QString exeFolder = QCoreApplication::applicationDirPath();
    const QString appFolder = parlivo::locateApplicationFolder(exeFolder);
    const QString workingBase =
        parlivo::chooseWorkingBase(appFolder, exeFolder, parlivo::UserFolders::fromEnvironment());
    parlivo::SingleInstance instance(workingBase);
    if (!instance.acquire()) {
        const parlivo::CommandLine program{QString(), QString()};
        if (instance.askRunningToRaise())
            program.warn(QStringLiteral("Parlivo is already open; its window was brought forward"));
        else
            program.warn(QStringLiteral("Parlivo is already open (%1 is locked)").arg(instance.lockPath()));
        return 0;
    }

    parlivo::applyStyle(app);
    QApplication::setWindowIcon(QIcon(appFolder + QStringLiteral("/icons/org.parlivo.Parlivo.svg")));
    parlivo::RealPlatform real(appFolder);
    parlivo::frmMAIN window(real.platform(), parlivo::WorkingFolders(appFolder, workingBase));
    parlivo::SignalCloser closer(&window);
    QObject::connect(&instance, &parlivo::SingleInstance::raiseRequested, &window, [&window] { bringForward(&window); });
    window.Form_Load();
    if (QScreen *screen = window.screen())
        window.move(screen->availableGeometry().center() - window.rect().center());
    parlivo::FirstFrameProbe::installIfAsked(&window);
    window.show();
    return app.exec();
}
