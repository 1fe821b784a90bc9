#pragma once

#include <QWidget>

// An empty, labelled area standing where a part of the console is not built yet. It offers no control.
class SectionPlaceholder : public QWidget
{
    Q_OBJECT
  public:
    // A fixed height, when given, stands for a section of known height (a row of controls).
    explicit SectionPlaceholder(const QString& name, QWidget* parent = nullptr, int fixedHeight = 0);

    QString name() const { return m_name; }
    QSize sizeHint() const override { return {200, 80}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString m_name;
};
