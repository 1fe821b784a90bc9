#pragma once

#include <QWidget>

// Stands in for the screens column: the place of the screen cards and, below them, of the transport bar.
class ScreensColumnPlaceholder : public QWidget
{
    Q_OBJECT
  public:
    explicit ScreensColumnPlaceholder(QWidget* parent = nullptr);
};
