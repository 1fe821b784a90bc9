#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QString>
#include <functional>

class Engine;
class QWidget;

// The application's single windows, opened by id. Opening one that is open brings it forward: there is never a
// second window of an id. Each window's content is made when the window is first opened.
class SingleWindows : public QObject
{
    Q_OBJECT
  public:
    using ContentFactory = std::function<QWidget*(Engine& engine)>;

    struct Kind
    {
        QString title;
        QSize defaultSize;
        QSize minimumSize;
        // The remote window keeps this width however it is resized; 0 leaves the width free.
        int fixedWidth = 0;
        // Whether its hover help follows the "显示悬浮说明" switch, like the console's.
        bool followsTooltipSwitch = false;
        ContentFactory content;
    };

    explicit SingleWindows(Engine& engine, QObject* parent = nullptr);
    ~SingleWindows() override;

    void open(const QString& id);
    // The open window of an id, or nullptr.
    QWidget* window(const QString& id) const;
    QList<QWidget*> openWindows() const;
    void setTooltipsEnabled(bool enabled);

  signals:
    void opened(const QString& id);

  private:
    QWidget* make(const QString& id, const Kind& kind);

    Engine& m_engine;
    QHash<QString, Kind> m_kinds;
    QHash<QString, QPointer<QWidget>> m_windows;
    bool m_tooltipsEnabled = true;
};
