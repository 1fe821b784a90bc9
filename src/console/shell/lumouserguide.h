#pragma once

#include <QScrollArea>
#include <QStringList>

class QLabel;

// The built-in user guide: the product mark and title over five short sections on the console's main tasks. A
// static page; long steps wrap to the window's width and the page scrolls when it does not fit.
class LumoUserGuide : public QScrollArea
{
    Q_OBJECT
  public:
    struct Section
    {
        QString title;
        QString icon;
        QStringList steps;
    };
    // recoveryFolder: where unsaved work is kept, named by the first section.
    static QList<Section> sections(const QString& recoveryFolder);

    explicit LumoUserGuide(const QString& recoveryFolder, QWidget* parent = nullptr);

    QList<QLabel*> stepLabels() const { return m_steps; }

  private:
    QWidget* guide(const Section& section, QWidget* parent);

    QList<QLabel*> m_steps;
};
