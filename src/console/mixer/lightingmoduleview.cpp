#include "lightingmoduleview.h"

#include "consolestate.h"
#include "engine.h"
#include "numberfield.h"
#include "stepper.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

LightingModuleView::LightingModuleView(ConsoleState& state, QWidget* parent)
    : QWidget(parent), m_state(state), m_engine(state.engine())
{
    setFixedSize(fixedSize);
    auto* done = new QPushButton(QStringLiteral("完成"), this);
    done->setDefault(true);
    connect(done, &QPushButton::clicked, this, [this] { m_state.setLightingModuleOpen(false); });

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(14);
    column->addWidget(makeArtNetSection());
    column->addWidget(makeCueSection());
    column->addStretch(1);
    column->addWidget(done, 0, Qt::AlignRight);

    connect(&m_engine, &Engine::showChanged, this, &LightingModuleView::refresh);
    connect(&m_engine, &Engine::selectedChanged, this, &LightingModuleView::refresh);
    connect(&m_engine, &Engine::lightsBlackChanged, this, &LightingModuleView::refresh);
    refresh();
}

QGroupBox* LightingModuleView::makeArtNetSection()
{
    auto* section = new QGroupBox(QStringLiteral("Art-Net 输出"), this);
    // Typing changes only the show; the output follows when the operator presses "应用".
    m_host = new QLineEdit(section);
    m_host->setObjectName(QStringLiteral("artNetHost"));
    connect(m_host, &QLineEdit::textEdited, this, [this](const QString& host) {
        Show show = m_engine.show();
        show.artNetHost = host;
        m_engine.setShow(std::move(show));
    });
    m_universe = new NumberField(NumberField::Kind::integer, section);
    m_universe->setObjectName(QStringLiteral("universe"));
    connect(m_universe, &NumberField::committed, this, [this](double universe) {
        Show show = m_engine.show();
        show.universe = qint64(universe);
        m_engine.setShow(std::move(show));
    });
    auto* apply = new QPushButton(QStringLiteral("应用"), section);
    connect(apply, &QPushButton::clicked, this, [this] { m_engine.configureLights(); });
    m_lightsBlack = new QCheckBox(QStringLiteral("灯光黑场"), section);
    connect(m_lightsBlack, &QCheckBox::clicked, this, [this](bool on) { m_engine.setLightsBlack(on); });

    auto* form = new QFormLayout(section);
    form->addRow(QStringLiteral("目标 IPv4 地址"), m_host);
    form->addRow(QStringLiteral("Universe"), m_universe);
    form->addRow(apply);
    form->addRow(m_lightsBlack);
    return section;
}

QGroupBox* LightingModuleView::makeCueSection()
{
    m_cueSection = new QGroupBox(QStringLiteral("节目灯光动作"), this);
    m_cueSection->setObjectName(QStringLiteral("cueLighting"));
    // Turning the action on always starts from channel 1, level 0, one second: nothing earlier is kept.
    m_enabled = new QCheckBox(QStringLiteral("启用灯光动作"), m_cueSection);
    connect(m_enabled, &QCheckBox::clicked, this, [this](bool on) {
        editLighting([on](std::optional<Lighting>& lighting) {
            lighting = on ? std::optional(Lighting{1, 0, 1.0}) : std::nullopt;
        });
    });

    m_action = new QWidget(m_cueSection);
    m_address = new Stepper(QStringLiteral("DMX 地址  %1"), 1, 512, m_action);
    m_address->setObjectName(QStringLiteral("address"));
    connect(m_address, &Stepper::stepped, this, [this](qint64 address) {
        editLighting([address](std::optional<Lighting>& lighting) {
            if (lighting)
                lighting->address = address;
        });
    });
    m_level = new Stepper(QStringLiteral("亮度  %1"), 0, 255, m_action);
    m_level->setObjectName(QStringLiteral("level"));
    connect(m_level, &Stepper::stepped, this, [this](qint64 level) {
        editLighting([level](std::optional<Lighting>& lighting) {
            if (lighting)
                lighting->level = level;
        });
    });
    m_fade = new NumberField(NumberField::Kind::decimal, m_action);
    m_fade->setObjectName(QStringLiteral("fade"));
    connect(m_fade, &NumberField::committed, this, [this](double fade) {
        editLighting([fade](std::optional<Lighting>& lighting) {
            if (lighting)
                lighting->fade = fade;
        });
    });
    auto* actionForm = new QFormLayout(m_action);
    actionForm->setContentsMargins(0, 0, 0, 0);
    actionForm->addRow(m_address);
    actionForm->addRow(m_level);
    actionForm->addRow(QStringLiteral("渐变时间（秒）"), m_fade);

    auto* column = new QVBoxLayout(m_cueSection);
    column->addWidget(m_enabled);
    column->addWidget(m_action);
    return m_cueSection;
}

void LightingModuleView::refresh()
{
    const Show& show = m_engine.show();
    if (m_host->text() != show.artNetHost)
        m_host->setText(show.artNetHost);
    m_universe->setValue(double(show.universe));
    m_lightsBlack->setChecked(m_engine.lightsBlack());

    const std::optional<int> index = m_state.selectedIndex();
    m_cueSection->setVisible(index.has_value());
    if (!index)
        return;
    const std::optional<Lighting>& lighting = show.cues.at(*index).lighting;
    m_enabled->setChecked(lighting.has_value());
    m_action->setVisible(lighting.has_value());
    if (!lighting)
        return;
    m_address->setValue(lighting->address);
    m_level->setValue(lighting->level);
    m_fade->setValue(lighting->fade);
}

void LightingModuleView::editLighting(const std::function<void(std::optional<Lighting>&)>& change)
{
    const std::optional<int> index = m_state.selectedIndex();
    if (!index)
        return;
    Show show = m_engine.show();
    change(show.cues[*index].lighting);
    m_engine.setShow(std::move(show));
}
