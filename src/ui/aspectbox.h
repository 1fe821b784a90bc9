#pragma once

#include <QSizeF>
#include <QWidget>

// Holds one view at a fixed shape: the largest rectangle of that width-to-height ratio that fits, centred. A radius
// rounds the view's corners.
class AspectBox : public QWidget
{
    Q_OBJECT
  public:
    explicit AspectBox(QWidget* parent = nullptr);

    // The view shown; the box takes it as its child. None empties the box.
    void setContent(QWidget* content);
    QWidget* content() const { return m_content; }
    // Width and height in any unit (a display's pixels); an empty size counts as 16 × 9.
    void setAspect(QSizeF aspect);
    QSizeF aspect() const { return m_aspect; }
    void setCornerRadius(double radius);
    // Where the content sits for the box's current size.
    QRect contentRect() const;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void place();

    QWidget* m_content = nullptr;
    QSizeF m_aspect{16, 9};
    double m_radius = 0;
};
