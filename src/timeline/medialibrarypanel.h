#pragma once

#include <QList>
#include <QSet>
#include <QUrl>
#include <QWidget>
#include <functional>

class AssetThumbnails;
class MediaLibraryList;
class QLabel;
class QLineEdit;
class QListView;
class QMimeData;
class QPushButton;
class QToolButton;
class ShownFilesWatch;
class TimelineEditorModel;

// The show's media library in the timeline editor: the header with import and remove, the search field, and the
// list of entries with their thumbnails. Files dropped from the desktop are imported; while a cue is edited, rows
// are dragged onto the timeline's lanes. The panel draws from the editor's state and changes it only through the
// editor's operations, whose notes reach the status line.
class MediaLibraryPanel : public QWidget
{
    Q_OBJECT
  public:
    // Asks the operator for media files to import (an open panel), answering later and not at all on cancel; tests
    // replace it.
    using FilesChooser = std::function<void(QWidget* parent, std::function<void(const QList<QUrl>&)> chosen)>;

    explicit MediaLibraryPanel(TimelineEditorModel& editor, QWidget* parent = nullptr);
    ~MediaLibraryPanel() override;

    void setFilesChooser(FilesChooser chooser) { m_chooseFiles = std::move(chooser); }
    // The open panel for any number of pictures, videos and sounds; the chosen files are added in one go.
    void importAssets();
    // Files dropped from outside; false when the drop carries no file.
    bool acceptDrop(const QMimeData* data);

    QListView* list() const { return m_list; }
    AssetThumbnails& thumbnails() const { return *m_thumbnails; }
    const ShownFilesWatch& shownFiles() const { return *m_shownFiles; }
    QPushButton* importButton() const { return m_import; }
    QToolButton* removeButton() const { return m_remove; }
    QLineEdit* searchField() const { return m_search; }
    QLabel* emptyText() const { return m_empty; }
    bool showsDropBorder() const;

  protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    QWidget* makeHeader();
    void follow();
    void selectionChanged();
    void redrawShown(const QSet<QUrl>& files);

    TimelineEditorModel& m_editor;
    AssetThumbnails* m_thumbnails;
    MediaLibraryList* m_rows;
    QPushButton* m_import;
    QToolButton* m_remove;
    QLineEdit* m_search;
    QListView* m_list;
    QLabel* m_empty;
    QWidget* m_dropBorder;
    ShownFilesWatch* m_shownFiles = nullptr;
    FilesChooser m_chooseFiles;
    bool m_following = false;
};
