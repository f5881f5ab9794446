#include "AgentPresenter.h"

#include <cmath>
#include <limits>

namespace parlivo {

qint16 twipsToPixel(double windowEdgeTwips, double offsetTwips, double twipsPerPixel)
{
    const double exact = (windowEdgeTwips + offsetTwips) / twipsPerPixel;
    // Banker's rounding regardless of the thread's current rounding mode.
    const double below = std::floor(exact);
    const double frac = exact - below;
    double rounded = below;
    if (frac > 0.5 || (frac == 0.5 && std::fmod(below, 2.0) != 0.0))
        rounded = below + 1.0;
    if (!std::isfinite(rounded))
        return 0;
    constexpr double lo = std::numeric_limits<qint16>::min(), hi = std::numeric_limits<qint16>::max();
    return qint16(rounded < lo ? lo : rounded > hi ? hi : rounded);
}

HelpCharacter *AgentPresenter::load(CharacterHost *host)
{
    m_character = nullptr;
    if (!host)
        return nullptr;
    host->load(QStringLiteral("Merlin"), QStringLiteral("Merlin.acs"));
    HelpCharacter *c = host->character(QStringLiteral("Merlin"));
    if (!c)
        return nullptr;
    c->setLanguageID(LanguageEnglishUS);
    c->setBalloonStyle(c->balloonStyle() & ~BalloonOnBit);
    m_character = c;
    return c;
}

QPoint AgentPresenter::position(QPoint windowTopLeftPixels, QPointF offsetTwips)
{
    const double leftTwips = double(windowTopLeftPixels.x()) * TwipsPerPixel;
    const double topTwips = double(windowTopLeftPixels.y()) * TwipsPerPixel;
    return {twipsToPixel(leftTwips, offsetTwips.x(), TwipsPerPixel),
            twipsToPixel(topTwips, offsetTwips.y(), TwipsPerPixel)};
}

bool AgentPresenter::perform(const HelpTopic &topic, QPoint windowTopLeftPixels, double layoutScale) const
{
    HelpCharacter *c = m_character;
    if (!c)
        return false;
    const double scale = layoutScale > 0 && layoutScale < 1 ? layoutScale : 1.0;
    auto moveTo = [c, windowTopLeftPixels, scale](QPointF offset) {
        const QPoint p = position(windowTopLeftPixels, offset * scale);
        c->MoveTo(qint16(p.x()), qint16(p.y()));
    };
    c->StopAll();
    c->setFigureScale(scale);
    c->Show();
    moveTo(topic.start);
    for (const ScriptStep &step : topic.steps) {
        switch (step.kind) {
        case ScriptStep::Say:
            c->Speak(step.text);
            break;
        case ScriptStep::Play:
            c->Play(step.text);
            break;
        case ScriptStep::MoveOffset:
            moveTo(step.position);
            break;
        case ScriptStep::MoveScreen:
            c->MoveTo(twipsToPixel(0, step.position.x(), 1.0), twipsToPixel(0, step.position.y(), 1.0));
            break;
        }
    }
    c->Hide();
    return true;
}

} // namespace parlivo
