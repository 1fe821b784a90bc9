#pragma once

#include <QLatin1StringView>
#include <QString>

// Where in the project file a value sits, e.g. cues[2].ending. Places chain on the stack from the root, so the
// text is only put together when something has gone wrong; a place must not outlive its parent or its key.
class JsonPlace
{
  public:
    JsonPlace() = default;
    JsonPlace(const JsonPlace& parent, QLatin1StringView member) : m_parent(&parent), m_member(member) {}
    JsonPlace(const JsonPlace& parent, qsizetype index) : m_parent(&parent), m_index(index) {}
    // A key of a table such as projectorMappings["屏幕 1"].
    JsonPlace(const JsonPlace& parent, const QString& key) : m_parent(&parent), m_key(&key) {}

    QString text() const;

  private:
    void appendTo(QString& text) const;

    const JsonPlace* m_parent = nullptr;
    QLatin1StringView m_member;
    qsizetype m_index = -1;
    const QString* m_key = nullptr;
};

// A value of the file as an error text quotes it: in quotes, control characters shown as \uXXXX and long texts
// cut, so that the text stays whole and short enough to show.
QString quotedValue(const QString& value);
