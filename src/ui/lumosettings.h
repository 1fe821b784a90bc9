#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

class QSettings;

// The console's three stored switches, all true until the operator turns them off. A stored value that is not a
// Boolean counts as true and is reported once through problems().
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

  signals:
    void showsLumoTooltipsChanged();
    void autoOpenProjectionMonitorChanged();
    void timelineSnapEnabledChanged();

  private:
    bool read(const QString& key);
    void write(const QString& key, bool on);

    std::unique_ptr<QSettings> m_settings;
    QStringList m_problems;
    bool m_showsLumoTooltips;
    bool m_autoOpenProjectionMonitor;
    bool m_timelineSnapEnabled;
};
