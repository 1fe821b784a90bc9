#include "screenscolumn.h"

#include "consolestate.h"
#include "consoletext.h"
#include "draghandle.h"
#include "elidedlabel.h"
#include "engine.h"
#include "lumohelp.h"
#include "lumoicons.h"
#include "screencard.h"
#include "switchbutton.h"
#include "transportbar.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QToolButton>
#include <utility>

ScreensColumn::ScreensColumn(ConsoleState& state, std::function<void(const QString&)> openWindow,
                             ImageChooser chooseImage, QWidget* parent)
    : QWidget(parent), m_state(state), m_engine(state.engine()), m_openWindow(std::move(openWindow)),
      m_chooseImage(std::move(chooseImage))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);
    column->addWidget(makeHeader());
    m_cardsRow = new QHBoxLayout;
    m_cardsRow->setSpacing(10);
    column->addLayout(m_cardsRow);
    m_transport = new TransportBar(m_state, this);
    column->addWidget(m_transport);
    column->addWidget(makeDefaultPictureRow());
    column->addWidget(makeHandle());
    column->addStretch(1);

    connect(&m_engine, &Engine::showChanged, this, [this] {
        syncCards();
        refreshDefaultPicture();
    });
    connect(&m_state, &ConsoleState::screenPageChanged, this, &ScreensColumn::refreshPage);
    connect(&m_state, &ConsoleState::previewModeChanged, this, [this] {
        m_onAir->setChecked(!m_state.previewMode());
        m_preview->setChecked(m_state.previewMode());
    });
    syncCards();
    refreshDefaultPicture();
}

QWidget* ScreensColumn::makeHeader()
{
    auto* header = new QWidget(this);
    auto* title = new QLabel(QStringLiteral("屏幕与播出"), header);
    title->setFont(ConsoleText::headline(title->font()));

    auto* mapping = new QPushButton(QStringLiteral("投影模式"), header);
    connect(mapping, &QPushButton::clicked, this, [this] { m_openWindow(QStringLiteral("projector-mapping")); });

    auto* add = new QPushButton(lumoIcon(QStringLiteral("plus")), QStringLiteral("添加屏幕"), header);
    lumoHelp(add, QStringLiteral("增加一路独立画面输出"));
    connect(add, &QPushButton::clicked, this, [this] {
        m_engine.addScreen();
        m_state.setScreenPage(m_state.lastScreenPage());
    });

    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(title);
    row->addWidget(mapping);
    row->addWidget(add);
    row->addStretch(1);
    row->addWidget(makePagination());
    row->addWidget(makeMonitorSwitch());
    return header;
}

QWidget* ScreensColumn::makePagination()
{
    m_pagination = new QWidget(this);
    auto pageButton = [this](const QString& symbol, const QString& name) {
        auto* button = new QToolButton(m_pagination);
        button->setObjectName(name);
        button->setIcon(lumoIcon(symbol));
        button->setAccessibleName(name);
        button->setAutoRaise(true);
        lumoHelp(button, name);
        return button;
    };
    m_previousPage = pageButton(QStringLiteral("chevron.left"), QStringLiteral("上一页屏幕"));
    connect(m_previousPage, &QToolButton::clicked, this, [this] { m_state.setScreenPage(m_state.screenPage() - 1); });
    m_nextPage = pageButton(QStringLiteral("chevron.right"), QStringLiteral("下一页屏幕"));
    connect(m_nextPage, &QToolButton::clicked, this, [this] { m_state.setScreenPage(m_state.screenPage() + 1); });
    m_pageLabel = new QLabel(m_pagination);
    m_pageLabel->setAccessibleName(QStringLiteral("屏幕页码"));
    m_pageLabel->setFont(ConsoleText::monospacedDigits(ConsoleText::caption(m_pageLabel->font())));

    auto* row = new QHBoxLayout(m_pagination);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    row->addWidget(m_previousPage);
    row->addWidget(m_pageLabel);
    row->addWidget(m_nextPage);
    return m_pagination;
}

QWidget* ScreensColumn::makeMonitorSwitch()
{
    auto* segments = new QWidget(this);
    segments->setAccessibleName(QStringLiteral("监看"));
    segments->setFixedWidth(150);
    m_onAir = new SwitchButton(QStringLiteral("正在播出"), segments);
    m_preview = new SwitchButton(QStringLiteral("预监"), segments);
    auto* group = new QButtonGroup(segments);
    auto* row = new QHBoxLayout(segments);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    for (QPushButton* segment : {m_onAir, m_preview}) {
        segment->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        group->addButton(segment);
        row->addWidget(segment);
    }
    m_onAir->setChecked(!m_state.previewMode());
    m_preview->setChecked(m_state.previewMode());
    connect(m_onAir, &QPushButton::clicked, this, [this] { m_state.setPreviewMode(false); });
    connect(m_preview, &QPushButton::clicked, this, [this] { m_state.setPreviewMode(true); });
    return segments;
}

QWidget* ScreensColumn::makeDefaultPictureRow()
{
    auto* row = new QWidget(this);
    auto* title = new QLabel(QStringLiteral("默认画面"), row);
    title->setFont(ConsoleText::caption(title->font()));
    m_defaultPicture = new ElidedLabel(row);
    m_defaultPicture->setObjectName(QStringLiteral("defaultPicture"));
    m_defaultPicture->setFont(ConsoleText::caption(m_defaultPicture->font()));
    m_defaultPicture->setColor(ConsoleColors::secondaryText());
    m_defaultPicture->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

    auto* choose = new QPushButton(QStringLiteral("选择图片"), row);
    connect(choose, &QPushButton::clicked, this, [this] {
        if (!m_chooseImage)
            return;
        // For the show in place when asked; none opened since takes it.
        m_chooseImage(window(), [self = QPointer(this), show = m_engine.showNumber()](const QUrl& url) {
            if (self && self->m_engine.showNumber() == show)
                self->m_engine.setDefaultPicture(url);
        });
    });
    m_restoreDefault = new QPushButton(QStringLiteral("恢复内置"), row);
    connect(m_restoreDefault, &QPushButton::clicked, this, [this] { m_engine.setDefaultPicture(std::nullopt); });

    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(title);
    layout->addWidget(m_defaultPicture, 1);
    layout->addWidget(choose);
    layout->addWidget(m_restoreDefault);
    return row;
}

QWidget* ScreensColumn::makeHandle()
{
    auto* handle = new DragHandle(this);
    handle->setObjectName(QStringLiteral("previewHeightHandle"));
    lumoHelp(handle, QStringLiteral("拖动调整屏幕预览高度"));
    connect(handle, &DragHandle::dragChanged, this, &ScreensColumn::resizeMonitors);
    connect(handle, &DragHandle::dragEnded, this, [this] { m_state.setResizeOrigin(std::nullopt); });
    return handle;
}

// The height follows the pointer from where the drag began, so a drag that hits a limit and comes back does too.
void ScreensColumn::resizeMonitors(double translation)
{
    if (!m_state.resizeOrigin())
        m_state.setResizeOrigin(m_state.previewHeight());
    m_state.setPreviewHeight(m_state.resizeOrigin().value_or(m_state.previewHeight()) + translation);
}

// Keeps one card per screen of the show: cards of new screens are made, those of removed screens go (later, as a
// card's own remove button may be what removed it).
void ScreensColumn::syncCards()
{
    const QList<ScreenRole> screens = m_engine.showScreens();
    for (auto it = m_cards.begin(); it != m_cards.end();) {
        if (screens.contains(it.key())) {
            ++it;
            continue;
        }
        it.value()->hide();
        it.value()->deleteLater();
        it = m_cards.erase(it);
    }
    for (const ScreenRole& role : screens)
        if (!m_cards.contains(role)) {
            auto* card = new ScreenCard(m_state, role, this);
            card->hide();
            m_cards.insert(role, card);
        }
    refreshPage();
}

QList<ScreenCard*> ScreensColumn::shownCards() const
{
    const QList<ScreenRole> screens = m_engine.showScreens();
    const int page = std::min(m_state.screenPage(), m_state.lastScreenPage());
    QList<ScreenCard*> shown;
    for (qsizetype i = qsizetype(page) * ConsoleState::screensPerPage;
         i < screens.size() && shown.size() < ConsoleState::screensPerPage; ++i)
        shown.append(m_cards.value(screens[i]));
    return shown;
}

QString ScreensColumn::pageText() const
{
    return m_pageLabel->text();
}

void ScreensColumn::refreshPage()
{
    const QList<ScreenCard*> shown = shownCards();
    while (m_cardsRow->count() > 0)
        delete m_cardsRow->takeAt(0);
    for (ScreenCard* card : std::as_const(m_cards))
        if (!shown.contains(card))
            card->hide();
    for (ScreenCard* card : shown) {
        m_cardsRow->addWidget(card, 1, Qt::AlignTop);
        card->show();
    }

    const int page = m_state.screenPage();
    const int last = m_state.lastScreenPage();
    m_pagination->setVisible(last >= 1);
    m_pageLabel->setText(QStringLiteral("%1 / %2").arg(page + 1).arg(last + 1));
    m_previousPage->setEnabled(page > 0);
    m_nextPage->setEnabled(last > page);
}

void ScreensColumn::refreshDefaultPicture()
{
    const std::optional<QUrl>& picture = m_engine.show().defaultPicture;
    m_defaultPicture->setText(picture ? picture->fileName() : QStringLiteral("内置待机画面"));
    m_restoreDefault->setVisible(picture.has_value());
}
