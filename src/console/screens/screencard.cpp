#include "screencard.h"

#include "aspectbox.h"
#include "consolecolors.h"
#include "consolestate.h"
#include "consoletext.h"
#include "displaypreview.h"
#include "engine.h"
#include "engineoutputsource.h"
#include "lumohelp.h"
#include "lumoicons.h"
#include "mappedoutput.h"
#include "plainlabel.h"
#include "screenmonitor.h"
#include "screenoutputpicker.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QLabel>
#include <QPainter>
#include <QToolButton>
#include <cmath>

static QFont nameFont(QFont font)
{
    return ConsoleText::scaled(font, 0.93, true);
}

ScreenCard::ScreenCard(ConsoleState& state, const ScreenRole& role, QWidget* parent)
    : QWidget(parent), m_state(state), m_engine(state.engine()), m_role(role)
{
    setObjectName(role.rawValue);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(8, 8, 8, 8);
    column->setSpacing(5);
    column->addWidget(makeTopRow());
    m_monitor = new ScreenMonitor(nullptr, std::nullopt, m_state.previewHeight(), this);
    column->addWidget(m_monitor);
    m_mapped = new AspectBox(this);
    m_mapped->hide();
    column->addWidget(m_mapped);
    column->addWidget(makeStatus());

    for (auto changed : {&Engine::showChanged, &Engine::displaysChanged, &Engine::mappingsChanged,
                         &Engine::screensChanged, &Engine::independentScreensChanged})
        connect(&m_engine, changed, this, &ScreenCard::refresh);
    for (auto changed : {&ConsoleState::previewModeChanged, &ConsoleState::selectedScreensChanged,
                         &ConsoleState::previewHeightChanged})
        connect(&m_state, changed, this, &ScreenCard::refresh);
    refresh();
}

QWidget* ScreenCard::makeTopRow()
{
    auto* row = new QWidget(this);
    m_tick = new QCheckBox(literalAmpersands(m_role.rawValue), row);
    m_tick->setFont(nameFont(m_tick->font()));
    connect(m_tick, &QCheckBox::toggled, this, [this](bool on) {
        QSet<ScreenRole> ticked = m_state.selectedScreens();
        if (on)
            ticked.insert(m_role);
        else
            ticked.remove(m_role);
        m_state.setSelectedScreens(ticked);
    });
    m_name = plainLabel(m_role.rawValue, row);
    m_name->setFont(nameFont(m_name->font()));

    m_picker = new ScreenOutputPicker(row);
    m_picker->setAccessibleName(QStringLiteral("输出到"));
    lumoHelp(m_picker, QStringLiteral("绑定或解除") + m_role.rawValue + QStringLiteral("的物理显示器"));
    connect(m_picker, &ScreenOutputPicker::picked, this, &ScreenCard::choose);

    m_remove = new QToolButton(row);
    m_remove->setObjectName(QStringLiteral("removeScreen"));
    m_remove->setIcon(lumoIcon(QStringLiteral("minus.circle"), ConsoleColors::red()));
    m_remove->setAccessibleName(QStringLiteral("移除") + m_role.rawValue);
    m_remove->setAutoRaise(true);
    lumoHelp(m_remove, QStringLiteral("移除") + m_role.rawValue);
    connect(m_remove, &QToolButton::clicked, this, &ScreenCard::remove);

    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_tick);
    layout->addWidget(m_name);
    layout->addSpacing(4);
    layout->addWidget(m_picker, 1);
    layout->addWidget(m_remove);
    return row;
}

QWidget* ScreenCard::makeStatus()
{
    m_status = new QWidget(this);
    m_statusIcon = new QLabel(m_status);
    m_statusText = new QLabel(m_status);
    m_statusText->setObjectName(QStringLiteral("screenStatus"));
    m_statusText->setFont(ConsoleText::caption2(m_statusText->font()));
    auto* layout = new QHBoxLayout(m_status);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(m_statusIcon);
    layout->addWidget(m_statusText);
    layout->addStretch(1);
    return m_status;
}

QWidget* ScreenCard::mappedOutput() const
{
    return m_mapped->content();
}

QString ScreenCard::statusWord() const
{
    return m_status->isHidden() ? QString() : m_statusText->text();
}

void ScreenCard::refresh()
{
    const bool several = m_engine.showScreens().size() >= 2;
    m_tick->setVisible(several);
    m_name->setVisible(!several);
    m_remove->setVisible(several);
    {
        const QSignalBlocker quiet(m_tick);
        m_tick->setChecked(m_state.selectedScreens().contains(m_role));
    }
    refreshPicker();
    refreshMonitor();
    update();
}

void ScreenCard::refreshPicker()
{
    QList<ScreenOutputPicker::Row> rows{{QStringLiteral("仅监看"), std::nullopt}};
    for (const DisplayScreen& display : m_engine.displays())
        rows.append({display.displayName(), display.number});
    const QMap<ScreenRole, int> mappings = m_engine.mappings();
    const bool remembered = m_engine.screenHasBinding(m_role) && !mappings.contains(m_role);
    if (remembered)
        rows.append({QStringLiteral("已记住 · 输出不可用"), ScreenOutputPicker::rememberedMarker});
    std::optional<int> value;
    if (mappings.contains(m_role))
        value = mappings.value(m_role);
    else if (remembered)
        value = ScreenOutputPicker::rememberedMarker;
    m_picker->setRows(rows, value);
}

void ScreenCard::refreshMonitor()
{
    const bool preview = m_state.previewMode();
    Picture* picture = preview ? m_engine.preview(m_role) : m_engine.program(m_role);
    const bool mapped = !preview && picture && m_engine.mapping(m_role).enabled;
    const std::optional<DisplayScreen> display = m_engine.display(m_role);
    const int height = int(std::lround(m_state.previewHeight()));

    if (mapped) {
        if (!m_mapped->content())
            m_mapped->setContent(new MappedOutput(EngineOutputSource::of(m_engine), m_role));
        m_mapped->setAspect(DisplayPreview::aspectOf(display));
        m_mapped->setFixedHeight(height);
    }
    m_mapped->setVisible(mapped);
    // A hidden monitor stops sampling; it lets go of the picture too, so nothing keeps an old one alive.
    m_monitor->setPicture(picture && !mapped ? picture : nullptr);
    m_monitor->setDisplay(display);
    m_monitor->setHeight(height);
    m_monitor->setVisible(picture && !mapped);

    m_status->setVisible(picture != nullptr);
    const QString word = m_engine.screenStatus(m_role);
    const QColor colour = word == QStringLiteral("掉线") ? ConsoleColors::orange() : ConsoleColors::cyan();
    m_statusText->setText(word);
    ConsoleText::setColour(m_statusText, colour);
    const int size = m_statusText->fontMetrics().height() * 2 / 3;
    m_statusIcon->setPixmap(lumoIcon(QStringLiteral("circle.fill"), colour).pixmap(size, size));
}

void ScreenCard::choose(std::optional<int> display)
{
    if (display != ScreenOutputPicker::rememberedMarker)
        m_engine.bind(m_role, display);
    // A refused binding publishes nothing: show the engine's state again.
    refresh();
}

void ScreenCard::remove()
{
    const ScreenRole role = m_role;
    ConsoleState& state = m_state;
    Engine& engine = m_engine;
    engine.removeScreen(role);
    const QList<ScreenRole> screens = engine.showScreens();
    QSet<ScreenRole> ticked = state.selectedScreens();
    if (!screens.contains(role))
        ticked.remove(role);
    if (screens.size() < 2)
        ticked.clear();
    state.setSelectedScreens(ticked);
    state.setScreenPage(std::min(state.screenPage(), state.lastScreenPage()));
}

void ScreenCard::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF card = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromRgbF(1, 1, 1, 0.045f));
    painter.drawRoundedRect(card, 7, 7);
    if (!m_state.selectedScreens().contains(m_role))
        return;
    QColor frame = ConsoleColors::cyan();
    frame.setAlphaF(0.7f);
    painter.setPen(QPen(frame, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(card, 7, 7);
}
