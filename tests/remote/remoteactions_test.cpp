#include "remotehostfixture.h"

// Each action with a code: what the engine shows afterwards, and the reply's error.
class RemoteActions : public RemoteHostTest
{
  protected:
    void SetUp() override
    {
        RemoteHostTest::SetUp();
        host->start(true);
    }
    RemoteStatus act(RemoteAction action, std::optional<bool> value = std::nullopt)
    {
        RemoteRequest made = request(action, host->code());
        made.value = value;
        return ask(made);
    }
    RemoteStatus play(std::optional<QUuid> id, std::optional<RemotePlaybackMode> mode = std::nullopt)
    {
        RemoteRequest made = request(RemoteAction::play, host->code());
        made.cue = id;
        made.playbackMode = mode;
        return ask(made);
    }
};

TEST_F(RemoteActions, StatusListsTheShowAndChangesNothing)
{
    const RemoteStatus status = act(RemoteAction::status);
    EXPECT_FALSE(status.error);
    EXPECT_FALSE(status.pairing);
    ASSERT_EQ(status.cues.size(), 3);
    EXPECT_EQ(status.cues[1], (RemoteStatus::Entry{cue(1).id, QStringLiteral("开场")}));
    EXPECT_FALSE(status.current);
    EXPECT_EQ(status.next, cue(0).id);
    EXPECT_EQ(status.message, QStringLiteral("就绪"));
    EXPECT_FALSE(status.paused || status.blackout || status.muted || status.projecting);
}

TEST_F(RemoteActions, EachActionMakesTheConsolesEngineCalls)
{
    const struct
    {
        RemoteAction action;
        std::optional<bool> value;
        std::function<bool()> holds;
    } steps[] = {
        {RemoteAction::go, {}, [&] { return onAir(0) && !engine->paused(); }},
        {RemoteAction::pause, {}, [&] { return engine->paused(); }},
        {RemoteAction::pause, {}, [&] { return engine->paused(); }},
        {RemoteAction::resume, {}, [&] { return !engine->paused(); }},
        {RemoteAction::resume, {}, [&] { return !engine->paused() && onAir(0); }},
        {RemoteAction::blackout, true, [&] { return engine->videoBlack(); }},
        {RemoteAction::blackout, {}, [&] { return engine->videoBlack(); }},
        {RemoteAction::mute, true, [&] { return engine->muted(); }},
        {RemoteAction::mute, {}, [&] { return engine->muted(); }},
        {RemoteAction::mute, false, [&] { return !engine->muted(); }},
        {RemoteAction::stop, {}, [&] { return !engine->current(); }},
    };
    for (const auto& step : steps) {
        const RemoteStatus status = act(step.action, step.value);
        const QString label = rawValue(step.action);
        EXPECT_FALSE(status.error) << label.toStdString();
        EXPECT_TRUE(step.holds()) << label.toStdString();
        EXPECT_EQ(status.paused, engine->paused()) << label.toStdString();
        EXPECT_EQ(status.blackout, engine->videoBlack()) << label.toStdString();
        EXPECT_EQ(status.muted, engine->muted()) << label.toStdString();
        EXPECT_EQ(status.message, engine->message()) << label.toStdString();
    }
    EXPECT_EQ(engine->message(), QStringLiteral("媒体已停止 · 灯光保持"));
}

TEST_F(RemoteActions, PlayStartsTheNamedCueAtOnceWithItsMode)
{
    edit([](Show& show) { show.cues[2].delay = 30; });
    const RemoteStatus status = play(cue(2).id, RemotePlaybackMode::once);
    EXPECT_FALSE(status.error);
    EXPECT_TRUE(onAir(2)) << "a play ignores the cue's delay";
    EXPECT_EQ(status.current, cue(2).id);
    EXPECT_FALSE(status.next);
    EXPECT_EQ(status.message, QStringLiteral("播出中 · 退场"));

    // Lower case is accepted on the way in; replies carry upper case.
    const QString lower = cue(1).id.toString(QUuid::WithoutBraces).toLower();
    const QByteArray bytes = host->reply(
        QStringLiteral(R"({"code":"%1","action":"play","cue":"%2"})").arg(host->code(), lower).toUtf8(), phone);
    EXPECT_TRUE(bytes.contains(lower.toUpper().toUtf8()));
    EXPECT_TRUE(onAir(1));
}

TEST_F(RemoteActions, RefusalsComeWithTheFullStatus)
{
    const QString unknownCue = QStringLiteral("节目不存在或正在自动投放");
    EXPECT_EQ(play(std::nullopt).error, unknownCue);
    EXPECT_EQ(play(QUuid::createUuid()).error, unknownCue);
    EXPECT_EQ(play(QUuid::createUuid()).cues.size(), 3);
    EXPECT_FALSE(engine->current());
}

TEST_F(RemoteActions, PlayOrGoThatStartsNothingSaysSo)
{
    // A clip without its media cannot play, whatever the disk says.
    edit([](Show& show) {
        TimelineEvent clip;
        clip.track = Track::main;
        show.cues[1].timeline = QList<TimelineEvent>{clip};
    });
    RemoteStatus status = play(cue(1).id);
    EXPECT_EQ(status.error, QStringLiteral("节目无法播放"));
    EXPECT_TRUE(status.message.startsWith(QStringLiteral("素材缺失"))) << status.message.toStdString();
    EXPECT_FALSE(engine->current());

    play(cue(0).id);
    EXPECT_EQ(act(RemoteAction::go).error, QStringLiteral("GO 未执行")) << "the next cue cannot play";

    // A file the disk called missing is asked again first: the refusal comes on the status line once it answers.
    edit([](Show& show) {
        show.cues[1].timeline.reset();
        show.cues[1].main = QUrl::fromLocalFile(MediaFixtures::missing() + ".mp4");
    });
    status = act(RemoteAction::go);
    EXPECT_FALSE(status.error);
    EXPECT_EQ(status.message, QStringLiteral("正在检查素材 · 开场"));
    EXPECT_TRUE(waitUntil([&] { return engine->message().startsWith(QStringLiteral("素材缺失 · ")); }));
    EXPECT_EQ(engine->current()->id, cue(0).id);

    edit([](Show& show) {
        show.cues[1].main.reset();
        show.cues[1].delay = 5;
    });
    EXPECT_FALSE(act(RemoteAction::go).error) << "the countdown starts";
    EXPECT_EQ(engine->message(), QStringLiteral("等待执行 · 开场"));
    EXPECT_EQ(act(RemoteAction::go).error, QStringLiteral("GO 未执行")) << "a countdown already waits";

    engine->take(cue(2));
    status = act(RemoteAction::go);
    EXPECT_EQ(status.error, QStringLiteral("GO 未执行"));
    EXPECT_EQ(status.message, QStringLiteral("节目单已结束"));
}

TEST_F(RemoteActions, EmptyShowListsNoCuesAndNoNextCue)
{
    edit([](Show& show) { show.cues.clear(); });
    const QByteArray reply = host->reply(request(RemoteAction::status, host->code()).encode(), phone);
    EXPECT_TRUE(reply.contains("\"cues\":[]"));
    EXPECT_FALSE(reply.contains("\"current\"") || reply.contains("\"next\"") || reply.contains("\"error\""));
}

TEST(RemoteHostOfEngine, MadeOnceByTheInstalledFactoryAndGoneWithTheEngine)
{
    QTemporaryDir folder;
    Engine::Services services;
    services.players = [](QObject* parent) { return std::make_unique<FakePlayer>(parent, true); };
    auto bare = std::make_unique<Engine>(false, nullptr, folder.path(), services);
    EXPECT_EQ(bare->remoteHost(), nullptr);

    services.makeRemoteHost = RemoteHost::factory();
    auto engine = std::make_unique<Engine>(false, nullptr, folder.path(), services);
    QPointer<RemoteHost> host = engine->remoteHost();
    ASSERT_TRUE(host);
    EXPECT_EQ(engine->remoteHost(), host);
    EXPECT_EQ(host->engine(), engine.get());
    EXPECT_FALSE(host->enabled());
    EXPECT_TRUE(host->code().isEmpty() && host->lan().isEmpty() && host->pending().isEmpty());
    engine.reset();
    EXPECT_FALSE(host);
}

TEST_F(RemoteActions, DuringAnAutomaticRunPlayAndGoAreRefused)
{
    ASSERT_TRUE(engine->beginProjection(ProjectionMode::playlistLoop, cue(0)));
    const RemoteStatus played = play(cue(2).id);
    EXPECT_EQ(played.error, QStringLiteral("节目不存在或正在自动投放"));
    EXPECT_TRUE(played.projecting);
    EXPECT_EQ(act(RemoteAction::go).error, QStringLiteral("正在自动投放"));
    EXPECT_TRUE(onAir(0));
    EXPECT_FALSE(act(RemoteAction::stop).projecting);
}
