#pragma once

#include <QWidget>

class ConsoleState;
class ElidedLabel;
class Engine;
class QLabel;
class QPushButton;
class SwitchButton;
class QShortcut;

// The operator's play buttons under the screen cards: a row for the ticked screens (only while some are ticked),
// the main row ("播放节目", "预监所选", pause, "全部停止", "GO 下一条" on Ctrl+Return and Ctrl+Enter) and the status
// row (the cue on air, "屏幕黑场", "音频静音"). Each button calls one engine operation; besides that the bar only tells
// the monitors whether to show the preview or the on-air pictures.
class TransportBar : public QWidget
{
    Q_OBJECT
  public:
    explicit TransportBar(ConsoleState& state, QWidget* parent = nullptr);

    QWidget* tickedRow() const { return m_tickedRow; }
    QString currentText() const;
    // Whether the GO shortcuts act now; they follow the GO button.
    bool goShortcutEnabled() const;

  private:
    QWidget* makeTickedRow();
    QWidget* makeMainRow();
    QWidget* makeStatusRow();
    QPushButton* addButton(QWidget* row, const QString& title, void (TransportBar::*action)());
    void refresh();

    void playSelected();
    void previewSelected();
    void go();
    void playOnTicked();
    void pauseTicked();
    void resumeTicked();
    void stopTicked();
    void returnTicked();

    ConsoleState& m_state;
    Engine& m_engine;
    QWidget* m_tickedRow;
    QLabel* m_tickedCount;
    QPushButton* m_playTicked;
    QPushButton* m_play;
    QPushButton* m_preview;
    QPushButton* m_pause;
    QPushButton* m_go;
    QList<QShortcut*> m_goShortcuts;
    ElidedLabel* m_current;
    SwitchButton* m_black;
    SwitchButton* m_mute;
};
