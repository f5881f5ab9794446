#pragma once
// The help topics as data: each topic is a starting offset beside the main window and an
// ordered list of steps the character performs. The topics live in one editable file in
// the application folder (help/topics.json), so their wording can change without a build.
#include <QHash>
#include <QPointF>
#include <QString>
#include <QStringList>
#include <QVector>

namespace parlivo {

struct ScriptStep
{
    enum Kind { Say, Play, MoveOffset, MoveScreen };
    Kind kind = Say;
    QString text;      // Say: the words as spoken; Play: the animation name as written
    QPointF position;  // MoveOffset: (dx, dy) twips from the main window; MoveScreen: screen pixels

    static ScriptStep say(const QString &t) { return {Say, t, {}}; }
    static ScriptStep play(const QString &a) { return {Play, a, {}}; }
    static ScriptStep moveOffset(double dx, double dy) { return {MoveOffset, {}, {dx, dy}}; }
    static ScriptStep moveScreen(double x, double y) { return {MoveScreen, {}, {x, y}}; }
    bool operator==(const ScriptStep &o) const = default;
};

struct HelpTopic
{
    QString name;            // the command that starts it, e.g. "mnuRecord"
    QString caption;         // its menu caption, empty for topics not on the menu
    QPointF start;           // (dx, dy) twips from the main window's top-left corner
    QVector<ScriptStep> steps;
};

class HelpScripts
{
public:
    // Reads the topics from JSON text. A topic with a malformed step is left out whole
    // (a half script would point at the wrong control); the reasons land in errors().
    static HelpScripts fromJson(const QByteArray &json);
    static HelpScripts fromFile(const QString &path);

    const HelpTopic *topic(const QString &name) const;
    QStringList names() const { return m_order; }
    int size() const { return int(m_order.size()); }
    bool isEmpty() const { return m_order.isEmpty(); }
    QStringList errors() const { return m_errors; }

private:
    QHash<QString, HelpTopic> m_topics;
    QStringList m_order;
    QStringList m_errors;
};

} // namespace parlivo
