#pragma once

#include "mediafilechooser.h"

#include <QUuid>
#include <QWidget>

class ElidedLabel;
class QToolButton;

// A cue of the show that was in place (Engine::showNumber) when a file was asked for it.
struct CueOfShow
{
    quint64 show = 0;
    QUuid cue;
};

// One media file of a cue: its title, the file's name (or "未选择"), "选择" to pick another and a button that
// clears it. It only reports the operator's choice, with the cue it was asked for; the inspector writes it into the
// show.
class AssetPicker : public QWidget
{
    Q_OBJECT
  public:
    AssetPicker(const QString& title, QList<AssetKind> kinds, MediaFileChooser chooser, QWidget* parent = nullptr);

    // The cue whose file is shown, and which a file chosen now is for.
    void showFileOf(const CueOfShow& cue, const std::optional<QUrl>& url);
    QString shownName() const;

  signals:
    // A file was chosen for the cue that was shown when the panel was asked.
    void chosen(const CueOfShow& cue, const QUrl& url);
    void cleared();

  private:
    CueOfShow m_cue;
    QList<AssetKind> m_kinds;
    MediaFileChooser m_chooser;
    ElidedLabel* m_name;
    QToolButton* m_clear;
};
