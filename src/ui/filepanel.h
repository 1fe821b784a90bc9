#pragma once

#include "filepanelrequest.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QList>
#include <QRegularExpression>
#include <QStringList>
#include <QUrl>

// Qt's file dialog as the panel program shows it, set up from the console's request. Its open panels take every
// name typed into the name field (Qt's own dialog prefers the list's selection, which holds only the typed names its
// listing has reached), or the selection whole while the field shows it (the field holds 32,767 characters, so a
// large one is cut there), and only files of the types its filters offer; its save panel only names of those types. A
// name it cannot take keeps the panel open, and a message in the panel says which and why.
class FilePanel : public QFileDialog
{
  public:
    explicit FilePanel(const FilePanelRequest& request);

    // What the operator chose, once the panel was accepted.
    QList<QUrl> chosen() const;

    // The names in a name field as Qt's dialog reads them: each quoted name, or the whole text when it holds no quote.
    static QStringList typedNames(const QString& text);
    // The file name patterns of type filters ("图片 (*.png *.jpg)" gives *.png and *.jpg).
    static QStringList filterPatterns(const QStringList& nameFilters);

  protected:
    void accept() override;

  private:
    // The path a typed name stands for: as typed when absolute, under the home folder for "~", else in the panel's
    // folder.
    QString pathOf(const QString& name) const;
    bool offersTypeOf(const QString& path) const;
    // The files (not folders) selected in the listing, by path.
    QStringList selectedFilePaths() const;
    // Whether the name field holds what Qt's dialog writes there for these files, whole or cut at its length.
    static bool fieldShows(const QLineEdit& field, const QStringList& paths);
    // Why the file cannot be taken, or nothing.
    QString refusalOf(const QString& path) const;
    void acceptOpen(const QStringList& names);
    void acceptSave(const QStringList& names);
    void refuse(const QStringList& reasons);

    FilePanelRequest m_request;
    QList<QRegularExpression> m_patterns;
    QList<QUrl> m_chosen;
    bool m_chose = false;
};
