#pragma once

#include "projectormapping.h"
#include "screenrole.h"

#include <QPointer>
#include <QWidget>

class CurvedProjectionView;
class Picture;
class PictureView;
class ScreenOutputSource;
class WarpedOutput;

struct MappedOutputOptions
{
    // The test pattern instead of the picture; the source's switch reaches only the output windows.
    bool testPattern = false;
    // The mapping drawn flat over the whole output, without its geometry.
    bool editingMask = false;
};

// What one output screen puts out, as the console's monitors and the mapping editor show it: its programme picture (or
// that of the mapping's source screen) through the screen's projector mapping, drawn by the curved mesh renderer when
// the mapping has a mesh, corner-pinned otherwise, and plain when the mapping is off or its source has no picture.
// Follows the source's changes in place; only a change of the kind of drawing replaces the inner view.
class MappedOutput : public QWidget
{
    Q_OBJECT
  public:
    enum class Kind { none, plain, warped, curved };

    using Options = MappedOutputOptions;

    MappedOutput(ScreenOutputSource* source, const ScreenRole& role, Options options = {}, QWidget* parent = nullptr);

    // Shows another screen in place, keeping the inner view when its kind stays.
    void setRole(const ScreenRole& role);
    void setTestPattern(bool testPattern);
    void setEditingMask(bool editingMask);
    Kind kind() const { return m_kind; }
    // The inner view of the current kind; none when nothing is drawn.
    QWidget* content() const { return m_content; }
    ScreenRole role() const { return m_role; }

  private:
    void refresh();
    void replaceContent(Kind kind, QWidget* content);
    void showCurved(Picture* picture, const ProjectorMapping& mapping, bool pattern);
    void showWarped(Picture* picture, const ProjectorMapping& mapping, bool pattern);
    void showPlain(Picture* picture);

    QPointer<ScreenOutputSource> m_source;
    ScreenRole m_role;
    Options m_options;
    Kind m_kind = Kind::none;
    QWidget* m_content = nullptr;
};
