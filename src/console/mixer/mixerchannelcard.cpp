#include "mixerchannelcard.h"

#include "channellevel.h"
#include "consolecolors.h"
#include "consoletext.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QSignalBlocker>
#include <QSlider>
#include <cmath>

MixerChannelCard::MixerChannelCard(int channel, QWidget* parent)
    : QWidget(parent), m_level(new QLabel(this)), m_meter(new QProgressBar(this)),
      m_gain(new QSlider(Qt::Horizontal, this)), m_percent(new QLabel(this)),
      m_mute(new QCheckBox(QStringLiteral("静音"), this))
{
    const int number = channel + 1;
    auto* name = new QLabel(QStringLiteral("声道 %1").arg(number), this);
    name->setFont(ConsoleText::scaled(name->font(), 0.92, true));
    m_level->setFont(ConsoleText::monospacedDigits(ConsoleText::caption(m_level->font())));
    auto* header = new QHBoxLayout;
    header->addWidget(name);
    header->addStretch();
    header->addWidget(m_level);

    m_meter->setRange(0, 1000);
    m_meter->setTextVisible(false);
    m_meter->setFixedHeight(6);
    m_meter->setAccessibleName(QStringLiteral("声道 %1 电平").arg(number));

    m_gain->setRange(0, gainSteps);
    m_gain->setAccessibleName(QStringLiteral("声道 %1 音量").arg(number));
    m_percent->setFont(ConsoleText::monospacedDigits(ConsoleText::caption(m_percent->font())));
    m_percent->setMinimumWidth(33);
    m_percent->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_mute->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    auto* sliderRow = new QHBoxLayout;
    sliderRow->addWidget(m_gain, 1);
    sliderRow->addWidget(m_percent);
    sliderRow->addWidget(m_mute);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(8, 8, 8, 8);
    column->setSpacing(8);
    column->addLayout(header);
    column->addWidget(m_meter);
    column->addLayout(sliderRow);

    connect(m_gain, &QSlider::valueChanged, this, [this](int value) {
        const float gain = float(value) / gainSteps;
        showPercent(gain);
        emit gainChanged(gain);
    });
    connect(m_mute, &QCheckBox::clicked, this, &MixerChannelCard::mutedChanged);
    setPeak(0);
    setGain(1);
}

void MixerChannelCard::setPeak(float peak)
{
    const ChannelLevel level = ChannelLevel::fromPeak(peak);
    m_level->setText(level.text);
    m_meter->setValue(int(std::lround(level.fraction * 1000)));
    if (level.hot != m_hot || !m_meter->property("tinted").toBool()) {
        m_hot = level.hot;
        QPalette palette = m_meter->palette();
        palette.setColor(QPalette::Highlight, m_hot ? ConsoleColors::red() : ConsoleColors::green());
        m_meter->setPalette(palette);
        m_meter->setProperty("tinted", true);
    }
}

void MixerChannelCard::setGain(float gain)
{
    const QSignalBlocker quiet(m_gain);
    m_gain->setValue(int(std::lround(gain * gainSteps)));
    showPercent(gain);
}

void MixerChannelCard::setMuted(bool muted)
{
    m_mute->setChecked(muted);
}

void MixerChannelCard::showPercent(float gain)
{
    m_percent->setText(QStringLiteral("%1%").arg(gainPercent(gain)));
}

QString MixerChannelCard::levelText() const
{
    return m_level->text();
}

double MixerChannelCard::meterFraction() const
{
    return double(m_meter->value()) / 1000;
}

QString MixerChannelCard::percentText() const
{
    return m_percent->text();
}

void MixerChannelCard::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath card;
    card.addRoundedRect(QRectF(rect()), 6, 6);
    painter.fillPath(card, QColor(118, 118, 128, 46));
}
