#include "cuelistmodel.h"

#include "engine.h"

static QList<QUuid> cueIDs(const Show& show)
{
    QList<QUuid> ids;
    ids.reserve(show.cues.size());
    for (const Cue& cue : show.cues)
        ids.append(cue.id);
    return ids;
}

CueListModel::CueListModel(Engine* engine, QObject* parent)
    : QAbstractListModel(parent), m_engine(engine), m_ids(cueIDs(engine->show()))
{
    connect(engine, &Engine::showChanged, this, &CueListModel::followShow);
    connect(engine, &Engine::currentChanged, this, &CueListModel::refreshRows);
}

int CueListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_ids.size());
}

QVariant CueListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_ids.size() || index.row() >= m_engine->show().cues.size())
        return {};
    const Cue& cue = m_engine->show().cues.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return cue.name;
    case NumberRole:
        return QString::asprintf("%02d", index.row() + 1);
    case MarkRole:
        return int(mark(cue.id));
    case IdRole:
        return cue.id;
    default:
        return {};
    }
}

std::optional<int> CueListModel::row(const QUuid& id) const
{
    const qsizetype found = m_ids.indexOf(id);
    return found < 0 ? std::nullopt : std::optional(int(found));
}

// Names and marks change in place; a different order or count starts the rows afresh.
void CueListModel::followShow()
{
    QList<QUuid> ids = cueIDs(m_engine->show());
    if (ids == m_ids) {
        refreshRows();
        return;
    }
    beginResetModel();
    m_ids = std::move(ids);
    endResetModel();
}

void CueListModel::refreshRows()
{
    if (!m_ids.isEmpty())
        emit dataChanged(index(0), index(int(m_ids.size()) - 1));
}

CueListModel::Mark CueListModel::mark(const QUuid& id) const
{
    if (m_engine->current() && m_engine->current()->id == id)
        return Mark::onAir;
    const std::optional<Cue> next = m_engine->next();
    return next && next->id == id ? Mark::next : Mark::none;
}
