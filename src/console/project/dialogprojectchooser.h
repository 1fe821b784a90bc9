#pragma once

#include "projectchooser.h"

// The project menu's panels as modal file dialogs.
class DialogProjectChooser : public ProjectChooser
{
  public:
    std::optional<QUrl> projectToOpen(QWidget* parent) override;
    std::optional<QUrl> saveLocation(QWidget* parent, const QString& presetPath) override;
    std::optional<QUrl> relinkFolder(QWidget* parent) override;
};
