#pragma once

#include "mediafilechooser.h"

#include <QWidget>

class ElidedLabel;
class QToolButton;

// One media file of a cue: its title, the file's name (or "未选择"), "选择" to pick another and a button that
// clears it. It only reports the operator's choice; the inspector writes it into the show.
class AssetPicker : public QWidget
{
    Q_OBJECT
  public:
    AssetPicker(const QString& title, QList<AssetKind> kinds, MediaFileChooser chooser, QWidget* parent = nullptr);

    void setUrl(const std::optional<QUrl>& url);
    QString shownName() const;

  signals:
    void chosen(const QUrl& url);
    void cleared();

  private:
    QList<AssetKind> m_kinds;
    MediaFileChooser m_chooser;
    ElidedLabel* m_name;
    QToolButton* m_clear;
};
