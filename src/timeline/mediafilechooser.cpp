#include "mediafilechooser.h"

#include "mediaasset.h"

#include <QFileDialog>

static QList<QUrl> runOpenPanel(QWidget* parent, const QList<AssetKind>& kinds, QFileDialog::FileMode mode)
{
    QStringList patterns;
    for (AssetKind kind : kinds)
        patterns += assetFilePatterns(kind);
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(mode);
    dialog.setNameFilter(QStringLiteral("(%1)").arg(patterns.join(' ')));
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedUrls();
}

std::optional<QUrl> chooseMediaFile(QWidget* parent, const QList<AssetKind>& kinds)
{
    const QList<QUrl> chosen = runOpenPanel(parent, kinds, QFileDialog::ExistingFile);
    if (chosen.isEmpty())
        return std::nullopt;
    return chosen.first();
}

QList<QUrl> chooseMediaFiles(QWidget* parent, const QList<AssetKind>& kinds)
{
    return runOpenPanel(parent, kinds, QFileDialog::ExistingFiles);
}
