#include "pressvocabulary.h"

#include "editedcue.h"
#include "independentscreens.h"
#include "timelinecueedits.h"

namespace {

template <typename T> const T& oneOf(const QList<T>& list, std::mt19937& random)
{
    return list.at(std::uniform_int_distribution<qsizetype>(0, list.size() - 1)(random));
}

std::optional<Cue> cueNamed(const Engine& engine, const QString& name)
{
    for (const Cue& cue : engine.show().cues)
        if (cue.name == name)
            return cue;
    return std::nullopt;
}

QStringList cueNames(const Engine& engine)
{
    QStringList names;
    for (const Cue& cue : engine.show().cues)
        names << cue.name;
    return names;
}

std::optional<Press> withCue(Stage& stage, std::mt19937& random, int kind)
{
    const QStringList names = cueNames(stage.engine);
    if (names.isEmpty())
        return std::nullopt;
    return Press{kind, oneOf(names, random)};
}

// A lane by what its header shows: the track, the layer and the screen.
QString laneKey(const TimelineLane& lane)
{
    return QStringLiteral("%1/%2/%3")
        .arg(int(lane.track))
        .arg(lane.layer)
        .arg(lane.screen ? lane.screen->rawValue : "");
}
QString laneWords(const QString& key)
{
    static const QStringList tracks{"画面", "副画面", "音乐", "音效", "通讯"};
    const QStringList parts = key.split('/');
    return QStringLiteral("%1轨 %2层%3")
        .arg(tracks.value(parts.value(0).toInt()), parts.value(1), parts.value(2).isEmpty() ? "" : " · " + parts[2]);
}
std::optional<TimelineLane> laneOf(Stage& stage, const QString& key)
{
    for (const TimelineLane& lane : stage.model.cue().lanes())
        if (laneKey(lane) == key)
            return lane;
    stage.missed = true;
    return std::nullopt;
}
QString eventLane(const Stage& stage, const TimelineEvent& event)
{
    for (const TimelineLane& lane : stage.model.cue().lanes())
        if (lane.matches(event))
            return laneKey(lane);
    return {};
}
bool carriesSound(const TimelineLane& lane)
{
    return lane.track == Track::music || lane.track == Track::effects;
}

QUrl fileUrl(const Stage& stage, const QString& key)
{
    const QString folder = key.startsWith(QStringLiteral("share/")) ? stage.share : stage.local;
    return QUrl::fromLocalFile(folder + "/" + key.section('/', 1));
}
bool isSound(const QString& key)
{
    return key.endsWith(QStringLiteral(".wav"));
}
bool isStill(const QString& key)
{
    return key.endsWith(QStringLiteral(".png"));
}

std::optional<ScreenRole> screenNamed(const Engine& engine, const QString& name)
{
    for (const ScreenRole& role : engine.show().screens())
        if (role.rawValue == name)
            return role;
    return std::nullopt;
}
std::optional<Press> withScreen(Stage& stage, std::mt19937& random, int kind, bool andCue)
{
    QStringList screens;
    for (const ScreenRole& role : stage.engine.show().screens())
        screens << role.rawValue;
    const QStringList cues = cueNames(stage.engine);
    if (screens.isEmpty() || (andCue && cues.isEmpty()))
        return std::nullopt;
    return Press{kind, oneOf(screens, random), andCue ? oneOf(cues, random) : QString()};
}

// The picture clip of the edited cue that a drag of its length holds, by its file and lane.
std::optional<TimelineEvent> pictureClip(const Stage& stage, const QString& file, const QString& lane)
{
    for (const TimelineEvent& event : stage.model.cue().events()) {
        const std::optional<MediaAsset> asset = stage.model.cue().asset(event);
        if (asset && asset->kind == AssetKind::image && asset->url.fileName() == file &&
            eventLane(stage, event) == lane)
            return event;
    }
    return std::nullopt;
}

// A transport press made while one made before it still waits for its answers: GO does nothing then behind a GO
// or a take, by design. What waits is read from the status line's holding text.
void noteTransport(Stage& stage, const QString& kind, const std::function<bool()> press)
{
    const bool waitedBefore = (stage.engine.holdingMessage().startsWith(QStringLiteral("正在检查素材 · ")) &&
                               !stage.engine.independentScreens().waitingPlay()) ||
                              stage.engine.waitingEdits().waitsFor(QStringLiteral("播放"));
    if (!waitedBefore)
        stage.transportWaits.clear();
    const bool acted = press();
    if (kind == QStringLiteral("GO") && !acted && waitedBefore &&
        (stage.transportWaits.contains(QStringLiteral("GO")) || stage.transportWaits.contains(QStringLiteral("take"))))
        stage.excused << QStringLiteral("GO 在等待中的 GO 或播放之后不动作");
    stage.transportWaits << kind;
}

// A run whose start still waits for its answers, started by a press made since the transport last had nothing waiting.
bool runWaits(Stage& stage)
{
    return (stage.engine.holdingMessage().startsWith(QStringLiteral("正在检查素材 · ")) ||
            stage.engine.waitingEdits().waitsFor(QStringLiteral("投放"))) &&
           stage.transportWaits.contains(QStringLiteral("run"));
}

// A run stopped, or replaced with another show, while its start waited for its answers never began: its monitors
// never turned to it.
void dropsRun(Stage& stage, const std::function<void()>& press)
{
    const bool waited = runWaits(stage);
    press();
    if (waited)
        stage.excused << QStringLiteral("投放的开始在等待答复时被停止，监看未转向它");
}

// A screen's play dropped by the screen's own "停止" or "返回节目投放" before its answers came says nothing: the line
// says what holds, where with the answers in the play's words would still stand.
void dropsPlay(Stage& stage, const std::function<void()>& press)
{
    const bool waited = stage.engine.independentScreens().waitingPlay().has_value();
    press();
    if (waited)
        stage.excused << QStringLiteral("屏幕的独立播放在等待答复时被放下，状态栏说此刻的情况");
}

void editShow(Stage& stage, const std::function<void(Show&)>& change)
{
    Show show = stage.engine.show();
    change(show);
    stage.engine.setShow(show);
}

QList<PressKind> makeVocabulary()
{
    QList<PressKind> kinds;
    const auto add = [&](PressKind kind) { kinds.append(std::move(kind)); };
    // Each entry's index is its kind; picks fill it in.
#define KIND int(kinds.size())

    // Transport.
    add({"GO", 6, [k = KIND](Stage&, std::mt19937&) { return std::optional<Press>(Press{k}); },
         [](Stage& stage, const Press&) { noteTransport(stage, "GO", [&] { return stage.engine.go(); }); },
         [](const Press&) { return QStringLiteral("按 GO"); }});
    add({"take", 5, [k = KIND](Stage& stage, std::mt19937& random) { return withCue(stage, random, k); },
         [](Stage& stage, const Press& press) {
             if (const std::optional<Cue> cue = cueNamed(stage.engine, press.a))
                 noteTransport(stage, "take", [&] { return stage.engine.take(*cue); });
         },
         [](const Press& press) { return QStringLiteral("在走带栏播放 cue %1").arg(press.a); }});
    add({"select", 5, [k = KIND](Stage& stage, std::mt19937& random) { return withCue(stage, random, k); },
         [](Stage& stage, const Press& press) {
             if (const std::optional<Cue> cue = cueNamed(stage.engine, press.a))
                 stage.engine.setSelected(cue->id);
         },
         [](const Press& press) { return QStringLiteral("在节目单选中 cue %1").arg(press.a); }});
    add({"pause", 2, [k = KIND](Stage&, std::mt19937&) { return std::optional<Press>(Press{k}); },
         [](Stage& stage, const Press&) { stage.engine.togglePause(); },
         [](const Press&) { return QStringLiteral("按 暂停/继续"); }});
    add({"stop", 2, [k = KIND](Stage&, std::mt19937&) { return std::optional<Press>(Press{k}); },
         [](Stage& stage, const Press&) { dropsRun(stage, [&] { stage.engine.stop(true); }); },
         [](const Press&) { return QStringLiteral("按 停止"); }});
    add({"delay", 2, [k = KIND](Stage& stage, std::mt19937& random) { return withCue(stage, random, k); },
         [](Stage& stage, const Press& press) {
             editShow(stage, [&](Show& show) {
                 for (Cue& cue : show.cues)
                     if (cue.name == press.a)
                         cue.delay = 60;
             });
         },
         [](const Press& press) { return QStringLiteral("在检查器把 cue %1 的延时设为 60 秒").arg(press.a); }});
    // The header's "开始投放": starts at once when its check finds nothing, else opens the check sheet.
    add({"headerRun", 2, [k = KIND](Stage&, std::mt19937&) { return std::optional<Press>(Press{k}); },
         [](Stage& stage, const Press&) {
             if (!stage.header.canLaunch())
                 return;
             noteTransport(stage, "run", [&] {
                 stage.header.requestStart();
                 return true;
             });
             if (stage.console.preflightOpen() && !stage.sheet)
                 stage.sheet = std::make_unique<ProjectionLaunch>(stage.console, stage.openWindow);
         },
         [](const Press&) { return QStringLiteral("在顶栏按 开始投放"); }});
    // The check sheet's "继续投放", as PreflightCheck::start makes it: the sheet closes, and a copy of its launch made
    // on the stack starts the run. The sheet is opened first as "开始投放" opens it when it is not shown. The sheet
    // is let go with the click, or (drawn never, fixed sequences name it) outlives it until the next sheet.
    const auto sheetRun = [](bool sheetStays) {
        return [sheetStays](Stage& stage, const Press&) {
            if (!stage.header.canLaunch())
                return;
            if (!stage.sheet) {
                stage.console.setLaunchAfterCheck(true);
                stage.console.setPreflightOpen(true);
                stage.sheet = std::make_unique<ProjectionLaunch>(stage.console, stage.openWindow);
            }
            noteTransport(stage, "run", [&] {
                ProjectionLaunch launch = *stage.sheet;
                stage.console.setPreflightOpen(false);
                if (!sheetStays)
                    stage.sheet.reset();
                else
                    stage.keptSheets.push_back(std::move(stage.sheet));
                return launch.startProjection();
            });
        };
    };
    add({"sheetRun", 2, [k = KIND](Stage&, std::mt19937&) { return std::optional<Press>(Press{k}); }, sheetRun(false),
         [](const Press&) { return QStringLiteral("在投放检查单按 继续投放"); }});
    add({"sheetRunSheetStays", 0, [k = KIND](Stage&, std::mt19937&) { return std::optional<Press>(Press{k}); },
         sheetRun(true), [](const Press&) { return QStringLiteral("在投放检查单按 继续投放（检查单稍后才放下）"); }});

    // Screens.
    add({"screenPlay", 3, [k = KIND](Stage& stage, std::mt19937& random) { return withScreen(stage, random, k, true); },
         [](Stage& stage, const Press& press) {
             const std::optional<ScreenRole> role = screenNamed(stage.engine, press.a);
             const std::optional<Cue> cue = cueNamed(stage.engine, press.b);
             if (role && cue)
                 stage.engine.play(*cue, {*role});
         },
         [](const Press& press) { return QStringLiteral("在%1的卡片上独立播放 cue %2").arg(press.a, press.b); }});
    add({"screenStop", 2,
         [k = KIND](Stage& stage, std::mt19937& random) { return withScreen(stage, random, k, false); },
         [](Stage& stage, const Press& press) {
             if (const std::optional<ScreenRole> role = screenNamed(stage.engine, press.a))
                 dropsPlay(stage, [&] { stage.engine.stopScreens({*role}); });
         },
         [](const Press& press) { return QStringLiteral("在%1的卡片上按 停止").arg(press.a); }});
    add({"screenReturn", 2,
         [k = KIND](Stage& stage, std::mt19937& random) { return withScreen(stage, random, k, false); },
         [](Stage& stage, const Press& press) {
             if (const std::optional<ScreenRole> role = screenNamed(stage.engine, press.a))
                 dropsPlay(stage, [&] { stage.engine.returnScreensToProjection({*role}); });
         },
         [](const Press& press) { return QStringLiteral("在%1的卡片上按 返回节目投放").arg(press.a); }});
    add({"screenPause", 1,
         [k = KIND](Stage& stage, std::mt19937& random) { return withScreen(stage, random, k, false); },
         [](Stage& stage, const Press& press) {
             if (const std::optional<ScreenRole> role = screenNamed(stage.engine, press.a))
                 stage.engine.pauseScreens({*role});
         },
         [](const Press& press) { return QStringLiteral("在%1的卡片上按 暂停").arg(press.a); }});
    add({"screenResume", 1,
         [k = KIND](Stage& stage, std::mt19937& random) { return withScreen(stage, random, k, false); },
         [](Stage& stage, const Press& press) {
             if (const std::optional<ScreenRole> role = screenNamed(stage.engine, press.a))
                 stage.engine.resumeScreens({*role});
         },
         [](const Press& press) { return QStringLiteral("在%1的卡片上按 继续").arg(press.a); }});
    add({"addScreen", 1, [k = KIND](Stage&, std::mt19937&) { return std::optional<Press>(Press{k}); },
         [](Stage& stage, const Press&) { stage.engine.addScreen(); },
         [](const Press&) { return QStringLiteral("添加屏幕"); }});

    // Edits.
    add({"rename", 4,
         [k = KIND](Stage& stage, std::mt19937& random) {
             std::optional<Press> press = withCue(stage, random, k);
             if (press)
                 press->b = QStringLiteral("改名%1").arg(std::uniform_int_distribution<int>(1, 99)(random));
             return press;
         },
         [](Stage& stage, const Press& press) {
             if (cueNamed(stage.engine, press.b))
                 return;
             editShow(stage, [&](Show& show) {
                 for (Cue& cue : show.cues)
                     if (cue.name == press.a)
                         cue.name = press.b;
             });
         },
         [](const Press& press) { return QStringLiteral("重命名 cue %1 → \"%2\"").arg(press.a, press.b); }});
    // The cue list's "−": the cue is selected, then removed, and the one in its place selected.
    add({"deleteCue", 2, [k = KIND](Stage& stage, std::mt19937& random) { return withCue(stage, random, k); },
         [](Stage& stage, const Press& press) {
             Show show = stage.engine.show();
             const auto found = std::find_if(show.cues.cbegin(), show.cues.cend(),
                                             [&](const Cue& cue) { return cue.name == press.a; });
             if (found == show.cues.cend())
                 return;
             const int index = int(found - show.cues.cbegin());
             stage.engine.setSelected(found->id);
             show.cues.removeAt(index);
             stage.engine.setShow(show);
             if (show.cues.isEmpty())
                 stage.engine.setSelected(std::nullopt);
             else
                 stage.engine.setSelected(show.cues.at(std::min(index, int(show.cues.size()) - 1)).id);
         },
         [](const Press& press) { return QStringLiteral("选中 cue %1 并在节目单按 −（删除）").arg(press.a); }});
    // The timeline's "删除轨道": a lane that holds events asks first; "删除" in the prompt deletes it.
    add({"deleteLane", 3,
         [k = KIND](Stage& stage, std::mt19937& random) -> std::optional<Press> {
             const QList<TimelineLane> lanes = stage.model.cue().lanes();
             if (lanes.isEmpty())
                 return std::nullopt;
             return Press{k, laneKey(oneOf(lanes, random))};
         },
         [](Stage& stage, const Press& press) {
             if (const std::optional<TimelineLane> lane = laneOf(stage, press.a))
                 stage.model.edits().requestLayerDeletion(*lane);
         },
         [](const Press& press) { return QStringLiteral("在时间线右键%1，选 删除轨道").arg(laneWords(press.a)); }});
    add({"confirmLane", 2,
         [k = KIND](Stage& stage, std::mt19937&) -> std::optional<Press> {
             if (!stage.model.view().layerToDelete())
                 return std::nullopt;
             return Press{k};
         },
         [](Stage& stage, const Press&) {
             if (const std::optional<TimelineLane> lane = stage.model.view().layerToDelete()) {
                 stage.model.view().setLayerToDelete(std::nullopt);
                 stage.model.edits().deleteLayer(*lane);
             }
         },
         [](const Press&) { return QStringLiteral("在删除轨道的提示里按 删除"); }});
    // A picture clip's length dragged: the press on its end, moves, the release.
    const auto dragWords = [](const QString& verb) {
        return [verb](const Press& press) {
            return QStringLiteral("%1图片 %2（%3）的右端%4")
                .arg(verb, press.a, laneWords(press.b), press.x != 0 ? QStringLiteral(" %1 点").arg(press.x) : "");
        };
    };
    const auto pickClip = [](int k) {
        return [k](Stage& stage, std::mt19937& random) -> std::optional<Press> {
            QList<Press> clips;
            for (const TimelineEvent& event : stage.model.cue().events()) {
                const std::optional<MediaAsset> asset = stage.model.cue().asset(event);
                if (asset && asset->kind == AssetKind::image)
                    clips.append({k, asset->url.fileName(), eventLane(stage, event),
                                  double(std::uniform_int_distribution<int>(-3, 6)(random) * 10)});
            }
            if (clips.isEmpty())
                return std::nullopt;
            return oneOf(clips, random);
        };
    };
    const auto resize = [](Stage& stage, const Press& press) {
        const std::optional<TimelineEvent> event = pictureClip(stage, press.a, press.b);
        stage.missed = !event;
        if (!event)
            return;
        if (const std::optional<MediaAsset> asset = stage.model.cue().asset(*event))
            stage.model.placement().resizePicture(*event, *asset, press.x);
    };
    add({"dragBegin", 2, pickClip(KIND), resize, dragWords(QStringLiteral("按住并拖动"))});
    add({"dragMove", 2,
         [pick = pickClip(KIND)](Stage& stage, std::mt19937& random) -> std::optional<Press> {
             if (!stage.model.view().resizeStart())
                 return std::nullopt;
             return pick(stage, random);
         },
         [resize](Stage& stage, const Press& press) {
             if (stage.model.view().resizeStart())
                 resize(stage, press);
             else
                 stage.missed = true;
         },
         dragWords(QStringLiteral("继续拖动"))});
    add({"dragEnd", 2,
         [k = KIND](Stage& stage, std::mt19937&) -> std::optional<Press> {
             if (!stage.model.view().resizeStart())
                 return std::nullopt;
             return Press{k};
         },
         [](Stage& stage, const Press&) {
             stage.missed = !stage.model.view().resizeStart();
             stage.model.placement().endPictureResize();
         },
         [](const Press&) { return QStringLiteral("松开拖动的图片"); }});
    add({"messageDraft", 1,
         [k = KIND](Stage& stage, std::mt19937& random) -> std::optional<Press> {
             if (!stage.model.cue().cueIndex())
                 return std::nullopt;
             return Press{k, {}, {}, double(std::uniform_int_distribution<int>(0, 4)(random))};
         },
         [](Stage& stage, const Press& press) {
             if (stage.model.cue().cueIndex())
                 stage.model.view().setMessageDraft(TimelineCueEdits::newMessage(press.x));
         },
         [](const Press& press) {
             return QStringLiteral("在时间线 %1 秒处右键，选 添加通讯事件…（草稿开着）").arg(press.x);
         }});
    add({"selectAsset", 2,
         [k = KIND](Stage& stage, std::mt19937& random) -> std::optional<Press> {
             const QList<MediaAsset> assets = stage.engine.show().assets.value_or(QList<MediaAsset>{});
             if (assets.isEmpty())
                 return std::nullopt;
             return Press{k, oneOf(assets, random).url.fileName()};
         },
         [](Stage& stage, const Press& press) {
             for (const MediaAsset& asset : stage.engine.show().assets.value_or(QList<MediaAsset>{}))
                 if (asset.url.fileName() == press.a) {
                     stage.model.selection().setAssetID(asset.id);
                     return;
                 }
             stage.missed = true;
         },
         [](const Press& press) { return QStringLiteral("在素材库选中 %1").arg(press.a); }});
    add({"relink", 3,
         [k = KIND](Stage&, std::mt19937& random) {
             return std::optional<Press>(Press{k, oneOf(QStringList{"share", "local"}, random)});
         },
         [](Stage& stage, const Press& press) {
             stage.engine.relinkMissingAssets(QUrl::fromLocalFile(press.a == "share" ? stage.share : stage.local));
         },
         [](const Press& press) {
             return QStringLiteral("重新定位缺失素材，选文件夹 %1").arg(press.a == "share" ? "慢共享" : "本地");
         }});
    add({"defaultPicture", 3,
         [k = KIND](Stage&, std::mt19937& random) {
             QStringList stills;
             for (const QString& name : mediaNames())
                 if (isStill(name))
                     stills << name;
             return std::optional<Press>(Press{k, oneOf(stills, random)});
         },
         [](Stage& stage, const Press& press) { stage.engine.setDefaultPicture(fileUrl(stage, press.a)); },
         [](const Press& press) { return QStringLiteral("默认画面选 %1").arg(press.a); }});
    add({"builtInPicture", 2, [k = KIND](Stage&, std::mt19937&) { return std::optional<Press>(Press{k}); },
         [](Stage& stage, const Press&) {
             // A picture chosen before it may still be read; the restore itself reads none.
             const QString reading = QStringLiteral("正在读取默认画面");
             const bool readBefore = stage.engine.message().startsWith(reading);
             stage.engine.setDefaultPicture(std::nullopt);
             if (!readBefore && stage.engine.message().startsWith(reading))
                 stage.breaches
                     << QStringLiteral("按“恢复内置”后状态栏说“%1”，而它不读任何画面").arg(stage.engine.message());
         },
         [](const Press&) { return QStringLiteral("默认画面按 恢复内置"); }});
    add({"import", 3,
         [k = KIND](Stage&, std::mt19937& random) {
             const QStringList names = mediaNames();
             Press press{k, oneOf(names, random)};
             if (std::bernoulli_distribution(0.5)(random))
                 press.b = oneOf(names, random);
             return std::optional<Press>(press);
         },
         [](Stage& stage, const Press& press) {
             QList<QUrl> files{fileUrl(stage, press.a)};
             if (!press.b.isEmpty() && press.b != press.a)
                 files << fileUrl(stage, press.b);
             stage.model.library().addAssets(files);
         },
         [](const Press& press) {
             return QStringLiteral("在素材库导入 %1").arg(press.b.isEmpty() ? press.a : press.a + "、" + press.b);
         }});
    // "添加视频/图片/音频…" on a lane of the edited cue, the panel answering with the file.
    add({"addOnLane", 3,
         [k = KIND](Stage& stage, std::mt19937& random) -> std::optional<Press> {
             QList<TimelineLane> lanes;
             for (const TimelineLane& lane : stage.model.cue().lanes())
                 if (lane.track != Track::message)
                     lanes << lane;
             if (lanes.isEmpty())
                 return std::nullopt;
             const TimelineLane lane = oneOf(lanes, random);
             QStringList files;
             for (const QString& name : mediaNames())
                 if (isSound(name) == carriesSound(lane))
                     files << name;
             return Press{k, oneOf(files, random), laneKey(lane),
                          double(std::uniform_int_distribution<int>(0, 4)(random) * 5)};
         },
         [](Stage& stage, const Press& press) {
             if (const std::optional<TimelineLane> lane = laneOf(stage, press.b))
                 stage.model.library().insertFile(fileUrl(stage, press.a), *lane, press.x);
         },
         [](const Press& press) {
             return QStringLiteral("在时间线右键%1 %2 秒处，选 添加…，选文件 %3")
                 .arg(laneWords(press.b))
                 .arg(press.x)
                 .arg(press.a);
         }});

    // History and files.
    add({"undo", 4, [k = KIND](Stage&, std::mt19937&) { return std::optional<Press>(Press{k}); },
         [](Stage& stage, const Press&) { stage.engine.undo(); },
         [](const Press&) { return QStringLiteral("按 撤销"); }});
    add({"redo", 3, [k = KIND](Stage&, std::mt19937&) { return std::optional<Press>(Press{k}); },
         [](Stage& stage, const Press&) { stage.engine.redo(); },
         [](const Press&) { return QStringLiteral("按 重做"); }});
    add({"save", 2, [k = KIND](Stage&, std::mt19937&) { return std::optional<Press>(Press{k}); },
         [](Stage& stage, const Press&) {
             stage.engine.saveProject(stage.engine.projectURL().value_or(stage.project));
             stage.awaitFileWork();
         },
         [](const Press&) { return QStringLiteral("按 保存"); }});
    add({"openOther", 1, [k = KIND](Stage&, std::mt19937&) { return std::optional<Press>(Press{k}); },
         [](Stage& stage, const Press&) {
             dropsRun(stage, [&] {
                 stage.engine.openProject(stage.other);
                 stage.awaitFileWork();
             });
         },
         [](const Press&) { return QStringLiteral("打开另一个工程 other.json"); }});
    add({"reopen", 1, [k = KIND](Stage&, std::mt19937&) { return std::optional<Press>(Press{k}); },
         [](Stage& stage, const Press&) {
             dropsRun(stage, [&] {
                 stage.engine.openProject(stage.engine.projectURL().value_or(stage.project));
                 stage.awaitFileWork();
             });
         },
         [](const Press&) { return QStringLiteral("重新打开本工程"); }});
    add({"recover", 1, [k = KIND](Stage&, std::mt19937&) { return std::optional<Press>(Press{k}); },
         [](Stage& stage, const Press&) {
             dropsRun(stage, [&] {
                 stage.engine.recoverUnsavedProject();
                 stage.awaitFileWork();
             });
         },
         [](const Press&) { return QStringLiteral("恢复未保存工程"); }});

    // Preview: the timeline's pointer dragged over a cue's timeline, as the editor asks for its stills.
    add({"scrub", 2,
         [k = KIND](Stage& stage, std::mt19937& random) -> std::optional<Press> {
             std::optional<Press> press = withCue(stage, random, k);
             if (press)
                 press->x = std::uniform_int_distribution<int>(0, 6)(random) * 0.5;
             return press;
         },
         [](Stage& stage, const Press& press) {
             if (const std::optional<Cue> cue = cueNamed(stage.engine, press.a))
                 stage.engine.previewTimeline(*cue, press.x);
         },
         [](const Press& press) {
             return QStringLiteral("在 cue %1 的时间线上把指针拖到 %2 秒").arg(press.a).arg(press.x);
         }});
    // Time passes with the share silent, until it counts as stalled (only where its answers are held): a press then
    // refused for it stays refused by design, so the pass is excused, but what must hold at every press still must.
    // Drawn never, as it takes a second; fixed sequences name it.
    add({"stall", 0, [k = KIND](Stage&, std::mt19937&) { return std::optional<Press>(Press{k}); },
         [](Stage& stage, const Press&) {
             if (!stage.held)
                 return;
             stage.stallShare();
             stage.excused << QStringLiteral("慢共享停止答复后按下的被拒绝，答复再来后仍是拒绝");
         },
         [](const Press&) { return QStringLiteral("等慢共享一秒多不答复"); }});
#undef KIND
    return kinds;
}

} // namespace

const QList<PressKind>& pressVocabulary()
{
    static const QList<PressKind> kinds = makeVocabulary();
    return kinds;
}

QString pressWords(const Press& press)
{
    return pressVocabulary().at(press.kind).words(press);
}

Press pressOf(const QString& kind, const QString& a, const QString& b, double x)
{
    const QList<PressKind>& kinds = pressVocabulary();
    for (int i = 0; i < kinds.size(); ++i)
        if (kinds[i].name == kind)
            return {i, a, b, x};
    qFatal("no press named %s", qPrintable(kind));
}

QStringList mediaNames()
{
    return {"share/绿.png", "share/蓝.png", "share/片段.mp4", "share/声音.wav",
            "local/红.png", "local/黄.png", "local/短片.mp4", "local/音乐.wav"};
}
