#pragma once

#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <chrono>
#include <optional>

class QFileDialog;

// What one file panel asks: its kind, the file types it offers, what its name field holds. The console hands it to
// the panel program as arguments; the program reads it back and sets up Qt's file dialog with it.
struct FilePanelRequest
{
    enum class Mode { openFile, openFiles, openFolder, saveFile };

    Mode mode = Mode::openFile;
    // Type filters, "名称 (*.a *.b)", the first one chosen.
    QStringList nameFilters;
    // Kinds of media by name ("图片", "视频", "音频") whose file types the panel program adds as type filters.
    QStringList mediaKinds;
    // The type list shows the names alone (a kind of media has dozens of extensions).
    bool hideFilterDetails = false;
    // Added to a typed name without one (save panels).
    QString defaultSuffix;
    // The name field's preset, a name or a whole path (the panel then starts in its folder).
    QString selectedFile;
    // The confirm button's text, when not Qt's own.
    QString acceptLabel;
    // The window the panel stays in front of (an X window id), when there is one, and where that window lies on the
    // screen: the panel shows over its middle.
    std::optional<quint64> transientFor;
    std::optional<QRect> centredOver;

    bool operator==(const FilePanelRequest&) const = default;

    QStringList arguments() const;
    // None when the arguments are not a request.
    static std::optional<FilePanelRequest> fromArguments(const QStringList& arguments);
    // Sets up the panel as asked, with its details written in Chinese.
    void applyTo(QFileDialog& panel) const;

    // While its panel is shown, the program writes an empty line this often: a sign that it is not held.
    static constexpr std::chrono::milliseconds kSignOfLifeEvery{250};
    static constexpr char kSignOfLife = '\n';

    // The panel's answer as the program writes it: one encoded URL a line, then a line with a single dot; nothing
    // before the dot when the operator cancels. Empty lines (signs of life) are no part of it.
    static QByteArray answerBytes(const QList<QUrl>& chosen);
    // The URLs of a whole answer; none while the closing dot has not come.
    static std::optional<QList<QUrl>> answerFrom(const QByteArray& bytes);
};
