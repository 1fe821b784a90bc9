#include "pressrig.h"

#include "cuepreview.h"
#include "independentscreens.h"
#include "mediafiles.h"
#include "projectfile.h"
#include "showjson.h"
#include "stilldecoder.h"
#include "waitingedits.h"

#include <QCoreApplication>
#include <QDir>
#include <QRegularExpression>
#include <QUndoStack>

namespace {

// Ids are drawn afresh in each pass: they are named by their order of first appearance instead.
QString withIdsInOrder(const QString& text)
{
    static const QRegularExpression id(
        QStringLiteral("[0-9a-fA-F]{8}-[0-9a-fA-F]{4}-[0-9a-fA-F]{4}-[0-9a-fA-F]{4}-[0-9a-fA-F]{12}"));
    QHash<QString, int> seen;
    QString out;
    qsizetype from = 0;
    for (const QRegularExpressionMatch& match : id.globalMatch(text)) {
        out += text.mid(from, match.capturedStart() - from);
        out += QStringLiteral("id%1").arg(seen.emplace(match.captured().toLower(), int(seen.size())).value());
        from = match.capturedEnd();
    }
    return out + text.mid(from);
}

QString showText(const Show& show, const QString& folder)
{
    const QString text = QString::fromUtf8(QByteArray::fromPercentEncoding(encodeShow(show, JsonFormat::compact)));
    return withIdsInOrder(text).replace(folder, QString());
}

QString pictureText(const Picture* picture)
{
    if (!picture)
        return QStringLiteral("无");
    const Picture* front = picture->foreground() ? picture->foreground() : picture;
    QStringList parts;
    if (front->url())
        parts << front->url()->fileName();
    if (front->stillSource())
        parts << front->stillSource()->fileName();
    if (front->image())
        parts << front->image()->pixelColor(0, 0).name();
    if (const std::optional<QImage> fallback = picture->fallback())
        parts << QStringLiteral("默认 ") + fallback->pixelColor(0, 0).name();
    return parts.isEmpty() ? QStringLiteral("空") : parts.join(' ');
}

// The outcomes of edits that wait for answers: a relink, a default picture, an import or a file put on a lane.
const QStringList kOutcomes{"已重新定位", "未找到同名", "默认画面", "已清除默认画面", "无法读取默认画面", "素材库"};
bool isOutcome(const QString& kind)
{
    return std::any_of(kOutcomes.cbegin(), kOutcomes.cend(),
                       [&](const QString& outcome) { return kind.startsWith(outcome); });
}

// What a press left on the stack is overwritten, as the calls of a later turn of the event loop overwrite it: work
// that kept a pointer into a frame of the press reads this, not the values the press left there.
[[gnu::noinline]] void overwriteDeadStack()
{
    volatile unsigned char bytes[16384];
    for (volatile unsigned char& byte : bytes)
        byte = 0x5a;
}

} // namespace

QStringList PressRig::allowedDifferences()
{
    return {
        QStringLiteral("GO pressed while a GO or a take waits for its answers does nothing, as GO does during a "
                       "countdown: the sequence is excused (counted apart)."),
        QStringLiteral("An open or a recover that dropped edits still waiting says so after its own words "
                       "(\"工程已打开 · 已放弃尚未完成的…\"): only the line's first part is compared."),
        QStringLiteral("\"撤销\" or \"重做\" that took back an edit still waiting says so (\"已撤销尚未完成的…\"): the "
                       "line is not compared; what the edit taken back would have said is not looked for."),
        QStringLiteral("A press or an edit whose answers came after later presses tells its outcome when it lands, in "
                       "place of what those presses said, or of the line that says what holds (\"就绪\", the cue on "
                       "air): each pass may end on a line the other also showed."),
        QStringLiteral("A press on a clip, a lane or a library entry that an edit still waiting has yet to make "
                       "cannot be made: the sequence is excused (counted apart)."),
        QStringLiteral("A take waiting for its answers selects its cue at its press, so that the editor shows the cue "
                       "taken as it would with the answers in. Refused once they come (a file found missing), it gives "
                       "the selection back; what was pressed in the editor, or run from the selection, meanwhile acted "
                       "on the cue it showed, where with the answers in at once it would have acted on the cue kept: "
                       "the sequence is excused (counted apart)."),
        QStringLiteral("A run stopped (or its show replaced by an open) while its start waited for its answers never "
                       "began: the console's monitors never turned to it and its monitor window never opened, where "
                       "with the answers in at once it would have begun and been stopped: the sequence is excused "
                       "(counted apart)."),
        QStringLiteral("A screen's play dropped by that screen's \"停止\" or \"返回节目投放\" before its answers came "
                       "says nothing, and the line says what holds, where with the answers in at once the play's words "
                       "would still stand: the sequence is excused (counted apart)."),
        QStringLiteral("An outcome that lands while a later press's words stand on the line may be kept off it: only "
                       "an outcome put on the line and replaced within the same turn counts as never seen."),
        QStringLiteral("Project files (open, save, recover) are read and written on a local folder: both passes wait "
                       "for that work at its press, since a second file's work is refused while one is on its way."),
    };
}

QString PressRig::statusKind(const QString& text)
{
    QString kind = text.section(QStringLiteral(" · "), 0, 0);
    static const QRegularExpression digits(QStringLiteral("[0-9]+"));
    return kind.replace(digits, QStringLiteral("#"));
}

void PressRig::SetUp()
{
    awaitAnswers = false;
    QDir().mkpath(sharePath());
    QDir().mkpath(localPath());
    QDir().mkpath(folder.filePath(QStringLiteral("gone")));
    isReadableFile = [held = m_held](const QUrl& url) {
        held->hangIfHeld(url);
        return ::isReadableFile(url);
    };
    EngineTest::SetUp();
    const QHash<QString, QColor> colours{{"绿", Qt::green}, {"蓝", Qt::blue}, {"红", Qt::red}, {"黄", Qt::yellow}};
    for (const QString& name : mediaNames()) {
        const QString path = folder.filePath(name);
        if (name.endsWith(QStringLiteral(".png")))
            QFile::copy(MediaFixtures::png({16, 16}, colours.value(QFileInfo(path).baseName())), path);
        else
            writeFile(path, "media");
        if (name.startsWith(QStringLiteral("local/")))
            m_localFiles << path;
    }
    writeFile(sharePath() + QStringLiteral("/c.mp4"), "media");
    writeFile(sharePath() + QStringLiteral("/pulse"), "pulse");
    // A look at a stamp is never held: the share goes on answering, so it never counts as stalled.
    QObject::connect(&m_pulse, &QTimer::timeout, [this] {
        engine->mediaFiles().refresh({QUrl::fromLocalFile(sharePath() + "/pulse")}, FileDepth::stamp,
                                     MediaFiles::Again::fromNow);
    });

    // Direct cues on the local disk and on the share, a delayed one, one whose file moved to the share, and a timeline
    // cue (its clips on the share and on the local disk, one missing).
    const auto file = [&](const QString& name) { return QUrl::fromLocalFile(folder.filePath(name)); };
    const MediaAsset green = asset(file("share/绿.png"), AssetKind::image);
    const MediaAsset red = asset(file("local/红.png"), AssetKind::image);
    const MediaAsset yellow = asset(file("gone/黄.png"), AssetKind::image);
    const MediaAsset music = asset(file("local/音乐.wav"), AssetKind::audio, 4);
    const auto picture = [](const MediaAsset& asset, double time, qint64 layer) {
        TimelineEvent event = clip(asset, time, Track::main, layer);
        event.outputScreen = kScreen1;
        event.imageDuration = 2;
        return event;
    };
    Show show = Show::makeDefault();
    show.assets = QList<MediaAsset>{green, red, yellow, music};
    Cue timeline;
    timeline.name = QStringLiteral("时间线");
    timeline.timeline = QList<TimelineEvent>{picture(green, 0, 1), picture(red, 0, 2), picture(yellow, 3, 1),
                                             clip(music, 0, Track::music)};
    show.cues[0].main = file("local/短片.mp4");
    show.cues[1].main = file("share/片段.mp4");
    show.cues[2].main = file("share/c.mp4");
    show.cues[2].delay = 60;
    Cue moved;
    moved.name = QStringLiteral("间场");
    moved.main = file("gone/片段.mp4");
    show.cues.append(moved);
    show.cues.append(timeline);
    m_firstShow = show;

    Show other = Show::makeDefault();
    other.cues[0].name = QStringLiteral("另一场演出");
    other.cues[1].main = file("share/片段.mp4");
    writeShowFile(other, path(QStringLiteral("other.json")), JsonFormat::pretty);
    m_settings = std::make_unique<LumoSettings>(path(QStringLiteral("settings.ini")));
}

void PressRig::TearDown()
{
    m_held->release();
    finish();
}

void PressRig::finish()
{
    m_pulse.stop();
    m_stage.reset();
    m_header.reset();
    m_model.reset();
    m_console.reset();
    engine.reset();
}

void PressRig::begin(bool held)
{
    m_held->release();
    finish();
    QFile::remove(path(QStringLiteral("show.json")));
    writeShowFile(m_firstShow, path(QStringLiteral("show.json")), JsonFormat::pretty);
    engine = makeEngine(true, folder.filePath(QStringLiteral("recovery%1").arg(++m_round)));
    m_console = std::make_unique<ConsoleState>(*engine, *m_settings);
    m_console->setPreviewMode(true);
    m_model = std::make_unique<TimelineEditorModel>(engine.get());
    m_monitorsOpened = 0;
    const auto openWindow = [this](const QString& id) {
        if (id == QStringLiteral("projection-monitor"))
            ++m_monitorsOpened;
    };
    m_header = std::make_unique<ProjectionLaunch>(*m_console, openWindow);
    m_stage.reset(new Stage{*engine, *m_model, *m_console, *m_header});
    m_stage->openWindow = openWindow;
    m_stage->share = sharePath();
    m_stage->local = localPath();
    m_stage->project = url(QStringLiteral("show.json"));
    m_stage->other = url(QStringLiteral("other.json"));
    m_stage->held = held;
    m_stage->awaitFileWork = [this] {
        waitUntil([&] { return !engine->projectFiles().busy(); });
        QCoreApplication::processEvents();
    };
    m_stage->stallShare = [this] {
        m_pulse.stop();
        const QUrl asked = QUrl::fromLocalFile(sharePath() + QStringLiteral("/c.mp4"));
        engine->mediaFiles().refresh({asked}, FileDepth::header, MediaFiles::Again::fromNow);
        waitUntil([&] { return engine->mediaFiles().state(asked, FileDepth::header) == FileState::stalled; }, 3000);
    };
    if (held) {
        m_held->stall(sharePath());
        m_pulse.start(100);
    }
    ASSERT_EQ(open(url(QStringLiteral("show.json"))), std::nullopt);
    if (held)
        settleLocal();
    else
        settle();
    m_seen.clear();
    m_said.clear();
    QObject::connect(engine.get(), &Engine::projectionModeChanged, engine.get(), [this] {
        if (engine->projectionMode())
            ++m_stage->runsBegun;
    });
    // The status line as a person sees it: what stands at the end of a turn of the event loop.
    QObject::connect(engine.get(), &Engine::messageChanged, engine.get(), [this, queued = std::make_shared<bool>()] {
        if (qEnvironmentVariableIsSet("LUMO_PRESS_LINES"))
            std::printf("  line: %s\n", qPrintable(engine->message()));
        m_said.insert(statusKind(engine->message()));
        if (std::exchange(*queued, true))
            return;
        QTimer::singleShot(0, engine.get(), [this, queued] {
            *queued = false;
            // An outcome kept beside a later press's words is seen too.
            for (const QString& part : engine->message().split(QStringLiteral(" · ")))
                m_seen.insert(statusKind(part));
        });
    });
    // A take refused once its answers came gave back the selection it made at its press; what was pressed in the
    // editor meanwhile was pressed on the cue taken, where with the answers in it would have been on the cue kept.
    QObject::connect(engine.get(), &Engine::currentChanged, engine.get(), [this] {
        if (engine->current())
            m_stage->aired.insert(engine->current()->id);
    });
}

bool PressRig::quiet() const
{
    for (const QString& name : mediaNames())
        if (name.endsWith(QStringLiteral(".png")) && StillDecoder::shared().isDecoding(folder.filePath(name)))
            return false;
    return engine->mediaFiles().questionsOnTheWay() == 0 && !engine->waitingEdits().waiting() &&
           !m_model->library().importing() && !engine->projectFiles().busy() &&
           !engine->holdingMessage().startsWith(QStringLiteral("正在检查素材")) && !engine->cuePreview().grabbing();
}

void PressRig::settle()
{
    waitUntil([&] { return quiet(); }, 5000);
    runEvents(20);
    waitUntil([&] { return quiet(); }, 5000);
}

void PressRig::settleLocal()
{
    waitUntil(
        [&] {
            return std::none_of(m_localFiles.cbegin(), m_localFiles.cend(), [&](const QString& file) {
                return engine->mediaFiles().onTheWay(QUrl::fromLocalFile(file));
            });
        },
        2000);
    runEvents(5);
}

QStringList PressRig::screensNow() const
{
    QStringList screens;
    for (const ScreenRole& role : engine->show().screens()) {
        QString line = role.rawValue + ": " + engine->screenStatus(role);
        if (const Engine* session = engine->independentScreens().engine(role); session && session->current())
            line += QStringLiteral(" 独立播放 ") + session->current()->name;
        line += QStringLiteral(" | 播出 ") + pictureText(engine->program(role));
        line += QStringLiteral(" | 预监 ") + pictureText(engine->preview(role));
        screens << line;
    }
    return screens;
}

PressRig::Ending PressRig::ending()
{
    Ending end;
    const auto cueName = [&](const std::optional<QUuid>& id) {
        for (const Cue& cue : engine->show().cues)
            if (id && cue.id == *id)
                return cue.name;
        return id ? QStringLiteral("(已删除)") : QStringLiteral("无");
    };
    const QString root = folder.path();
    QFile saved(path(QStringLiteral("show.json")));
    saved.open(QIODevice::ReadOnly);
    QString savedText = QStringLiteral("无法读取");
    try {
        savedText = showText(readShowFile(saved.fileName()), root);
    } catch (...) {
    }
    QUndoStack* history = engine->editHistory();
    std::optional<QString> asset;
    if (const std::optional<QUuid> id = m_model->selection().assetID())
        for (const MediaAsset& entry : engine->show().assets.value_or(QList<MediaAsset>{}))
            if (entry.id == *id)
                asset = entry.url.fileName();
    end.lines
        << QStringLiteral("节目: ") + showText(engine->show(), root)
        << QStringLiteral("已保存的文件 show.json: ") + savedText
        << QStringLiteral("工程: %1 %2")
               .arg(engine->projectURL() ? engine->projectURL()->fileName() : QStringLiteral("无"),
                    engine->hasUnsavedChanges() ? QStringLiteral("未保存") : QStringLiteral("已保存"))
        << QStringLiteral("选中: ") + cueName(engine->selected())
        << QStringLiteral("播出: %1%2%3")
               .arg(engine->current() ? engine->current()->name : QStringLiteral("无"),
                    engine->paused() ? QStringLiteral(" 已暂停") : QString(),
                    engine->projectionMode() ? QStringLiteral(" 自动投放") : QString())
        << screensNow()
        << QStringLiteral("撤销: %1 步，位于 %2，撤销%3，重做%4")
               .arg(history->count())
               .arg(history->index())
               .arg(engine->canUndo() ? QStringLiteral("可用") : QStringLiteral("灰"),
                    engine->canRedo() ? QStringLiteral("可用") : QStringLiteral("灰"))
        << QStringLiteral("素材库选中: %1，提示: %2").arg(asset.value_or(QStringLiteral("无")), m_model->view().note())
        << QStringLiteral("时间线: 通讯草稿%1，删除轨道提示%2")
               .arg(m_model->view().messageDraft() ? QStringLiteral("开着") : QStringLiteral("无"),
                    m_model->view().layerToDelete() ? QStringLiteral("开着") : QStringLiteral("无"))
        << QStringLiteral("控制台: 监看%1，投放监看窗口打开 %2 次")
               .arg(m_console->previewMode() ? QStringLiteral("预监") : QStringLiteral("播出"))
               .arg(m_monitorsOpened);
    end.status = engine->message();
    if (end.status.startsWith(QStringLiteral("正在")) || end.status.contains(QStringLiteral("素材无响应")))
        end.breaches << QStringLiteral("答复都已到，状态栏仍说“%1”").arg(end.status);
    if (stage().runsBegun > m_monitorsOpened)
        end.breaches << QStringLiteral("投放开始了 %1 次，投放监看窗口只打开了 %2 次（监看%3）")
                            .arg(stage().runsBegun)
                            .arg(m_monitorsOpened)
                            .arg(m_console->previewMode() ? QStringLiteral("仍在预监") : QStringLiteral("在播出"));
    // Where one undo then leads.
    engine->undo();
    settle();
    end.lines << QStringLiteral("再撤销一步后的节目: ") + showText(engine->show(), root);
    return end;
}

// A press in the editor acts on the cue it shows, and a run on the cue selected: one that a waiting take selected at
// its press.
void PressRig::notePressOnTaken(const Press& press)
{
    static const QStringList onEditor{"addOnLane", "deleteLane",   "confirmLane", "dragBegin", "dragMove",
                                      "dragEnd",   "messageDraft", "headerRun",   "sheetRun",  "sheetRunSheetStays"};
    const std::optional<QUuid> shown = engine->selected();
    if (shown && stage().takenAtPress.contains(*shown) && onEditor.contains(pressVocabulary().at(press.kind).name))
        stage().editedOnTaken.insert(*shown);
}

void PressRig::noteTakenAtPress(const Press& press)
{
    static const QStringList takes{"GO", "take"};
    const std::optional<QUuid> shown = engine->selected();
    if (stage().held && shown && takes.contains(pressVocabulary().at(press.kind).name) &&
        engine->holdingMessage().startsWith(QStringLiteral("正在检查素材 · ")))
        stage().takenAtPress.insert(*shown);
}

PressRig::Ending PressRig::pass(const QList<Press>& presses, bool held, QList<Press>* drawn, std::mt19937* random)
{
    begin(held);
    const QList<PressKind>& kinds = pressVocabulary();
    int step = 0;
    QList<int> missed;
    const auto make = [&](const Press& press) {
        ++step;
        stage().missed = false;
        notePressOnTaken(press);
        kinds.at(press.kind).apply(stage(), press);
        noteTakenAtPress(press);
        overwriteDeadStack();
        if (stage().missed)
            missed << step;
        if (held) {
            settleLocal();
            if (qEnvironmentVariableIsSet("LUMO_PRESS_DEBUG"))
                std::printf("%d: %s | %s waiting %d\n", step, qPrintable(pressWords(press)),
                            qPrintable(engine->message()), int(engine->waitingEdits().waiting()));
            if (engine->message() == QStringLiteral("就绪") && engine->waitingEdits().waiting())
                stage().breaches << QStringLiteral("第 %1 步后状态栏说“就绪”，而有编辑在等待答复").arg(step);
        } else {
            settle();
        }
    };
    if (drawn) {
        int total = 0;
        for (const PressKind& kind : kinds)
            total += kind.weight;
        for (qsizetype i = 0; i < presses.size(); ++i) {
            // Drawn by weight among the kinds that can be pressed now.
            std::optional<Press> press;
            for (int tries = 0; !press && tries < 50; ++tries) {
                int pick = std::uniform_int_distribution<int>(0, total - 1)(*random);
                int kind = 0;
                while (pick >= kinds[kind].weight)
                    pick -= kinds[kind++].weight;
                press = kinds[kind].pick(stage(), *random);
            }
            drawn->append(*press);
            make(*press);
        }
    } else {
        for (const Press& press : presses)
            make(press);
    }
    // The answers let in.
    m_pulse.stop();
    m_held->release();
    settle();
    waitUntil([&] { return quiet(); }, 5000);
    runEvents(50);
    Ending end = ending();
    end.seen = m_seen;
    end.said = m_said;
    end.missed = missed;
    if (qEnvironmentVariableIsSet("LUMO_PRESS_DEBUG"))
        std::printf("seen %s: %s\n", held ? "held" : "at once",
                    qPrintable(QStringList(m_seen.begin(), m_seen.end()).join(" / ")));
    for (const QUuid& taken : std::as_const(stage().editedOnTaken))
        if (!stage().aired.contains(taken))
            stage().excused << QStringLiteral("播放在答复到来后被拒绝，其间时间线上的操作或投放落在被播放的 cue 上");
    end.excused = stage().excused;
    end.breaches = stage().breaches + end.breaches;
    return end;
}

QList<Press> PressRig::draw(quint32 seed, int count, Ending* atOnce)
{
    std::mt19937 random(seed);
    QList<Press> presses;
    Ending end = pass(QList<Press>(count), false, &presses, &random);
    if (atOnce)
        *atOnce = std::move(end);
    return presses;
}

PressRig::Verdict PressRig::judge(const QList<Press>& presses, const std::optional<Ending>& atOnce)
{
    return compare(atOnce ? *atOnce : pass(presses, false), pass(presses, true));
}

PressRig::Verdict PressRig::compare(const Ending& atOnce, const Ending& held)
{
    Verdict verdict;
    // What must hold at every press holds whatever the design lets the two ends differ in.
    verdict.differences << held.breaches;
    for (const QString& breach : atOnce.breaches)
        verdict.differences << QStringLiteral("(答复即时) ") + breach;
    const bool madeLate =
        std::any_of(held.missed.cbegin(), held.missed.cend(), [&](int step) { return !atOnce.missed.contains(step); });
    if (!held.excused.isEmpty() || madeLate) {
        verdict.excused = true;
        verdict.reasons = QStringList(held.excused);
        if (madeLate)
            verdict.reasons << QStringLiteral("按到了尚未做成的片段、轨道或素材");
        verdict.reasons.removeDuplicates();
        return verdict;
    }
    for (qsizetype i = 0; i < std::max(atOnce.lines.size(), held.lines.size()); ++i) {
        const QString one = atOnce.lines.value(i);
        const QString other = held.lines.value(i);
        if (one == other)
            continue;
        // Long texts (the show) are shown from where they part.
        qsizetype from = 0;
        while (from < one.size() && from < other.size() && one[from] == other[from])
            ++from;
        const qsizetype label = one.indexOf(QStringLiteral(": "));
        const qsizetype start = std::max<qsizetype>(label + 2, from - 40);
        const QString prefix = one.left(label + 2) + (start > label + 2 ? QStringLiteral("…") : QString());
        verdict.differences << QStringLiteral("%1 答复即时: %2 | 答复迟到: %3")
                                   .arg(prefix.trimmed(), one.mid(start, 120), other.mid(start, 120));
    }
    // What landed late says so when it lands: each pass may end on a line the other showed too, or the held one on
    // an outcome where the other says what holds.
    const QString kind = statusKind(held.status);
    const bool tookBack = kind.contains(QStringLiteral("尚未完成"));
    static const QStringList holding{"就绪", "播出中", "时间轴播出", "已暂停", "等待执行"};
    const QString atOnceKind = statusKind(atOnce.status);
    const bool eachSeen =
        atOnce.seen.contains(kind) && (held.seen.contains(atOnceKind) || holding.contains(atOnceKind));
    if (!tookBack && kind != statusKind(atOnce.status) && !eachSeen)
        verdict.differences << QStringLiteral("状态栏 答复即时: %1 | 答复迟到: %2").arg(atOnce.status, held.status);
    // An outcome put on the line and replaced within the same turn is never seen: in either pass. One that a later
    // press's words keep off the line was never put there.
    for (const Ending* end : {&atOnce, &held})
        for (const QString& said : end->said)
            if (isOutcome(said) && !end->seen.contains(said))
                verdict.differences << QStringLiteral("%1状态栏说了“%2”，同一轮里又被盖过，从未显示")
                                           .arg(end == &held ? QString() : QStringLiteral("(答复即时) "), said);
    return verdict;
}

// What a difference is about: its words before the first colon.
static QString differenceLabel(const QString& difference)
{
    return difference.section(QRegularExpression(QStringLiteral("[:：“]")), 0, 0).trimmed();
}

QList<Press> PressRig::shrink(QList<Press> presses, const Verdict& first, int trials)
{
    if (first.differences.isEmpty())
        return presses;
    // Shrunk for the first difference: a shorter sequence that parts the two ends over something else is another
    // finding.
    const QString label = differenceLabel(first.differences.first());
    const auto stillParts = [&](const Verdict& verdict) {
        return std::any_of(verdict.differences.cbegin(), verdict.differences.cend(),
                           [&](const QString& difference) { return differenceLabel(difference) == label; });
    };
    for (qsizetype chunk = presses.size() / 2; chunk >= 1 && trials > 0;) {
        bool dropped = false;
        for (qsizetype from = 0; from < presses.size() && trials > 0;) {
            QList<Press> fewer = presses;
            fewer.remove(from, std::min(chunk, presses.size() - from));
            --trials;
            const Verdict verdict = judge(fewer);
            if (stillParts(verdict)) {
                presses = fewer;
                dropped = true;
            } else {
                from += chunk;
            }
        }
        if (!dropped)
            chunk /= 2;
    }
    return presses;
}

QString PressRig::repeatable(const QList<Press>& presses, const Verdict& verdict)
{
    QString text;
    for (qsizetype i = 0; i < presses.size(); ++i)
        text += QStringLiteral("  %1. %2\n").arg(i + 1).arg(pressWords(presses[i]));
    text += QStringLiteral("  然后让慢共享的答复到来。两次的结局不同:\n");
    for (const QString& difference : verdict.differences)
        text += QStringLiteral("    - ") + difference + "\n";
    return text;
}
