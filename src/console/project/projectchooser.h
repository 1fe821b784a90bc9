#pragma once

#include <QString>
#include <QUrl>
#include <optional>

class QWidget;

// The panels the project menu asks for a file or folder; absent when the operator cancels. Tests replace it.
class ProjectChooser
{
  public:
    virtual ~ProjectChooser() = default;
    // One JSON project file to open.
    virtual std::optional<QUrl> projectToOpen(QWidget* parent) = 0;
    // Where to save the project, the name field preset to the given name (in the given file's folder when it has one).
    virtual std::optional<QUrl> saveLocation(QWidget* parent, const QString& presetPath) = 0;
    // The folder in which to look for missing media.
    virtual std::optional<QUrl> relinkFolder(QWidget* parent) = 0;
};
