// Cost of one frame of the help character (pose, vector drawing, hard edges and window
// mask) and of loading its data. Usage: bench_character_frames [APP_FOLDER] [--png DIR]
// With --png, writes a contact sheet of poses (one per animation, mid-way) to DIR.
#include "platform/character/CharacterAgent.h"
#include "platform/character/CharacterWindow.h"

#include <QApplication>
#include <QBitmap>
#include <QElapsedTimer>
#include <QPainter>
#include <cstdio>

using namespace parlivo;

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QString folder = QCoreApplication::applicationDirPath() + QStringLiteral("/../app");
    QString pngDir;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--png") && i + 1 < args.size())
            pngDir = args[++i];
        else
            folder = args[i];
    }
    QElapsedTimer t;
    t.start();
    QString error;
    auto data = CharacterData::load(folder + QStringLiteral("/character/Merlin.json"), &error);
    if (!data) {
        std::fprintf(stderr, "cannot load the character: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("load: %.1f ms\n", double(t.nsecsElapsed()) / 1e6);

    const QStringList names = data->animationNames();
    const int frames = 300;
    t.restart();
    for (int i = 0; i < frames; ++i) {
        CharacterPose pose;
        const CharacterAnimation *a = data->animation(names[i % names.size()]);
        a->sample(a->duration * 0.4, pose);
        QImage img(data->size, QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::transparent);
        QPainter p(&img);
        data->render(p, pose, i * 0.033);
        p.end();
        hardenAlpha(img);
        QBitmap::fromImage(img.createAlphaMask());
    }
    std::printf("frame: %.2f ms (mean of %d, budget 33 ms at 30 fps)\n", double(t.nsecsElapsed()) / 1e6 / frames, frames);

    if (!pngDir.isEmpty()) {
        const int cols = 5, rows = int((names.size() + cols - 1) / cols);
        QImage sheet(cols * data->size.width(), rows * (data->size.height() + 16), QImage::Format_ARGB32);
        sheet.fill(QColor(0xdd, 0xdd, 0xe8));
        QPainter sp(&sheet);
        for (int i = 0; i < names.size(); ++i) {
            const CharacterAnimation *a = data->animation(names[i]);
            CharacterPose pose;
            a->sample(a->loop ? 0.5 : a->duration * 0.45, pose);
            if (names[i] == QLatin1String("Idle"))
                pose[QStringLiteral("mouth.open")] = 0.7;
            QImage img(data->size, QImage::Format_ARGB32_Premultiplied);
            img.fill(Qt::transparent);
            QPainter p(&img);
            data->render(p, pose, 1.0);
            p.end();
            hardenAlpha(img);
            const QPoint at((i % cols) * data->size.width(), (i / cols) * (data->size.height() + 16));
            sp.drawImage(at, img);
            sp.drawText(at + QPoint(4, data->size.height() + 12), names[i]);
        }
        sp.end();
        sheet.save(pngDir + QStringLiteral("/character-poses.png"));
    }
    return 0;
}
