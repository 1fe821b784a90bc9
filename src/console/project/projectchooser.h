#pragma once

#include <QString>
#include <QUrl>
#include <functional>

class QWidget;

// The panels the project menu asks for a file or folder. Each answers later, on the main thread, with the chosen URL,
// and not at all when the operator cancels; the console keeps running meanwhile. Tests replace it.
class ProjectChooser
{
  public:
    using Chosen = std::function<void(const QUrl&)>;

    virtual ~ProjectChooser() = default;
    // One JSON project file to open.
    virtual void projectToOpen(QWidget* parent, Chosen chosen) = 0;
    // Where to save the project, the name field preset to the given name (in the given file's folder when it has one).
    virtual void saveLocation(QWidget* parent, const QString& presetPath, Chosen chosen) = 0;
    // The folder in which to look for missing media.
    virtual void relinkFolder(QWidget* parent, Chosen chosen) = 0;
};
