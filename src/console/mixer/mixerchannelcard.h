#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QProgressBar;
class QSlider;

// One channel of the mixer panel: "声道 n" with its level, the peak meter, the gain slider with its percent and
// "静音". It shows what it is given and reports what the operator changes.
class MixerChannelCard : public QWidget
{
    Q_OBJECT
  public:
    // The slider's steps between gain 0 and 1.
    static constexpr int gainSteps = 1000;

    MixerChannelCard(int channel, QWidget* parent = nullptr);

    void setPeak(float peak);
    void setGain(float gain);
    void setMuted(bool muted);

    QString levelText() const;
    double meterFraction() const;
    QString percentText() const;

  signals:
    void gainChanged(float gain);
    void mutedChanged(bool muted);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void showPercent(float gain);

    QLabel* m_level;
    QProgressBar* m_meter;
    QSlider* m_gain;
    QLabel* m_percent;
    QCheckBox* m_mute;
    bool m_hot = false;
};
