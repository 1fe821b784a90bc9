#pragma once

#include "screenrole.h"

#include <QWidget>

class AspectBox;
class DisplayPreview;
class Engine;
class QLabel;

// One screen in the projection monitor's grid: its name over what it puts out, the corrected output when its
// mapping is on, else its on-air picture at its display's shape, else the name alone.
class ProjectionMonitorCell : public QWidget
{
    Q_OBJECT
  public:
    enum class Content { none, mapped, picture };

    ProjectionMonitorCell(Engine& engine, const ScreenRole& role, QWidget* parent = nullptr);

    ScreenRole role() const { return m_role; }
    Content content() const { return m_content; }
    QWidget* output() const;
    void refresh();
    // Only a cell inside the scrolled view follows its picture; the others stop sampling.
    void setOnScreen(bool onScreen);

  private:
    void show(Content content);

    Engine& m_engine;
    ScreenRole m_role;
    Content m_content = Content::none;
    bool m_onScreen = true;
    AspectBox* m_mapped;
    DisplayPreview* m_picture;
};
