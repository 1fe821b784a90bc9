#pragma once

#include "engine.h"

#include <QAbstractListModel>

// The check sheet's findings as rows: the text, the cue's name and whether it is a reminder. Findings come in groups
// (one a cue); a new check replaces only the rows of groups that changed, so a large list that barely changed is
// neither copied nor laid out again.
class FindingListModel : public QAbstractListModel
{
    Q_OBJECT
  public:
    using Findings = QList<Engine::PlaybackIssue>;
    using QAbstractListModel::QAbstractListModel;

    // Two findings say the same when all that a row shows and a click uses agree; their identity may differ.
    static bool sameFinding(const Engine::PlaybackIssue& a, const Engine::PlaybackIssue& b);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    const Engine::PlaybackIssue& finding(int row) const { return m_rows.at(row); }
    void setFindings(const QList<Findings>& groups);

  private:
    void replaceRows(qsizetype at, qsizetype count, const Findings& findings);

    QList<Findings> m_groups;
    Findings m_rows;
};
