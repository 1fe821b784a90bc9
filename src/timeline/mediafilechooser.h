#pragma once

#include "enums.h"

#include <QList>
#include <QUrl>
#include <functional>
#include <optional>

class QFileDialog;
class QWidget;

// Asks the operator for one media file of the given kinds; absent when the panel is cancelled. Tests replace it.
using MediaFileChooser = std::function<std::optional<QUrl>(QWidget* parent, const QList<AssetKind>& kinds)>;

// The platform's open panel, modal, files only, offering the file types the show files under those kinds.
std::optional<QUrl> chooseMediaFile(QWidget* parent, const QList<AssetKind>& kinds);

// The same panel for any number of files; empty when it is cancelled.
QList<QUrl> chooseMediaFiles(QWidget* parent, const QList<AssetKind>& kinds);

// Sets up the open panel both functions run: a type filter per kind, named in Chinese, led by one for all of them.
void prepareMediaPanel(QFileDialog& panel, const QList<AssetKind>& kinds);
