#include "dialogprojectchooser.h"

#include "filepanelprocess.h"

static const QString kJsonFilter = QStringLiteral("JSON (*.json)");

static void ask(const FilePanelRequest& request, QWidget* parent, ProjectChooser::Chosen chosen)
{
    FilePanelProcess::of(parent).ask(request, parent,
                                     [chosen = std::move(chosen)](const QList<QUrl>& urls) { chosen(urls.first()); });
}

void DialogProjectChooser::projectToOpen(QWidget* parent, Chosen chosen)
{
    FilePanelRequest request;
    request.mode = FilePanelRequest::Mode::openFile;
    request.nameFilters = {kJsonFilter};
    ask(request, parent, std::move(chosen));
}

void DialogProjectChooser::saveLocation(QWidget* parent, const QString& presetPath, Chosen chosen)
{
    FilePanelRequest request;
    request.mode = FilePanelRequest::Mode::saveFile;
    request.nameFilters = {kJsonFilter};
    request.defaultSuffix = QStringLiteral("json");
    request.selectedFile = presetPath;
    ask(request, parent, std::move(chosen));
}

void DialogProjectChooser::relinkFolder(QWidget* parent, Chosen chosen)
{
    FilePanelRequest request;
    request.mode = FilePanelRequest::Mode::openFolder;
    request.acceptLabel = QStringLiteral("重新定位");
    ask(request, parent, std::move(chosen));
}
