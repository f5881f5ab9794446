// The help character: loading it and performing the help topics.
#include "frmMAIN.h"

#include "help/AgentPresenter.h"
#include "help/HelpScript.h"

namespace parlivo {

struct frmMAIN::HelpState
{
    AgentPresenter presenter;
    HelpScripts scripts;
};

void frmMAIN::loadHelpCharacter()
{
    if (!help)
        help = std::make_shared<HelpState>();
    // A missing or unreadable topics file leaves the topics silent, like a missing character.
    help->scripts = HelpScripts::fromFile(appFolder() + QStringLiteral("/help/topics.json"));
    if (!m_platform.createCharacterHost)
        return;
    Agent1 = m_platform.createCharacterHost();
    if (Agent1)
        Agent1->setOwnerWindow(this);
    help_character = help->presenter.load(Agent1.get());
}

void frmMAIN::performHelpTopic(const QString &topic)
{
    if (!help || !help_character)
        return;
    const HelpTopic *script = help->scripts.topic(topic);
    if (!script)
        return;
    help->presenter.setCharacter(help_character);
    // The window's outer top-left corner, as the character is placed relative to it. A
    // window shrunk to fit a small screen shrinks the offsets with its controls.
    const double layoutScale = width() * 15.0 / 11280.0;
    help->presenter.perform(*script, frameGeometry().topLeft(), layoutScale);
}

} // namespace parlivo
