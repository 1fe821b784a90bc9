#include "inspector.h"

#include "assetpicker.h"
#include "audiomixerview.h"
#include "consolecolors.h"
#include "consolestate.h"
#include "consoletext.h"
#include "engine.h"
#include "lumoicons.h"
#include "mediaasset.h"
#include "numberfield.h"
#include "plainlabel.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolButton>
#include <algorithm>
#include <cmath>

namespace {
QLabel* headline(const QString& text, QWidget* parent)
{
    auto* label = plainLabel(text, parent);
    label->setFont(ConsoleText::headline(label->font()));
    return label;
}

QFrame* divider(QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setFixedHeight(1);
    line->setAutoFillBackground(true);
    QPalette p = line->palette();
    p.setColor(QPalette::Window, ConsoleColors::divider());
    line->setPalette(p);
    return line;
}

QHBoxLayout* labelledRow(const QString& name, QWidget* control, QWidget* parent)
{
    auto* row = new QHBoxLayout;
    row->addWidget(plainLabel(name, parent));
    row->addWidget(control, 1);
    return row;
}

QStringList texts(const auto& cases)
{
    QStringList list;
    for (const auto& item : cases)
        list.append(rawValue(item));
    return list;
}
} // namespace

Inspector::Inspector(ConsoleState& state, MediaFileChooser chooser, QWidget* parent)
    : QWidget(parent), m_state(state), m_engine(state.engine()), m_chooser(std::move(chooser))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(12, 12, 12, 12);
    column->setSpacing(14);
    column->addWidget(makeCueSettings());
    column->addWidget(divider(this));
    column->addWidget(makeLightingEntry());
    column->addWidget(divider(this));
    column->addWidget(makeOutputSettings());
    column->addStretch(1);

    connect(&m_engine, &Engine::showChanged, this, &Inspector::refresh);
    connect(&m_engine, &Engine::selectedChanged, this, &Inspector::refresh);
    connect(&m_engine, &Engine::musicVolumeChanged, this, &Inspector::refreshVolumes);
    connect(&m_engine, &Engine::effectsVolumeChanged, this, &Inspector::refreshVolumes);
    connect(&m_state, &ConsoleState::audioExpandedChanged, this, &Inspector::refreshMixerGroup);
    refresh();
    refreshVolumes();
    refreshMixerGroup();
}

QWidget* Inspector::makeCueSettings()
{
    m_cueSettings = new QWidget(this);
    m_cueSettings->setObjectName(QStringLiteral("cueSettings"));
    m_name = new QLineEdit(m_cueSettings);
    m_name->setObjectName(QStringLiteral("cueName"));
    m_name->setPlaceholderText(QStringLiteral("Cue 名称"));
    connect(m_name, &QLineEdit::textEdited, this,
            [this](const QString& name) { editCue([&](Cue& cue) { cue.name = name; }); });

    m_ending = makeChoice(QStringLiteral("素材结束"), texts(allCases<EndBehavior>()));
    connect(m_ending, &QComboBox::activated, this,
            [this](int index) { editCue([&](Cue& cue) { cue.ending = allCases<EndBehavior>().at(index); }); });

    m_delay = new NumberField(NumberField::Kind::decimal, m_cueSettings);
    m_delay->setObjectName(QStringLiteral("delay"));
    m_delay->setPlaceholderText(QStringLiteral("秒"));
    connect(m_delay, &NumberField::committed, this,
            [this](double seconds) { editCue([&](Cue& cue) { cue.delay = seconds; }); });

    auto* column = new QVBoxLayout(m_cueSettings);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(14);
    column->addWidget(headline(QStringLiteral("Cue 设置"), m_cueSettings));
    column->addWidget(m_name);
    column->addWidget(makeMediaGroup());
    column->addLayout(labelledRow(QStringLiteral("素材结束"), m_ending, m_cueSettings));
    column->addLayout(labelledRow(QStringLiteral("GO 延迟（秒）"), m_delay, m_cueSettings));
    return m_cueSettings;
}

QWidget* Inspector::makeMediaGroup()
{
    m_mediaGroup = new QWidget(m_cueSettings);
    m_mediaGroup->setObjectName(QStringLiteral("mediaGroup"));
    const QList<AssetKind> pictures{AssetKind::video, AssetKind::image};
    m_main = makePicker(QStringLiteral("屏幕 1 素材"), pictures, &Cue::main, true);
    m_mirror = new QCheckBox(QStringLiteral("屏幕 2 镜像屏幕 1"), m_mediaGroup);
    connect(m_mirror, &QCheckBox::clicked, this,
            [this](bool on) { editCue([&](Cue& cue) { cue.sideMirrorsMain = on; }); });
    m_side = makePicker(QStringLiteral("屏幕 2 素材"), pictures, &Cue::side, true);
    m_audio = makePicker(QStringLiteral("音频素材"), {AssetKind::audio}, &Cue::audio, false);
    m_bus = makeChoice(QStringLiteral("音频总线"), texts(allCases<Bus>()));
    connect(m_bus, &QComboBox::activated, this,
            [this](int index) { editCue([&](Cue& cue) { cue.audioBus = allCases<Bus>().at(index); }); });
    // On when the cue says so, else the opposite of the cue's own video sound; only videoMuted is ever written.
    m_videoSound = new QCheckBox(QStringLiteral("禁用视频声音"), m_mediaGroup);
    connect(m_videoSound, &QCheckBox::clicked, this,
            [this](bool on) { editCue([&](Cue& cue) { cue.videoMuted = on; }); });

    auto* column = new QVBoxLayout(m_mediaGroup);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(14);
    for (QWidget* row : std::initializer_list<QWidget*>{m_main, m_mirror, m_side, m_audio})
        column->addWidget(row);
    column->addLayout(labelledRow(QStringLiteral("音频总线"), m_bus, m_mediaGroup));
    column->addWidget(m_videoSound);
    return m_mediaGroup;
}

// A chosen picture or video is written first; a video then turns the cue's own video sound on when the cue never
// said otherwise, as an edit of its own.
AssetPicker* Inspector::makePicker(const QString& title, QList<AssetKind> kinds, std::optional<QUrl> Cue::*file,
                                   bool videoRule)
{
    auto* picker = new AssetPicker(title, std::move(kinds), m_chooser, m_mediaGroup);
    picker->setObjectName(title);
    connect(picker, &AssetPicker::chosen, this, [this, file, videoRule](const CueOfShow& asked, const QUrl& url) {
        if (!editCue(asked, [&](Cue& cue) { cue.*file = url; }))
            return;
        if (!videoRule || assetKind(url) != AssetKind::video)
            return;
        editCue(asked, [](Cue& cue) {
            if (!cue.videoMuted)
                cue.videoMuted = false;
        });
    });
    connect(picker, &AssetPicker::cleared, this,
            [this, file] { editCue([&](Cue& cue) { cue.*file = std::nullopt; }); });
    return picker;
}

QComboBox* Inspector::makeChoice(const QString& name, const QStringList& items)
{
    auto* choice = new QComboBox(this);
    choice->setObjectName(name);
    choice->addItems(items);
    return choice;
}

QWidget* Inspector::makeLightingEntry()
{
    // The lighting panel is not offered yet: the entry stays disabled, so the operator sees where it will be.
    auto* entry = new QPushButton(this);
    entry->setObjectName(QStringLiteral("lightingEntry"));
    entry->setFlat(true);
    auto* icon = new QLabel(entry);
    icon->setPixmap(lumoIcon(QStringLiteral("lightbulb"), ConsoleColors::tertiaryText()).pixmap(16, 16));
    auto* name = new QLabel(QStringLiteral("灯光控制"), entry);
    auto* badge = new QLabel(QStringLiteral("开发中"), entry);
    badge->setFont(ConsoleText::caption(badge->font()));
    auto* row = new QHBoxLayout(entry);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(icon);
    row->addWidget(name);
    row->addStretch();
    row->addWidget(badge);
    entry->setMinimumHeight(name->sizeHint().height() + 8);
    connect(entry, &QPushButton::clicked, this, [this] { m_state.setLightingModuleOpen(true); });
    entry->setEnabled(false);
    return entry;
}

QWidget* Inspector::makeOutputSettings()
{
    auto* section = new QWidget(this);
    m_music = makeVolumeSlider(QStringLiteral("背景音乐"), [this](double volume) { m_engine.setMusicVolume(volume); });
    m_effects = makeVolumeSlider(QStringLiteral("音效"), [this](double volume) { m_engine.setEffectsVolume(volume); });

    m_mixerToggle = new QToolButton(section);
    m_mixerToggle->setObjectName(QStringLiteral("channelLevels"));
    m_mixerToggle->setText(QStringLiteral("声道电平"));
    m_mixerToggle->setCheckable(true);
    m_mixerToggle->setAutoRaise(true);
    m_mixerToggle->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    connect(m_mixerToggle, &QToolButton::clicked, this, [this](bool open) { m_state.setAudioExpanded(open); });

    m_mixerGroup = new QWidget(section);
    m_mixer = new AudioMixerView(m_engine.audioMixer(), m_mixerGroup);
    auto* mixerColumn = new QVBoxLayout(m_mixerGroup);
    mixerColumn->setContentsMargins(0, 5, 0, 0);
    mixerColumn->addWidget(m_mixer);

    auto* column = new QVBoxLayout(section);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);
    column->addWidget(headline(QStringLiteral("音频控制"), section));
    column->addLayout(labelledRow(QStringLiteral("背景音乐"), m_music, section));
    column->addLayout(labelledRow(QStringLiteral("音效"), m_effects, section));
    column->addWidget(m_mixerToggle);
    column->addWidget(m_mixerGroup);
    return section;
}

// Volumes belong to the engine, not the show: moving a slider records no edit and leaves the saved mark alone.
QSlider* Inspector::makeVolumeSlider(const QString& name, const std::function<void(double)>& write)
{
    auto* slider = new QSlider(Qt::Horizontal, this);
    slider->setObjectName(name);
    slider->setRange(0, volumeSteps);
    connect(slider, &QSlider::valueChanged, this, [write](int value) { write(double(value) / volumeSteps); });
    return slider;
}

void Inspector::refresh()
{
    const std::optional<int> index = m_state.selectedIndex();
    m_cueSettings->setVisible(index.has_value());
    if (!index)
        return;
    const Show& show = m_engine.show();
    const Cue& cue = show.cues.at(*index);
    const CueOfShow shown{m_engine.showNumber(), cue.id};
    if (m_name->text() != cue.name)
        m_name->setText(cue.name);
    m_mediaGroup->setVisible(!cue.isTimelineCue());
    const QList<ScreenRole>& screens = m_engine.showScreens();
    const bool hasMain = screens.contains(kScreen1);
    const bool hasSide = screens.contains(kScreen2);
    m_main->setVisible(hasMain);
    m_main->showFileOf(shown, cue.main);
    m_mirror->setVisible(hasSide && hasMain);
    m_mirror->setChecked(cue.sideMirrorsMain);
    m_side->setVisible(hasSide && !cue.sideMirrorsMain);
    m_side->showFileOf(shown, cue.side);
    m_audio->showFileOf(shown, cue.audio);
    m_bus->setCurrentIndex(int(allCases<Bus>().indexOf(cue.audioBus)));
    m_videoSound->setChecked(cue.videoMuted.value_or(!cue.videoAudio));
    m_ending->setCurrentIndex(int(allCases<EndBehavior>().indexOf(cue.ending)));
    m_delay->setValue(cue.delay);
}

void Inspector::refreshVolumes()
{
    const auto show = [](QSlider* slider, double volume) {
        const QSignalBlocker quiet(slider);
        slider->setValue(int(std::lround(volume * volumeSteps)));
    };
    show(m_music, m_engine.musicVolume());
    show(m_effects, m_engine.effectsVolume());
}

void Inspector::refreshMixerGroup()
{
    const bool open = m_state.audioExpanded();
    m_mixerToggle->setChecked(open);
    m_mixerToggle->setArrowType(open ? Qt::DownArrow : Qt::RightArrow);
    m_mixerGroup->setVisible(open);
}

void Inspector::editCue(const std::function<void(Cue&)>& change)
{
    const std::optional<int> index = m_state.selectedIndex();
    if (!index)
        return;
    Show show = m_engine.show();
    change(show.cues[*index]);
    m_engine.setShow(std::move(show));
}

// The cue a panel was asked for, whichever is selected now; nothing once it or its show is gone.
bool Inspector::editCue(const CueOfShow& asked, const std::function<void(Cue&)>& change)
{
    if (m_engine.showNumber() != asked.show)
        return false;
    Show show = m_engine.show();
    const auto cue = std::find_if(show.cues.begin(), show.cues.end(), [&](const Cue& c) { return c.id == asked.cue; });
    if (cue == show.cues.end())
        return false;
    change(*cue);
    m_engine.setShow(std::move(show));
    return true;
}
