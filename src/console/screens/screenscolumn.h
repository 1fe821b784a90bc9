#pragma once

#include "screenrole.h"

#include <QMap>
#include <QUrl>
#include <QWidget>
#include <functional>
#include <optional>

class ConsoleState;
class ElidedLabel;
class Engine;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QToolButton;
class ScreenCard;

// Asks the operator for one image file, answering later and not at all when the panel is cancelled. Tests replace it.
using ImageChooser = std::function<void(QWidget* parent, std::function<void(const QUrl&)> chosen)>;

// The screens column: its header (title, "投影模式", "添加屏幕", the page switcher, the "监看" switch between on-air
// and preview pictures), one page of screen cards, the transport bar, the show's default picture and the handle
// that sets the monitors' height. Cards are kept per screen and shown by page, so paging never rebuilds them.
class ScreensColumn : public QWidget
{
    Q_OBJECT
  public:
    ScreensColumn(ConsoleState& state, std::function<void(const QString&)> openWindow, ImageChooser chooseImage,
                  QWidget* parent = nullptr);

    // The cards of the current page, in order.
    QList<ScreenCard*> shownCards() const;
    ScreenCard* card(const ScreenRole& role) const { return m_cards.value(role); }
    QString pageText() const;
    QWidget* pagination() const { return m_pagination; }

  private:
    QWidget* makeHeader();
    QWidget* makePagination();
    QWidget* makeMonitorSwitch();
    QWidget* makeDefaultPictureRow();
    QWidget* makeHandle();
    void syncCards();
    void refreshPage();
    void refreshDefaultPicture();
    void resizeMonitors(double translation);

    ConsoleState& m_state;
    Engine& m_engine;
    std::function<void(const QString&)> m_openWindow;
    ImageChooser m_chooseImage;
    QMap<ScreenRole, ScreenCard*> m_cards;
    QHBoxLayout* m_cardsRow = nullptr;
    QWidget* m_pagination = nullptr;
    QToolButton* m_previousPage = nullptr;
    QToolButton* m_nextPage = nullptr;
    QLabel* m_pageLabel = nullptr;
    QPushButton* m_onAir = nullptr;
    QPushButton* m_preview = nullptr;
    QWidget* m_transport = nullptr;
    ElidedLabel* m_defaultPicture = nullptr;
    QPushButton* m_restoreDefault = nullptr;
};
