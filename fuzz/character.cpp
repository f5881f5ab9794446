// The help character's description: whatever it holds, loading either refuses it or gives a
// figure whose animations yield finite values.
#include "FuzzSupport.h"
#include "platform/character/CharacterData.h"

#include <QGuiApplication>
#include <cmath>

using namespace parlivo;
using namespace parlivo::fuzz;

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The drawings the shipped description names sit beside the file read.
    static const QString folder = [] {
        const QString dir = QFileInfo(fileWith(QStringLiteral("placeholder"), {})).absolutePath();
        QFile::link(QStringLiteral(PARLIVO_SOURCE_DIR "/assets/character/merlin"), dir + QStringLiteral("/merlin"));
        return dir;
    }();
    const QString path = fileWith(QStringLiteral("character.json"), QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    QString error;
    const auto character = CharacterData::load(path, &error);
    if (!character) {
        check(!error.isEmpty(), "a refusal says why");
        return 0;
    }
    check(character->size.width() >= 1 && character->size.height() >= 1, "the figure has a size");
    for (const QString &name : character->animationNames()) {
        const CharacterAnimation *a = character->animation(name);
        check(a != nullptr, "a listed animation can be found", name);
        for (double t : {0.0, a->duration / 2, a->duration, a->duration * 3 + 0.1}) {
            CharacterPose pose;
            a->sample(t, pose);
            for (auto it = pose.cbegin(); it != pose.cend(); ++it)
                check(std::isfinite(it.value()), "animation values are finite", name + QLatin1Char(' ') + it.key());
        }
    }
    return 0;
}
