#include "medialibrarypanel.h"

#include "assetrowdelegate.h"
#include "assetthumbnails.h"
#include "consolecolors.h"
#include "consoletext.h"
#include "lumohelp.h"
#include "lumoicons.h"
#include "mediafilechooser.h"
#include "mediafiles.h"
#include "medialibrarylist.h"
#include "shownfileswatch.h"
#include "timelineeditormodel.h"

#include <QDragEnterEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QPushButton>
#include <QStackedLayout>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
constexpr int kInset = 12;

// The dashed cyan frame over the whole panel while files from outside hover over it.
class DropBorder : public QWidget
{
  public:
    explicit DropBorder(QWidget* parent) : QWidget(parent)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_TranslucentBackground);
    }

  protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPen pen(ConsoleColors::cyan(), 2);
        pen.setDashPattern({3, 2}); // 6 on, 4 off: Qt counts dashes in pen widths
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(4, 4, -4, -4), 8, 8);
    }
};

bool carriesFiles(const QMimeData* data)
{
    return data && data->hasUrls();
}
} // namespace

MediaLibraryPanel::MediaLibraryPanel(TimelineEditorModel& editor, QWidget* parent)
    : QWidget(parent), m_editor(editor), m_thumbnails(new AssetThumbnails(editor.cue().engine()->mediaFiles(), this)),
      m_rows(new MediaLibraryList(editor, this)),
      m_chooseFiles([](QWidget* parent, std::function<void(const QList<QUrl>&)> chosen) {
          chooseMediaFiles(parent, {AssetKind::image, AssetKind::video, AssetKind::audio}, std::move(chosen));
      })
{
    setAcceptDrops(true);

    auto* content = new QWidget(this);
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, kInset, 0, 0);
    column->setSpacing(8);
    column->addWidget(makeHeader());

    m_search = new QLineEdit(content);
    m_search->setPlaceholderText(QStringLiteral("搜索素材"));
    m_search->setClearButtonEnabled(true);
    auto* searchRow = new QHBoxLayout;
    searchRow->setContentsMargins(kInset, 0, kInset, 0);
    searchRow->addWidget(m_search);
    column->addLayout(searchRow);
    connect(m_search, &QLineEdit::textEdited, &m_editor.view(), &TimelineViewState::setAssetSearch);

    auto* listArea = new QWidget(content);
    auto* listStack = new QStackedLayout(listArea);
    listStack->setStackingMode(QStackedLayout::StackAll);
    m_list = new QListView(listArea);
    m_list->setModel(m_rows);
    m_list->setItemDelegate(new AssetRowDelegate(*m_thumbnails, m_editor.cue().engine()->mediaFiles(), m_list));
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setDragDropMode(QAbstractItemView::DragOnly);
    m_list->setUniformItemSizes(true);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setMouseTracking(true);
    m_list->setTextElideMode(Qt::ElideMiddle);
    m_empty = new QLabel(QStringLiteral("拖入图片、视频或音频"), listArea);
    m_empty->setAlignment(Qt::AlignCenter);
    m_empty->setAttribute(Qt::WA_TransparentForMouseEvents);
    ConsoleText::setColour(m_empty, ConsoleColors::secondaryText());
    listStack->addWidget(m_list);
    listStack->addWidget(m_empty);
    m_empty->raise();
    column->addWidget(listArea, 1);

    m_dropBorder = new DropBorder(this);
    auto* panelStack = new QStackedLayout(this);
    panelStack->setStackingMode(QStackedLayout::StackAll);
    panelStack->addWidget(content);
    panelStack->addWidget(m_dropBorder);
    m_dropBorder->raise();

    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &MediaLibraryPanel::selectionChanged);
    // Each row's hover help is the file's full path.
    connect(m_list, &QAbstractItemView::entered, this, [this](const QModelIndex& index) {
        lumoHelp(m_list->viewport(), m_rows->asset(index.row()).url.toLocalFile());
    });
    connect(m_list, &QAbstractItemView::viewportEntered, this, [this] { lumoHelp(m_list->viewport(), {}); });
    m_shownFiles = new ShownFilesWatch(*m_list, *m_rows, m_editor.cue().engine()->mediaFiles(), this);
    connect(m_thumbnails, &AssetThumbnails::loaded, this, [this](const QUrl& url) { redrawShown({url}); });
    // A file that answers late, or differently, is drawn again with its mark, once a round of answers and only in
    // view: a row scrolled into view is drawn from what is known then. The files in view are asked again, so that
    // the marks follow the disk.
    connect(&m_editor.cue().engine()->mediaFiles(), &MediaFiles::answeredFiles, this,
            [this](const QList<QUrl>& files) { redrawShown(QSet<QUrl>(files.cbegin(), files.cend())); });
    connect(&m_editor, &TimelineEditorModel::changed, this, &MediaLibraryPanel::follow);
    follow();
}

MediaLibraryPanel::~MediaLibraryPanel() = default;

QWidget* MediaLibraryPanel::makeHeader()
{
    auto* header = new QWidget(this);
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(kInset, 0, kInset, 0);
    auto* title = new QLabel(QStringLiteral("工程素材"), header);
    title->setFont(ConsoleText::headline(title->font()));
    row->addWidget(title);
    row->addStretch(1);
    m_import = new QPushButton(QStringLiteral("导入"), header);
    connect(m_import, &QPushButton::clicked, this, &MediaLibraryPanel::importAssets);
    row->addWidget(m_import);
    m_remove = new QToolButton(header);
    m_remove->setIcon(lumoIcon(QStringLiteral("minus")));
    m_remove->setAccessibleName(QStringLiteral("从素材库移除"));
    lumoHelp(m_remove, QStringLiteral("从素材库移除"));
    connect(m_remove, &QToolButton::clicked, &m_editor, [this] { m_editor.library().removeAsset(); });
    row->addWidget(m_remove);
    return header;
}

void MediaLibraryPanel::importAssets()
{
    // The files go to the show in place when the panel was asked, and nowhere once another has taken its place.
    m_chooseFiles(window(),
                  [self = QPointer(this), show = m_editor.cue().engine()->showNumber()](const QList<QUrl>& chosen) {
                      if (self && !chosen.isEmpty())
                          self->m_editor.library().addAssets(chosen, show);
                  });
}

// The desktop hands every dropped file at once, so the drop is one import with one note.
bool MediaLibraryPanel::acceptDrop(const QMimeData* data)
{
    if (!carriesFiles(data))
        return false;
    QList<QUrl> files;
    for (const QUrl& url : data->urls())
        if (url.isValid() && !url.isEmpty())
            files.append(url);
    if (files.isEmpty())
        m_editor.view().setNote(QStringLiteral("无法读取拖入的文件。"));
    else
        m_editor.library().addAssets(files);
    return true;
}

bool MediaLibraryPanel::showsDropBorder() const
{
    return m_dropBorder->isVisible();
}

void MediaLibraryPanel::dragEnterEvent(QDragEnterEvent* event)
{
    if (!carriesFiles(event->mimeData()))
        return event->ignore();
    event->acceptProposedAction();
    m_editor.view().setDropTargeted(true);
}

void MediaLibraryPanel::dragMoveEvent(QDragMoveEvent* event)
{
    if (carriesFiles(event->mimeData()))
        event->acceptProposedAction();
}

void MediaLibraryPanel::dragLeaveEvent(QDragLeaveEvent*)
{
    m_editor.view().setDropTargeted(false);
}

void MediaLibraryPanel::dropEvent(QDropEvent* event)
{
    m_editor.view().setDropTargeted(false);
    if (acceptDrop(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void MediaLibraryPanel::follow()
{
    m_following = true;
    if (m_search->text() != m_editor.view().assetSearch())
        m_search->setText(m_editor.view().assetSearch());
    m_remove->setEnabled(m_editor.selection().assetID().has_value());
    m_empty->setVisible(m_editor.cue().assets().isEmpty());
    m_dropBorder->setVisible(m_editor.view().dropTargeted());
    const int row = m_editor.selection().assetID() ? m_rows->rowOf(*m_editor.selection().assetID()) : -1;
    const QModelIndex current = m_list->selectionModel()->selectedIndexes().value(0);
    if (row < 0)
        m_list->clearSelection();
    else if (current.row() != row) {
        m_list->selectionModel()->select(m_rows->index(row), QItemSelectionModel::ClearAndSelect);
        m_list->scrollTo(m_rows->index(row));
    }
    m_following = false;
}

void MediaLibraryPanel::redrawShown(const QSet<QUrl>& files)
{
    const auto [first, last] = m_shownFiles->shownRows();
    m_rows->refreshRowsOf(files, first, last);
}

void MediaLibraryPanel::selectionChanged()
{
    if (m_following)
        return;
    const QModelIndexList selected = m_list->selectionModel()->selectedIndexes();
    if (selected.isEmpty())
        return;
    m_editor.selection().setAssetID(m_rows->asset(selected.first().row()).id);
}
