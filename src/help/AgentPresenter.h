#pragma once
// The help character's side of the program: loading and configuring the character, the
// rule that places it beside the main window, and the fixed frame around every script.
// Every request goes to the character at once; it performs them in its own time.
#include "HelpScript.h"
#include "platform/CharacterHost.h"

#include <QPoint>
#include <QPointF>

namespace parlivo {

// Twips (1/1440 inch) to screen pixels: (window edge in twips + offset) / twips per
// pixel, rounded to the nearest integer with halves to the even neighbour, as a 16-bit
// value (clamped, so a far-off window cannot wrap the character round to the other side).
qint16 twipsToPixel(double windowEdgeTwips, double offsetTwips, double twipsPerPixel = 15.0);

class AgentPresenter
{
public:
    static constexpr int LanguageEnglishUS = 1033;
    static constexpr int BalloonOnBit = 0x1;
    static constexpr double TwipsPerPixel = 15.0;

    // Loads "Merlin" from "Merlin.acs" through the host, sets the language and switches
    // the word balloon off. Returns the character, or nullptr when there is none; any
    // failure is silent.
    HelpCharacter *load(CharacterHost *host);
    void setCharacter(HelpCharacter *character) { m_character = character; }
    HelpCharacter *character() const { return m_character; }

    // Screen pixels of a main-window offset, the window's top-left corner given in pixels.
    static QPoint position(QPoint windowTopLeftPixels, QPointF offsetTwips);

    // Issues the topic's whole script: StopAll, Show, MoveTo start, its steps, Hide.
    // Without a character nothing is sent and false is returned. layoutScale is the
    // factor by which the window's layout was shrunk to fit the screen (1 when it was not).
    bool perform(const HelpTopic &topic, QPoint windowTopLeftPixels, double layoutScale = 1.0) const;

private:
    HelpCharacter *m_character = nullptr;
};

} // namespace parlivo
