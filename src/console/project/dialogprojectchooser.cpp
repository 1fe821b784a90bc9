#include "dialogprojectchooser.h"

#include "chinesefiledetails.h"

#include <QFileDialog>

static const QString kJsonFilter = QStringLiteral("JSON (*.json)");

static std::optional<QUrl> chosen(QFileDialog& dialog)
{
    if (dialog.exec() != QDialog::Accepted || dialog.selectedUrls().isEmpty())
        return std::nullopt;
    return dialog.selectedUrls().first();
}

std::optional<QUrl> DialogProjectChooser::projectToOpen(QWidget* parent)
{
    QFileDialog dialog(parent);
    useChineseFileDetails(dialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(kJsonFilter);
    return chosen(dialog);
}

std::optional<QUrl> DialogProjectChooser::saveLocation(QWidget* parent, const QString& presetPath)
{
    QFileDialog dialog(parent);
    useChineseFileDetails(dialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(kJsonFilter);
    dialog.setDefaultSuffix(QStringLiteral("json"));
    dialog.selectFile(presetPath);
    return chosen(dialog);
}

std::optional<QUrl> DialogProjectChooser::relinkFolder(QWidget* parent)
{
    QFileDialog dialog(parent);
    useChineseFileDetails(dialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setLabelText(QFileDialog::Accept, QStringLiteral("重新定位"));
    return chosen(dialog);
}
