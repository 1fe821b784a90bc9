#include "cuelist.h"

#include "consolestate.h"
#include "consoletext.h"
#include "cuelistmodel.h"
#include "cuerowdelegate.h"
#include "engine.h"
#include "lumoicons.h"

#include <QBoxLayout>
#include <QLabel>
#include <QListView>
#include <QToolButton>

CueList::CueList(ConsoleState& state, QWidget* parent)
    : QWidget(parent), m_state(state), m_engine(state.engine()), m_model(new CueListModel(&m_engine, this)),
      m_view(new QListView(this))
{
    auto* heading = new QLabel(QStringLiteral("节目单"), this);
    heading->setFont(ConsoleText::headline(heading->font()));
    heading->setContentsMargins(12, 12, 12, 0);

    m_view->setObjectName(QStringLiteral("cueRows"));
    m_view->setModel(m_model);
    m_view->setItemDelegate(new CueRowDelegate(m_view));
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setFrameShape(QFrame::NoFrame);
    m_view->setUniformItemSizes(true);
    m_view->viewport()->setAutoFillBackground(false);

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(12, 12, 12, 12);
    buttons->addWidget(addButton(QStringLiteral("addCue"), QStringLiteral("plus")));
    buttons->addWidget(addButton(QStringLiteral("removeCue"), QStringLiteral("minus")));
    buttons->addStretch();
    buttons->addWidget(addButton(QStringLiteral("moveCueUp"), QStringLiteral("arrow.up")));
    buttons->addWidget(addButton(QStringLiteral("moveCueDown"), QStringLiteral("arrow.down")));
    connect(findChild<QToolButton*>(QStringLiteral("addCue")), &QToolButton::clicked, this, &CueList::addCue);
    connect(findChild<QToolButton*>(QStringLiteral("removeCue")), &QToolButton::clicked, this, &CueList::removeCue);
    connect(findChild<QToolButton*>(QStringLiteral("moveCueUp")), &QToolButton::clicked, this, [this] { moveCue(-1); });
    connect(findChild<QToolButton*>(QStringLiteral("moveCueDown")), &QToolButton::clicked, this,
            [this] { moveCue(1); });

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);
    column->addWidget(heading);
    column->addWidget(m_view, 1);
    column->addLayout(buttons);

    connect(m_view->selectionModel(), &QItemSelectionModel::selectionChanged, this, &CueList::selectFromView);
    connect(m_model, &QAbstractItemModel::modelReset, this, &CueList::selectFromEngine);
    connect(&m_engine, &Engine::selectedChanged, this, &CueList::selectFromEngine);
    selectFromEngine();
}

QToolButton* CueList::addButton(const QString& name, const QString& symbol)
{
    auto* button = new QToolButton(this);
    button->setObjectName(name);
    button->setIcon(lumoIcon(symbol));
    button->setAutoRaise(true);
    return button;
}

void CueList::addCue()
{
    Show show = m_engine.show();
    const Cue added;
    show.cues.append(added);
    m_engine.setShow(std::move(show));
    m_engine.setSelected(added.id);
}

void CueList::removeCue()
{
    const std::optional<int> index = m_state.selectedIndex();
    if (!index)
        return;
    Show show = m_engine.show();
    show.cues.removeAt(*index);
    m_engine.setShow(show);
    if (show.cues.isEmpty())
        m_engine.setSelected(std::nullopt);
    else
        m_engine.setSelected(show.cues.at(std::min(*index, int(show.cues.size()) - 1)).id);
}

void CueList::moveCue(int offset)
{
    const std::optional<int> index = m_state.selectedIndex();
    if (!index)
        return;
    const int target = *index + offset;
    Show show = m_engine.show();
    if (target < 0 || target >= show.cues.size())
        return;
    show.cues.swapItemsAt(*index, target);
    m_engine.setShow(std::move(show));
}

void CueList::selectFromEngine()
{
    const std::optional<QUuid> selected = m_engine.selected();
    const std::optional<int> row = selected ? m_model->row(*selected) : std::nullopt;
    m_selecting = true;
    if (row) {
        const QModelIndex index = m_model->index(*row);
        m_view->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        m_view->scrollTo(index);
    } else {
        m_view->selectionModel()->clearSelection();
    }
    m_selecting = false;
}

void CueList::selectFromView()
{
    if (m_selecting)
        return;
    const QModelIndexList rows = m_view->selectionModel()->selectedIndexes();
    m_engine.setSelected(rows.isEmpty() ? std::nullopt
                                        : std::optional(rows.first().data(CueListModel::IdRole).toUuid()));
}
