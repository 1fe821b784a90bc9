#pragma once

#include <QWidget>

// One line of text, cut off with an ellipsis when it is wider than the label; the whole text never wraps. A very
// long text is cut to a sane length as it comes in (shownLength).
class ElidedLabel : public QWidget
{
    Q_OBJECT
  public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString& text);
    // The text as it fits the current width.
    QString shownText() const;
    void setColor(const QColor& color);
    // Where the ellipsis goes; at the end unless set (file names keep their extension with Qt::ElideMiddle).
    void setElideMode(Qt::TextElideMode mode);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString line() const;
    int lineWidth() const;

    QString m_text;
    Qt::TextElideMode m_elideMode = Qt::ElideRight;
};
