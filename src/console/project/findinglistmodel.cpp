#include "findinglistmodel.h"

#include "findingrowdelegate.h"

static constexpr qsizetype kRowsChangedOneByOne = 64;

// The findings of groups [from, to) in one list; a single group is shared, not copied.
static FindingListModel::Findings joined(const QList<FindingListModel::Findings>& groups, qsizetype from, qsizetype to)
{
    if (to - from == 1)
        return groups[from];
    FindingListModel::Findings rows;
    for (qsizetype i = from; i < to; ++i)
        rows.append(groups[i]);
    return rows;
}

bool FindingListModel::sameFinding(const Engine::PlaybackIssue& a, const Engine::PlaybackIssue& b)
{
    // A finding kept from an earlier check keeps its id.
    if (a.id == b.id)
        return true;
    return a.cue.id == b.cue.id && a.cue.name == b.cue.name && a.eventID == b.eventID && a.screen == b.screen &&
           a.text == b.text && a.warning == b.warning;
}

int FindingListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant FindingListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const Engine::PlaybackIssue& finding = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return finding.text;
    case FindingRowDelegate::WarningRole:
        return finding.warning;
    case FindingRowDelegate::CueNameRole:
        return finding.cue.name;
    default:
        return {};
    }
}

void FindingListModel::setFindings(const QList<Findings>& groups)
{
    // Groups kept from the last check share their data; only the run between the first and the last other one is
    // replaced.
    const qsizetype shorter = std::min(groups.size(), m_groups.size());
    qsizetype head = 0;
    qsizetype headRows = 0;
    while (head < shorter && groups[head].isSharedWith(m_groups[head]))
        headRows += groups[head++].size();
    qsizetype tail = 0;
    while (tail < shorter - head && groups[groups.size() - 1 - tail].isSharedWith(m_groups[m_groups.size() - 1 - tail]))
        ++tail;
    qsizetype before = 0;
    for (qsizetype i = head; i < m_groups.size() - tail; ++i)
        before += m_groups[i].size();
    const Findings now = joined(groups, head, groups.size() - tail);
    m_groups = groups;
    replaceRows(headRows, before, now);
}

void FindingListModel::replaceRows(qsizetype at, qsizetype count, const Findings& findings)
{
    if (count == findings.size()) {
        std::copy(findings.cbegin(), findings.cend(), m_rows.begin() + at);
        // A view repaints a changed range whole, but a single row only where it is seen.
        if (count <= kRowsChangedOneByOne)
            for (qsizetype row = at; row < at + count; ++row)
                emit dataChanged(index(int(row)), index(int(row)));
        else
            emit dataChanged(index(int(at)), index(int(at + count - 1)));
        return;
    }
    if (count > 0) {
        beginRemoveRows({}, int(at), int(at + count - 1));
        m_rows.remove(at, count);
        endRemoveRows();
    }
    if (findings.isEmpty())
        return;
    beginInsertRows({}, int(at), int(at + findings.size() - 1));
    if (m_rows.isEmpty()) {
        m_rows = findings;
    } else if (at == m_rows.size()) {
        m_rows.append(findings);
    } else {
        Findings rows;
        rows.reserve(m_rows.size() + findings.size());
        rows.append(m_rows.first(at));
        rows.append(findings);
        rows.append(m_rows.sliced(at));
        m_rows = std::move(rows);
    }
    endInsertRows();
}
