#pragma once

#include <QDeadlineTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

class SettingsWriter;

// The console's three stored switches, all true until the operator turns them off. A stored value that is not a
// Boolean counts as true and is reported once through problems(). They are read as the console starts; a change is
// what the switch shows at once, and is written aside (settingswriter.h).
class LumoSettings : public QObject
{
    Q_OBJECT
  public:
    // An empty file name means the user's settings of organisation and application "Lumoria".
    explicit LumoSettings(const QString& fileName = {}, QObject* parent = nullptr);
    ~LumoSettings() override;

    bool showsLumoTooltips() const { return m_showsLumoTooltips; }
    void setShowsLumoTooltips(bool on);
    bool autoOpenProjectionMonitor() const { return m_autoOpenProjectionMonitor; }
    void setAutoOpenProjectionMonitor(bool on);
    bool timelineSnapEnabled() const { return m_timelineSnapEnabled; }
    void setTimelineSnapEnabled(bool on);

    // One text per unreadable setting, for the status line.
    QStringList problems() const { return m_problems; }
    // For the quit: waits until the changes are in the file (or failed) or the deadline passes, and says on stderr
    // which are not in the file.
    void finishWriting(QDeadlineTimer deadline);
    // Whether every change is in the file.
    bool written() const;
    // Whether no change is on its way to the file any more: each is in it, or its write failed.
    bool settled() const;

  signals:
    void showsLumoTooltipsChanged();
    void autoOpenProjectionMonitorChanged();
    void timelineSnapEnabledChanged();
    // A write of changes failed: for the status line.
    void writeFailed(const QString& text);

  private:
    void write(const QString& key, bool on);

    std::unique_ptr<SettingsWriter> m_writer;
    QStringList m_problems;
    bool m_showsLumoTooltips = true;
    bool m_autoOpenProjectionMonitor = true;
    bool m_timelineSnapEnabled = true;
};
