#pragma once

#include "projectchooser.h"

// The project menu's panels as file dialogs, each shown by the file panel program beside the console.
class DialogProjectChooser : public ProjectChooser
{
  public:
    void projectToOpen(QWidget* parent, Chosen chosen) override;
    void saveLocation(QWidget* parent, const QString& presetPath, Chosen chosen) override;
    void relinkFolder(QWidget* parent, Chosen chosen) override;
};
