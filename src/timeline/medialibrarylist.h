#pragma once

#include "mediaasset.h"

#include <QAbstractListModel>
#include <QList>
#include <QSet>

class TimelineEditorModel;

// The library entries that pass the editor's search, in library order, one row each. Rows follow the show and the
// search in place: a change that keeps the same entries in the same order only redraws them. While a cue is edited
// every row can be dragged onto a lane, carrying its entry's id.
class MediaLibraryList : public QAbstractListModel
{
    Q_OBJECT
  public:
    enum Role { AssetRole = Qt::UserRole + 1 };

    explicit MediaLibraryList(TimelineEditorModel& editor, QObject* parent = nullptr);

    // Whether the file name contains the search text, ignoring case; the folder is not searched.
    static bool passesSearch(const MediaAsset& asset, const QString& search);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override { return Qt::CopyAction; }

    const MediaAsset& asset(int row) const { return m_rows[row]; }
    // The row of an entry, or -1 when the search hides it or it is gone.
    int rowOf(const QUuid& id) const;
    // Redraws every row, for files that came or went on disk or stills that arrived.
    void refreshRows();
    // Redraws the rows from `first` to `last` (those in view) whose file is among the files.
    void refreshRowsOf(const QSet<QUrl>& files, int first, int last);

  private:
    void follow();

    TimelineEditorModel& m_editor;
    QList<MediaAsset> m_rows;
};
