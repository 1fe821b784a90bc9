#include "mediafilechooser.h"

#include "filepanelprocess.h"
#include "mediaasset.h"

FilePanelRequest mediaPanelRequest(const QList<AssetKind>& kinds, bool manyFiles)
{
    FilePanelRequest request;
    request.mode = manyFiles ? FilePanelRequest::Mode::openFiles : FilePanelRequest::Mode::openFile;
    // The panel program makes the type filters: they come from the whole MIME database.
    for (AssetKind kind : kinds)
        request.mediaKinds << rawValue(kind);
    // A kind has dozens of extensions: the type list shows the names alone.
    request.hideFilterDetails = true;
    return request;
}

void chooseMediaFile(QWidget* parent, const QList<AssetKind>& kinds, std::function<void(const QUrl&)> chosen)
{
    FilePanelProcess::of(parent).ask(mediaPanelRequest(kinds, false), parent,
                                     [chosen = std::move(chosen)](const QList<QUrl>& urls) { chosen(urls.first()); });
}

void chooseMediaFiles(QWidget* parent, const QList<AssetKind>& kinds, std::function<void(const QList<QUrl>&)> chosen)
{
    FilePanelProcess::of(parent).ask(mediaPanelRequest(kinds, true), parent, std::move(chosen));
}
