#pragma once

#include <QPointF>
#include <QWidget>
#include <optional>

// A thin strip with a grip that reports vertical drags: a drag begins once the pointer has moved 10 points from
// where it was pressed, and each move then reports how far below the press point the pointer is (in screen
// coordinates, so the strip moving under the pointer does not disturb it).
class DragHandle : public QWidget
{
    Q_OBJECT
  public:
    static constexpr double minimumDistance = 10;

    explicit DragHandle(QWidget* parent = nullptr);

    QSize sizeHint() const override { return {38, 12}; }

  signals:
    void dragChanged(double translation);
    void dragEnded();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    std::optional<QPointF> m_pressedAt;
    bool m_dragging = false;
};
