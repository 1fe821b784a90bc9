#pragma once

#include <QList>
#include <QObject>
#include <QTimer>
#include <QUrl>
#include <chrono>
#include <utility>

class MediaFiles;
class MediaLibraryList;
class QListView;

// Asks the disk again about the files of the library rows in view, so that their marks follow files that go away or
// come back: a few files twice a second, on the file questions' threads, never the main thread. A file whose
// question is still on the way (its folder does not answer) is not asked twice; the rows redraw as answers change.
class ShownFilesWatch : public QObject
{
  public:
    static constexpr std::chrono::milliseconds kEvery{500};
    // A tall list asks its rows in view, never the whole of a large library.
    static constexpr int kMostPerRound = 64;

    ShownFilesWatch(QListView& list, MediaLibraryList& rows, MediaFiles& files, QObject* parent = nullptr);

    // The files of the rows in view, in order.
    QList<QUrl> shownFiles() const;
    // The first and the last row in view; the last is before the first when none is.
    std::pair<int, int> shownRows() const;

  private:
    void askAgain();

    QListView& m_list;
    MediaLibraryList& m_rows;
    MediaFiles& m_files;
    QTimer m_round;
};
