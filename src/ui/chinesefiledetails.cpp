#include "chinesefiledetails.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QIdentityProxyModel>
#include <QLocale>

namespace {

// The panel's columns: name, size, type, date modified.
constexpr int kSizeColumn = 1;
constexpr int kDateColumn = 3;

class ChineseFileDetails : public QIdentityProxyModel
{
  public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role) const override
    {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (!files || role != Qt::DisplayRole)
            return QIdentityProxyModel::data(index, role);
        const QModelIndex file = mapToSource(index);
        const QLocale chinese(QLocale::Chinese, QLocale::China);
        // A folder has no size of its own: the column stays empty.
        if (index.column() == kSizeColumn && !files->isDir(file))
            return chinese.formattedDataSize(files->size(file));
        if (index.column() == kDateColumn)
            return chinese.toString(files->lastModified(file), QLocale::ShortFormat);
        return QIdentityProxyModel::data(index, role);
    }
};

} // namespace

void useChineseFileDetails(QFileDialog& panel)
{
    panel.setProxyModel(new ChineseFileDetails(&panel));
}
