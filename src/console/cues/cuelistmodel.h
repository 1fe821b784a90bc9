#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QUuid>
#include <optional>

class Engine;

// The show's cues as rows: number, name and the on-air or next mark, following the engine.
class CueListModel : public QAbstractListModel
{
    Q_OBJECT
  public:
    enum Role {
        NumberRole = Qt::UserRole + 1,
        MarkRole,
        IdRole,
    };
    enum class Mark {
        none,
        onAir,
        next,
    };

    explicit CueListModel(Engine* engine, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    std::optional<int> row(const QUuid& id) const;

  private:
    void followShow();
    void refreshRows();
    Mark mark(const QUuid& id) const;

    Engine* m_engine;
    QList<QUuid> m_ids;
};
