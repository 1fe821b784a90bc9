#pragma once

#include "cue.h"
#include "mediaasset.h"
#include "projectormapping.h"
#include "screenrole.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QUrl>
#include <optional>

// The show document: the root of the project file, copied, changed and written back whole by every edit.
struct Show
{
    QList<Cue> cues;
    QString artNetHost;
    qint64 universe = 0;
    std::optional<QList<MediaAsset>> assets;
    std::optional<QUrl> defaultPicture;
    std::optional<QList<ScreenRole>> outputScreens;
    std::optional<QMap<QString, ProjectorMapping>> projectorMappings;
    std::optional<QMap<QString, QString>> displayBindings;

    bool operator==(const Show&) const = default;

    // The default show: three cues "暖场", "开场", "退场".
    static Show makeDefault();

    // The screens the show uses: the stored list, or one or two derived from the cues.
    QList<ScreenRole> screens() const;
};
