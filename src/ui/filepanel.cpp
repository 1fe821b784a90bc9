#include "filepanel.h"

#include <QAbstractItemView>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpression>
#include <QSet>

FilePanel::FilePanel(const FilePanelRequest& request) : m_request(request)
{
    request.applyTo(*this);
    for (const QString& pattern : filterPatterns(nameFilters()))
        m_patterns.append(QRegularExpression::fromWildcard(pattern, Qt::CaseInsensitive));
}

QList<QUrl> FilePanel::chosen() const
{
    return m_chose ? m_chosen : selectedUrls();
}

QStringList FilePanel::typedNames(const QString& text)
{
    if (!text.contains(u'"'))
        return text.isEmpty() ? QStringList{} : QStringList{text};
    // "a.png" "b.png": every second piece between quotes is a name.
    const QStringList pieces = text.split(u'"');
    QStringList names;
    for (qsizetype i = 1; i < pieces.size(); i += 2)
        if (!pieces[i].isEmpty())
            names.append(pieces[i]);
    return names;
}

QStringList FilePanel::filterPatterns(const QStringList& nameFilters)
{
    static const QRegularExpression inParentheses(QStringLiteral("\\(([^()]*)\\)\\s*$"));
    QStringList patterns;
    for (const QString& filter : nameFilters) {
        const QRegularExpressionMatch match = inParentheses.match(filter);
        const QString list = match.hasMatch() ? match.captured(1) : filter;
        for (const QString& pattern : list.split(u' ', Qt::SkipEmptyParts))
            if (!patterns.contains(pattern))
                patterns.append(pattern);
    }
    return patterns;
}

QString FilePanel::pathOf(const QString& name) const
{
    if (name == u'~' || name.startsWith(QStringLiteral("~/")))
        return QDir::homePath() + name.mid(1);
    if (QFileInfo(name).isAbsolute())
        return QDir::cleanPath(name);
    return QDir::cleanPath(directory().absoluteFilePath(name));
}

bool FilePanel::offersTypeOf(const QString& path) const
{
    if (m_patterns.isEmpty())
        return true;
    const QString name = QFileInfo(path).fileName();
    for (const QRegularExpression& pattern : m_patterns)
        if (pattern.match(name).hasMatch())
            return true;
    return false;
}

// The type filters by name, leaving out a first one that only gathers the others ("所有媒体").
static QString offeredTypes(const QStringList& nameFilters)
{
    QStringList names;
    for (const QString& filter : nameFilters)
        names.append(filter.section(QStringLiteral(" ("), 0, 0));
    if (nameFilters.size() > 1) {
        const QStringList all = FilePanel::filterPatterns({nameFilters.first()});
        const QStringList rest = FilePanel::filterPatterns(nameFilters.mid(1));
        if (QSet(all.cbegin(), all.cend()) == QSet(rest.cbegin(), rest.cend()))
            names.removeFirst();
    }
    return names.join(QStringLiteral("、"));
}

QString FilePanel::refusalOf(const QString& path) const
{
    const QFileInfo file(path);
    if (!file.exists())
        return QStringLiteral("找不到“%1”").arg(file.fileName());
    if (file.isDir())
        return QStringLiteral("“%1”是文件夹").arg(file.fileName());
    if (!offersTypeOf(path))
        return QStringLiteral("“%1”不是可以选择的文件类型（%2）").arg(file.fileName(), offeredTypes(nameFilters()));
    return {};
}

QStringList FilePanel::selectedFilePaths() const
{
    QStringList paths;
    const auto* view = findChild<QAbstractItemView*>(QStringLiteral("listView"));
    if (!view || !view->selectionModel())
        return paths;
    for (const QModelIndex& row : view->selectionModel()->selectedRows()) {
        const auto* files = qobject_cast<const QFileSystemModel*>(row.model());
        if (!files || !files->isDir(row))
            paths.append(row.data(QFileSystemModel::FilePathRole).toString());
    }
    return paths;
}

bool FilePanel::fieldShows(const QLineEdit& field, const QStringList& paths)
{
    QString shown;
    if (paths.size() == 1) {
        shown = QFileInfo(paths.first()).fileName();
    } else {
        for (const QString& path : paths)
            shown += u'"' + QFileInfo(path).fileName() + QStringLiteral("\" ");
        shown.chop(1);
    }
    const QString text = field.text();
    return text == shown || (text.size() == field.maxLength() && shown.startsWith(text));
}

void FilePanel::accept()
{
    auto* field = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    // The field holds the selection as Qt's dialog wrote it there, cut at the field's length for a large one: the
    // selection is taken whole. Names typed are taken as typed.
    QStringList names = selectedFilePaths();
    if (field && !field->text().isEmpty() && !fieldShows(*field, names))
        names = typedNames(field->text());
    if (names.isEmpty())
        names = selectedFiles();
    switch (m_request.mode) {
    case FilePanelRequest::Mode::openFile:
    case FilePanelRequest::Mode::openFiles:
        acceptOpen(names);
        return;
    case FilePanelRequest::Mode::saveFile:
        acceptSave(names);
        return;
    case FilePanelRequest::Mode::openFolder:
        QFileDialog::accept();
        return;
    }
}

void FilePanel::acceptOpen(const QStringList& names)
{
    QStringList paths;
    for (const QString& name : names)
        paths.append(pathOf(name));
    // One folder typed is opened, as in Qt's own dialog.
    if (paths.size() == 1 && QFileInfo(paths.first()).isDir()) {
        QFileDialog::accept();
        return;
    }
    QStringList reasons;
    if (m_request.mode == FilePanelRequest::Mode::openFile && paths.size() > 1)
        reasons.append(QStringLiteral("这里只能选择一个文件"));
    QList<QUrl> chosen;
    QSet<QString> taken;
    for (const QString& path : std::as_const(paths)) {
        if (const QString why = refusalOf(path); !why.isEmpty())
            reasons.append(why);
        else if (!taken.contains(path)) {
            taken.insert(path);
            chosen.append(QUrl::fromLocalFile(path));
        }
    }
    if (chosen.isEmpty() && reasons.isEmpty())
        return;
    if (!reasons.isEmpty()) {
        refuse(reasons);
        return;
    }
    m_chosen = chosen;
    m_chose = true;
    QDialog::accept();
}

// A name without a suffix takes the panel's own; any other suffix must be one the panel offers. The rest (a folder
// typed, a file to be replaced) is Qt's dialog's own.
void FilePanel::acceptSave(const QStringList& names)
{
    if (names.size() == 1) {
        const QString path = pathOf(names.first());
        if (!QFileInfo(path).suffix().isEmpty() && !QFileInfo(path).isDir() && !offersTypeOf(path)) {
            refuse({QStringLiteral("“%1”不是可以保存的文件类型（%2）")
                        .arg(QFileInfo(path).fileName(), offeredTypes(nameFilters()))});
            return;
        }
    }
    QFileDialog::accept();
}

// The message takes the keyboard, and the name field keeps it after the message, so that the operator mends the
// names where they are, with or without a window manager to hand the focus on.
void FilePanel::refuse(const QStringList& reasons)
{
    QMessageBox message(QMessageBox::Warning, QStringLiteral("无法选择文件"), reasons.join(u'\n'), QMessageBox::Ok,
                        this);
    message.show();
    message.activateWindow();
    message.exec();
    activateWindow();
    if (auto* field = findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        field->setFocus(Qt::OtherFocusReason);
}
