#include "lumosettings.h"

#include "settingswriter.h"

#include <QSettings>

namespace {
const QString tooltipsKey = "showsLumoTooltips";
const QString monitorKey = "autoOpenProjectionMonitor";
const QString snapKey = "timelineSnapEnabled";

// What a settings file may hold for a Boolean: a real one, or its text as the file stores it.
std::optional<bool> asBoolean(const QVariant& value)
{
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    const QString text = value.toString().trimmed().toLower();
    if (text == "true" || text == "1")
        return true;
    if (text == "false" || text == "0")
        return false;
    return std::nullopt;
}
} // namespace

// Read once, as the console starts (its home folder answered the start's check, startfolders.h).
LumoSettings::LumoSettings(const QString& fileName, QObject* parent)
    : QObject(parent), m_writer(std::make_unique<SettingsWriter>(fileName))
{
    const auto stored = fileName.isEmpty() ? std::make_unique<QSettings>("Lumoria", "Lumoria")
                                           : std::make_unique<QSettings>(fileName, QSettings::IniFormat);
    const auto read = [&](const QString& key) {
        const QVariant value = stored->value(key);
        if (!value.isValid())
            return true;
        const std::optional<bool> on = asBoolean(value);
        if (!on)
            m_problems << QString("设置 %1 无效 · 已按开启处理").arg(key);
        return on.value_or(true);
    };
    m_showsLumoTooltips = read(tooltipsKey);
    m_autoOpenProjectionMonitor = read(monitorKey);
    m_timelineSnapEnabled = read(snapKey);
    // Told on the writer's thread; said here. No call is under way or to come once the writer has let go of it.
    m_writer->setFailed([this](const QStringList& keys, const QString& why) {
        const QString text =
            QStringLiteral("设置 %1 保存失败 · %2 · 下次启动时不会保留").arg(keys.join(QStringLiteral("、")), why);
        QMetaObject::invokeMethod(
            this, [this, text] { emit writeFailed(text); }, Qt::QueuedConnection);
    });
}

LumoSettings::~LumoSettings()
{
    m_writer->setFailed({});
}

void LumoSettings::write(const QString& key, bool on)
{
    m_writer->write(key, on);
}

void LumoSettings::finishWriting(QDeadlineTimer deadline)
{
    m_writer->finishWriting(deadline);
}

bool LumoSettings::written() const
{
    return m_writer->written();
}

bool LumoSettings::settled() const
{
    return m_writer->settled();
}

void LumoSettings::setShowsLumoTooltips(bool on)
{
    if (on == m_showsLumoTooltips)
        return;
    m_showsLumoTooltips = on;
    write(tooltipsKey, on);
    emit showsLumoTooltipsChanged();
}

void LumoSettings::setAutoOpenProjectionMonitor(bool on)
{
    if (on == m_autoOpenProjectionMonitor)
        return;
    m_autoOpenProjectionMonitor = on;
    write(monitorKey, on);
    emit autoOpenProjectionMonitorChanged();
}

void LumoSettings::setTimelineSnapEnabled(bool on)
{
    if (on == m_timelineSnapEnabled)
        return;
    m_timelineSnapEnabled = on;
    write(snapKey, on);
    emit timelineSnapEnabledChanged();
}
