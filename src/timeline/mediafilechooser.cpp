#include "mediafilechooser.h"

#include "chinesefiledetails.h"
#include "mediaasset.h"

#include <QFileDialog>

static QString nameFilter(const QString& name, const QStringList& patterns)
{
    return QStringLiteral("%1 (%2)").arg(name, patterns.join(u' '));
}

void prepareMediaPanel(QFileDialog& panel, const QList<AssetKind>& kinds)
{
    QStringList filters;
    QStringList all;
    for (AssetKind kind : kinds) {
        const QStringList patterns = assetFilePatterns(kind);
        filters << nameFilter(rawValue(kind), patterns);
        all << patterns;
    }
    if (kinds.size() > 1)
        filters.prepend(nameFilter(QStringLiteral("所有媒体"), all));
    panel.setAcceptMode(QFileDialog::AcceptOpen);
    // A kind has dozens of extensions: the type list shows the names alone.
    panel.setOption(QFileDialog::HideNameFilterDetails);
    panel.setNameFilters(filters);
    useChineseFileDetails(panel);
}

static QList<QUrl> runOpenPanel(QWidget* parent, const QList<AssetKind>& kinds, QFileDialog::FileMode mode)
{
    QFileDialog dialog(parent);
    prepareMediaPanel(dialog, kinds);
    dialog.setFileMode(mode);
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
