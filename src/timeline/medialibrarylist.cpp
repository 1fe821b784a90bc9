#include "medialibrarylist.h"

#include "timelineassetdrag.h"
#include "timelineeditormodel.h"

MediaLibraryList::MediaLibraryList(TimelineEditorModel& editor, QObject* parent)
    : QAbstractListModel(parent), m_editor(editor)
{
    connect(&m_editor, &TimelineEditorModel::changed, this, &MediaLibraryList::follow);
    follow();
}

bool MediaLibraryList::passesSearch(const MediaAsset& asset, const QString& search)
{
    return search.isEmpty() || asset.url.fileName().contains(search, Qt::CaseInsensitive);
}

void MediaLibraryList::follow()
{
    const QList<MediaAsset> assets = m_editor.cue().assets();
    const QString search = m_editor.view().assetSearch();
    // Without a search the rows are the library itself, shared with the show: as long as both lie at the same place,
    // the library has not changed, and a large one is neither copied nor compared on each edit.
    if (search.isEmpty() && assets.constData() == m_rows.constData() && assets.size() == m_rows.size())
        return;
    // A row shows no length: a measured one changes none of them.
    const Engine* engine = m_editor.cue().engine();
    if (search.isEmpty() && engine && engine->lengthMeasured() && assets.size() == m_rows.size()) {
        m_rows = assets;
        return;
    }
    QList<MediaAsset> rows;
    if (search.isEmpty())
        rows = assets;
    else
        for (const MediaAsset& asset : assets)
            if (passesSearch(asset, search))
                rows.append(asset);
    const bool sameEntries = std::equal(rows.cbegin(), rows.cend(), m_rows.cbegin(), m_rows.cend(),
                                        [](const MediaAsset& a, const MediaAsset& b) { return a.id == b.id; });
    if (!sameEntries) {
        beginResetModel();
        m_rows = std::move(rows);
        endResetModel();
        return;
    }
    if (rows == m_rows)
        return;
    m_rows = std::move(rows);
    refreshRows();
}

int MediaLibraryList::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant MediaLibraryList::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const MediaAsset& entry = m_rows[index.row()];
    switch (role) {
    case Qt::DisplayRole:
        return entry.url.fileName();
    case AssetRole:
        return QVariant::fromValue(entry.id);
    default:
        return {};
    }
}

Qt::ItemFlags MediaLibraryList::flags(const QModelIndex& index) const
{
    Qt::ItemFlags flags = QAbstractListModel::flags(index);
    if (index.isValid() && m_editor.cue().cueIndex())
        flags |= Qt::ItemIsDragEnabled;
    return flags;
}

QStringList MediaLibraryList::mimeTypes() const
{
    return {TimelineAssetDrag::kMimeType};
}

QMimeData* MediaLibraryList::mimeData(const QModelIndexList& indexes) const
{
    if (indexes.isEmpty() || !indexes.first().isValid() || !m_editor.cue().cueIndex())
        return nullptr;
    return TimelineAssetDrag::mimeData(m_rows[indexes.first().row()].id);
}

int MediaLibraryList::rowOf(const QUuid& id) const
{
    for (int row = 0; row < m_rows.size(); ++row)
        if (m_rows[row].id == id)
            return row;
    return -1;
}

void MediaLibraryList::refreshRows()
{
    if (!m_rows.isEmpty())
        emit dataChanged(index(0), index(int(m_rows.size()) - 1));
}

void MediaLibraryList::refreshRowsOf(const QSet<QUrl>& files, int first, int last)
{
    for (int row = std::max(first, 0); row <= last && row < m_rows.size(); ++row)
        if (files.contains(m_rows[row].url))
            emit dataChanged(index(row), index(row));
}
