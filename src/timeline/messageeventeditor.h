#pragma once

#include "timelineevent.h"

#include <QWidget>
#include <functional>

class NumberField;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The sheet of one communication event. It edits a copy; "保存事件" hands the copy to save, and only while its time
// and its message are valid; "取消" drops it. Either way the sheet asks to be closed.
class MessageEventEditor : public QWidget
{
    Q_OBJECT
  public:
    using Save = std::function<void(const TimelineEvent&)>;
    static constexpr int kWidth = 540;

    MessageEventEditor(const TimelineEvent& draft, Save save, QWidget* parent = nullptr);

    const TimelineEvent& draft() const { return m_draft; }
    bool validTime() const;

  signals:
    void dismissed();

  private:
    QWidget* makeMessageFields();
    void edit(const std::function<void(TimelineEvent&)>& change);
    void refresh();
    void saveDraft();

    TimelineEvent m_draft;
    Save m_save;
    NumberField* m_time;
    QComboBox* m_transport;
    QLineEdit* m_host;
    NumberField* m_port;
    QCheckBox* m_hex;
    QLineEdit* m_oscAddress;
    QLabel* m_payloadTitle;
    QPlainTextEdit* m_payload;
    QLabel* m_hint;
    QPushButton* m_saveButton;
};
