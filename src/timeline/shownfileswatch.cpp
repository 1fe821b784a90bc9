#include "shownfileswatch.h"

#include "mediafiles.h"
#include "medialibrarylist.h"

#include <QListView>

ShownFilesWatch::ShownFilesWatch(QListView& list, MediaLibraryList& rows, MediaFiles& files, QObject* parent)
    : QObject(parent), m_list(list), m_rows(rows), m_files(files)
{
    m_round.setInterval(kEvery);
    connect(&m_round, &QTimer::timeout, this, &ShownFilesWatch::askAgain);
    m_round.start();
}

std::pair<int, int> ShownFilesWatch::shownRows() const
{
    if (!m_list.isVisible())
        return {0, -1};
    const QRect view = m_list.viewport()->rect();
    const QModelIndex top = m_list.indexAt(QPoint(view.left() + 1, view.top() + 1));
    const int first = top.isValid() ? top.row() : 0;
    int last = first - 1;
    for (int row = first; row < m_rows.rowCount(); ++row) {
        const QRect drawn = m_list.visualRect(m_rows.index(row));
        if (drawn.top() > view.bottom())
            break;
        if (drawn.intersects(view))
            last = row;
    }
    return {first, last};
}

QList<QUrl> ShownFilesWatch::shownFiles() const
{
    QList<QUrl> files;
    const auto [first, last] = shownRows();
    for (int row = first; row <= last && files.size() < kMostPerRound; ++row)
        if (!files.contains(m_rows.asset(row).url))
            files.append(m_rows.asset(row).url);
    return files;
}

void ShownFilesWatch::askAgain()
{
    if (const QList<QUrl> files = shownFiles(); !files.isEmpty())
        m_files.refresh(files, FileDepth::readable);
}
