#pragma once
// The help character's data: layered vector parts sharing one drawing, and keyframed
// animations over named channels ("arm_left.rot", "mouth.open", "magic", ...). Every
// channel value is a change from the rest pose, so animations can be layered by adding.
#include <QHash>
#include <QPointF>
#include <QSize>
#include <QSizeF>
#include <QString>
#include <QTransform>
#include <QVector>

#include <memory>
#include <vector>

class QPainter;
class QSvgRenderer;

namespace parlivo {

using CharacterPose = QHash<QString, double>;

struct CharacterAnimation
{
    struct Key { double t; double v; };
    QString name;
    double duration = 0;
    bool loop = false;
    QHash<QString, QVector<Key>> tracks;

    // Adds the animation's values at time t (seconds from its start) into pose.
    void sample(double t, CharacterPose &pose) const;
};

struct CharacterPart
{
    QString name;
    int parent = -1;   // index into parts, -1 for the whole figure
    QPointF pivot;
    bool hiddenAtRest = false;
    std::vector<std::shared_ptr<QSvgRenderer>> drawings;   // several for the mouth shapes
};

class CharacterData
{
public:
    // Reads a character description (JSON) and its drawings, relative to its folder.
    // nullptr with *error set when anything is missing or malformed.
    static std::unique_ptr<CharacterData> load(const QString &path, QString *error = nullptr);

    QString name;
    QSizeF canvas;    // drawing units shared by all parts
    QSize size;       // the window's size in pixels
    std::vector<CharacterPart> parts;
    QString idleName, flyName, appearName, disappearName;

    // Looked up without regard to case; nullptr when there is no such animation.
    const CharacterAnimation *animation(const QString &name) const;
    QStringList animationNames() const;

    // Draws the figure in the given pose into a rectangle of size pixels (under whatever
    // transform the painter already has). clock drives the sparkles of the "magic" channel.
    void render(QPainter &painter, const CharacterPose &pose, double clock) const;

private:
    QHash<QString, CharacterAnimation> m_animations;   // keyed by lower-case name
};

} // namespace parlivo
