#pragma once
// The animated help character: requests are queued and performed in order;
// every call returns at once.
#include <QObject>
#include <QString>

class QWidget;

namespace parlivo {

class HelpCharacter : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~HelpCharacter() override = default;

    virtual void setLanguageID(int language) = 0;
    virtual int balloonStyle() const = 0;
    virtual void setBalloonStyle(int style) = 0;

    virtual void StopAll() = 0;
    virtual void Show() = 0;
    virtual void MoveTo(qint16 x, qint16 y) = 0;
    virtual void Speak(const QString &text) = 0;
    virtual void Play(const QString &animation) = 0;
    virtual void Hide() = 0;
    // Draws the figure at this share (at most 1) of its own size, at once: a window whose
    // layout was shrunk to fit its screen keeps the figure in proportion to its controls.
    virtual void setFigureScale(double scale) { Q_UNUSED(scale); }
};

class CharacterHost : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~CharacterHost() override = default;

    // Loads a character by name from a character file; false when it cannot be loaded.
    virtual bool load(const QString &name, const QString &file) = 0;
    // The loaded character of that name, or nullptr.
    virtual HelpCharacter *character(const QString &name) = 0;
    // The window whose controls the character explains; its characters fly over it.
    virtual void setOwnerWindow(QWidget *window) { Q_UNUSED(window); }
};

} // namespace parlivo
