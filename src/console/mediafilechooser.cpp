#include "mediafilechooser.h"

#include "mediaasset.h"

#include <QFileDialog>

std::optional<QUrl> chooseMediaFile(QWidget* parent, const QList<AssetKind>& kinds)
{
    QStringList patterns;
    for (AssetKind kind : kinds)
        patterns += assetFilePatterns(kind);
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(QStringLiteral("(%1)").arg(patterns.join(' ')));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedUrls().isEmpty())
        return std::nullopt;
    return dialog.selectedUrls().first();
}
