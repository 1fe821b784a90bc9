#include "projectfileactions.h"

#include "consolestate.h"
#include "engine.h"
#include "projectchooser.h"

ProjectFileActions::ProjectFileActions(ConsoleState& state, ProjectChooser& chooser, QWidget* panelParent)
    : m_state(state), m_engine(state.engine()), m_chooser(chooser), m_panelParent(panelParent)
{
}

// A panel's answer goes to the show that was open when it was asked, or nowhere once another has taken its place.
ProjectChooser::Chosen ProjectFileActions::forThisShow(std::function<void(const QUrl&)> then) const
{
    return [this, show = m_engine.showNumber(), then = std::move(then)](const QUrl& url) {
        if (m_engine.showNumber() == show)
            then(url);
    };
}

// Not while a run is on, as the menu offers no open then: one begun while the panel was held is left to play.
void ProjectFileActions::openShow()
{
    m_chooser.projectToOpen(m_panelParent, forThisShow([this](const QUrl& url) {
                                if (m_engine.projectionMode())
                                    m_engine.setMessage(QStringLiteral("投放进行中，未打开工程 · ") + url.fileName());
                                else
                                    m_engine.openProject(url);
                            }));
}

void ProjectFileActions::showOpened()
{
    m_state.setScreenPage(0);
    m_state.setSelectedScreens({});
}

void ProjectFileActions::saveShow(bool chooseLocation)
{
    const auto save = [this](const QUrl& url) { m_engine.saveProject(url); };
    if (const std::optional<QUrl> url = chooseLocation ? std::nullopt : m_engine.projectURL())
        save(*url);
    else
        m_chooser.saveLocation(m_panelParent, presetSavePath(), forThisShow(save));
}

void ProjectFileActions::relinkAssets()
{
    m_chooser.relinkFolder(m_panelParent,
                           forThisShow([this](const QUrl& folder) { m_engine.relinkMissingAssets(folder); }));
}

// The open file itself, so the panel starts in its folder with its name; the default name for a show without one.
QString ProjectFileActions::presetSavePath() const
{
    const std::optional<QUrl> current = m_engine.projectURL();
    if (current && current->isLocalFile())
        return current->toLocalFile();
    return QStringLiteral("演出工程.json");
}
