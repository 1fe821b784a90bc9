#pragma once

#include "enums.h"
#include "filepanelrequest.h"

#include <QList>
#include <QUrl>
#include <functional>

class QWidget;

// Asks the operator for one media file of the given kinds. The answer comes later, on the main thread, and not at all
// when the panel is cancelled; the console runs on meanwhile. Tests replace it.
using MediaFileChooser =
    std::function<void(QWidget* parent, const QList<AssetKind>& kinds, std::function<void(const QUrl&)> chosen)>;

// The platform's open panel, files only, offering the file types the show files under those kinds, shown by the file
// panel program beside the console.
void chooseMediaFile(QWidget* parent, const QList<AssetKind>& kinds, std::function<void(const QUrl&)> chosen);

// The same panel for any number of files.
void chooseMediaFiles(QWidget* parent, const QList<AssetKind>& kinds, std::function<void(const QList<QUrl>&)> chosen);

// The open panel both functions show: a type filter per kind, named in Chinese, led by one for all of them.
FilePanelRequest mediaPanelRequest(const QList<AssetKind>& kinds, bool manyFiles);
