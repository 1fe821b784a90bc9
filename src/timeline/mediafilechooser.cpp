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

// The panel program refuses files of other kinds itself; its answer is still held to them, as it comes from
// another program.
void chooseMediaFile(QWidget* parent, const QList<AssetKind>& kinds, std::function<void(const QUrl&)> chosen)
{
    FilePanelProcess::of(parent).ask(mediaPanelRequest(kinds, false), parent,
                                     [kinds, chosen = std::move(chosen)](const QList<QUrl>& urls) {
                                         const std::optional<AssetKind> kind = assetKind(urls.first());
                                         if (kind && kinds.contains(*kind))
                                             chosen(urls.first());
                                     });
}

// Whoever takes the files judges them: the import counts a file of no kind as skipped.
void chooseMediaFiles(QWidget* parent, const QList<AssetKind>& kinds, std::function<void(const QList<QUrl>&)> chosen)
{
    FilePanelProcess::of(parent).ask(mediaPanelRequest(kinds, true), parent, std::move(chosen));
}
