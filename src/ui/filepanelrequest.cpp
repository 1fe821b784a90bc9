#include "filepanelrequest.h"

#include "chinesefiledetails.h"

#include <QFileDialog>

namespace {

const QStringList kModes{QStringLiteral("open-file"), QStringLiteral("open-files"), QStringLiteral("open-folder"),
                         QStringLiteral("save-file")};

} // namespace

QStringList FilePanelRequest::arguments() const
{
    QStringList arguments{QStringLiteral("--mode"), kModes.at(int(mode))};
    for (const QString& filter : nameFilters)
        arguments << QStringLiteral("--filter") << filter;
    for (const QString& kind : mediaKinds)
        arguments << QStringLiteral("--media-kind") << kind;
    if (hideFilterDetails)
        arguments << QStringLiteral("--hide-filter-details");
    if (!defaultSuffix.isEmpty())
        arguments << QStringLiteral("--suffix") << defaultSuffix;
    if (!selectedFile.isEmpty())
        arguments << QStringLiteral("--select") << selectedFile;
    if (!acceptLabel.isEmpty())
        arguments << QStringLiteral("--accept-label") << acceptLabel;
    if (transientFor)
        arguments << QStringLiteral("--transient-for") << QString::number(*transientFor);
    if (centredOver)
        arguments << QStringLiteral("--centred-over")
                  << QStringLiteral("%1,%2,%3,%4")
                         .arg(centredOver->x())
                         .arg(centredOver->y())
                         .arg(centredOver->width())
                         .arg(centredOver->height());
    return arguments;
}

std::optional<FilePanelRequest> FilePanelRequest::fromArguments(const QStringList& arguments)
{
    FilePanelRequest request;
    bool modeGiven = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& option = arguments[i];
        if (option == QStringLiteral("--hide-filter-details")) {
            request.hideFilterDetails = true;
            continue;
        }
        if (i + 1 >= arguments.size())
            return std::nullopt;
        const QString& value = arguments[++i];
        if (option == QStringLiteral("--mode")) {
            if (!kModes.contains(value))
                return std::nullopt;
            request.mode = Mode(kModes.indexOf(value));
            modeGiven = true;
        } else if (option == QStringLiteral("--filter")) {
            request.nameFilters << value;
        } else if (option == QStringLiteral("--media-kind")) {
            request.mediaKinds << value;
        } else if (option == QStringLiteral("--suffix")) {
            request.defaultSuffix = value;
        } else if (option == QStringLiteral("--select")) {
            request.selectedFile = value;
        } else if (option == QStringLiteral("--accept-label")) {
            request.acceptLabel = value;
        } else if (option == QStringLiteral("--transient-for")) {
            bool number = false;
            request.transientFor = value.toULongLong(&number);
            if (!number)
                return std::nullopt;
        } else if (option == QStringLiteral("--centred-over")) {
            const QStringList parts = value.split(u',');
            QList<int> numbers;
            for (const QString& part : parts) {
                bool number = false;
                numbers.append(part.toInt(&number));
                if (!number)
                    return std::nullopt;
            }
            if (numbers.size() != 4)
                return std::nullopt;
            request.centredOver = QRect(numbers[0], numbers[1], numbers[2], numbers[3]);
        } else {
            return std::nullopt;
        }
    }
    if (!modeGiven)
        return std::nullopt;
    return request;
}

void FilePanelRequest::applyTo(QFileDialog& panel) const
{
    switch (mode) {
    case Mode::openFile:
        panel.setAcceptMode(QFileDialog::AcceptOpen);
        panel.setFileMode(QFileDialog::ExistingFile);
        break;
    case Mode::openFiles:
        panel.setAcceptMode(QFileDialog::AcceptOpen);
        panel.setFileMode(QFileDialog::ExistingFiles);
        break;
    case Mode::openFolder:
        panel.setAcceptMode(QFileDialog::AcceptOpen);
        panel.setFileMode(QFileDialog::Directory);
        panel.setOption(QFileDialog::ShowDirsOnly);
        break;
    case Mode::saveFile:
        panel.setAcceptMode(QFileDialog::AcceptSave);
        panel.setFileMode(QFileDialog::AnyFile);
        break;
    }
    if (hideFilterDetails)
        panel.setOption(QFileDialog::HideNameFilterDetails);
    if (!nameFilters.isEmpty())
        panel.setNameFilters(nameFilters);
    if (!defaultSuffix.isEmpty())
        panel.setDefaultSuffix(defaultSuffix);
    if (!acceptLabel.isEmpty())
        panel.setLabelText(QFileDialog::Accept, acceptLabel);
    useChineseFileDetails(panel);
    if (!selectedFile.isEmpty())
        panel.selectFile(selectedFile);
}

QByteArray FilePanelRequest::answerBytes(const QList<QUrl>& chosen)
{
    QByteArray bytes;
    for (const QUrl& url : chosen)
        bytes += url.toEncoded() + '\n';
    return bytes + ".\n";
}

std::optional<QList<QUrl>> FilePanelRequest::answerFrom(const QByteArray& bytes)
{
    QList<QByteArray> lines = bytes.split('\n');
    // What follows the last line feed is a line not yet whole.
    lines.removeLast();
    const qsizetype end = lines.indexOf(QByteArray("."));
    if (end < 0)
        return std::nullopt;
    QList<QUrl> chosen;
    for (qsizetype i = 0; i < end; ++i)
        if (const QUrl url = QUrl::fromEncoded(lines[i]); url.isValid() && !url.isEmpty())
            chosen.append(url);
    return chosen;
}
