#include "mediafilechooser.h"

#include "filepanelprocess.h"
#include "mediaasset.h"

#include <QHash>

static QString nameFilter(const QString& name, const QStringList& patterns)
{
    return QStringLiteral("%1 (%2)").arg(name, patterns.join(u' '));
}

// A kind's patterns come from going through the whole MIME database: made once, on the main thread, where every panel
// is asked for.
static const QStringList& filePatterns(AssetKind kind)
{
    static QHash<AssetKind, QStringList> made;
    const auto found = made.constFind(kind);
    return found != made.cend() ? *found : *made.insert(kind, assetFilePatterns(kind));
}

FilePanelRequest mediaPanelRequest(const QList<AssetKind>& kinds, bool manyFiles)
{
    FilePanelRequest request;
    request.mode = manyFiles ? FilePanelRequest::Mode::openFiles : FilePanelRequest::Mode::openFile;
    QStringList all;
    for (AssetKind kind : kinds) {
        const QStringList& patterns = filePatterns(kind);
        request.nameFilters << nameFilter(rawValue(kind), patterns);
        all << patterns;
    }
    if (kinds.size() > 1)
        request.nameFilters.prepend(nameFilter(QStringLiteral("所有媒体"), all));
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
