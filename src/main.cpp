// parlivo: give a short message its voice and publish it as a small web page.
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "app/DisplayChoice.h"
#include "app/FirstFrameProbe.h"
#include "app/RealPlatform.h"
#include "app/SignalCloser.h"
#include "app/instance/SingleInstance.h"
#include "app/instance/WindowReturn.h"
#include "message/AppLocation.h"
#include "app/widgets/Style.h"
#include "app/frmMAIN.h"
#include "platform/desktop/WindowPlacement.h"

#include <QApplication>
#include <QIcon>
#include <QScreen>

int main(int argc, char **argv)
{
    parlivo::quietenRuntimeDirectoryWarning();
    const parlivo::ProgramRequest request = parlivo::handleProgramArguments(argc, argv);
    if (!request.openWindow)
        return request.exitCode;

    {
        const parlivo::DisplayChoice display = parlivo::chooseDisplay(parlivo::DisplayEnvironment::current());
        const parlivo::CommandLine program{QString(), QString()};
        if (!display.canOpen)
            return program.failure(display.note);
        if (!display.note.isEmpty())
            program.warn(display.note);
        if (!display.forcePlatform.isEmpty())
            qputenv("QT_QPA_PLATFORM", display.forcePlatform.toLatin1());
    }
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
        if (instance.askRunningToRaise(1500, parlivo::SingleInstance::takeActivationToken()))
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
    QObject::connect(&instance, &parlivo::SingleInstance::raiseRequested, &window,
                     [&window](const QString &token) { parlivo::bringBack(&window, token); });
    window.Form_Load();
    // Where the compositor places windows it opens them where it likes (mutter: centred).
    if (QScreen *screen = window.screen(); screen && parlivo::topLevelPositionsHonoured())
        window.move(screen->availableGeometry().center() - window.rect().center());
    parlivo::FirstFrameProbe::installIfAsked(&window);
    window.show();
    return app.exec();
}
