#pragma once

#include "enginefixture.h"
#include "lumosettings.h"
#include "pressvocabulary.h"
#include "stalledfolder.h"

#include <QSet>
#include <QTimer>
#include <memory>

// Presses sequences of an operator's presses on fresh engines, once with the share's answers held back until after
// the last press and once with every answer in at once, and compares where the two end. The share holds half the
// media files; a question whether one of its files can be read waits until the test lets the answers in.
class PressRig : public EngineTest
{
  public:
    // Where one pass ended, line by line ("节目: …"), and what it saw on the way.
    struct Ending
    {
        QStringList lines;
        QString status;
        // The kinds of everything the status line showed for at least a turn of the event loop.
        QSet<QString> seen;
        // The kinds of everything put on the status line, seen or not.
        QSet<QString> said;
        QStringList excused;
        QStringList breaches;
        // The presses (counted from 1) that named what was not there.
        QList<int> missed;
    };
    // Why the two passes differ; empty when they agree (or the design lets them differ, see allowedDifferences()).
    struct Verdict
    {
        QStringList differences;
        bool excused = false;
        // Why, when excused: each reason once.
        QStringList reasons;
    };

    // Draws a sequence of `count` presses, each among what exists at its moment, pressing it with every answer in;
    // where that ended, when asked.
    QList<Press> draw(quint32 seed, int count, Ending* atOnce = nullptr);
    // Presses the sequence both ways (with every answer in at once only when that end is not given) and compares.
    Verdict judge(const QList<Press>& presses, const std::optional<Ending>& atOnce = std::nullopt);
    static Verdict compare(const Ending& atOnce, const Ending& held);
    // The shortest sequence found that still parts the two ends over the first of the differences found, by leaving
    // presses out (halves, then quarters, ... then one at a time), within a budget of trials.
    QList<Press> shrink(QList<Press> presses, const Verdict& found, int trials = 60);
    // Sequences that end apart: the failure printed as numbered presses a person can repeat, with the differences.
    static QString repeatable(const QList<Press>& presses, const Verdict& verdict);
    // Where the two passes may end apart by design, with the reason beside each.
    static QStringList allowedDifferences();

    // The status line's text as a kind: its first part, numbers left out.
    static QString statusKind(const QString& text);

    Ending pass(const QList<Press>& presses, bool held, QList<Press>* drawn = nullptr, std::mt19937* random = nullptr);

  protected:
    void SetUp() override;
    void TearDown() override;

    void begin(bool held);
    void finish();
    Stage& stage() { return *m_stage; }
    QString sharePath() const { return folder.filePath(QStringLiteral("share")); }
    QString localPath() const { return folder.filePath(QStringLiteral("local")); }

    // Nothing of the engine waits, and nothing it asked is on its way.
    bool quiet() const;
    void settle();
    // Waits for the answers about local files only (the share's are held).
    void settleLocal();
    Ending ending();
    void notePressOnTaken(const Press& press);
    void noteTakenAtPress(const Press& press);
    QStringList screensNow() const;

    Show m_firstShow;
    std::shared_ptr<StalledFolder> m_held = std::make_shared<StalledFolder>();
    QTimer m_pulse;
    std::unique_ptr<LumoSettings> m_settings;
    std::unique_ptr<ConsoleState> m_console;
    std::unique_ptr<TimelineEditorModel> m_model;
    std::unique_ptr<ProjectionLaunch> m_header;
    std::unique_ptr<Stage> m_stage;
    int m_monitorsOpened = 0;
    int m_round = 0;
    QSet<QString> m_seen;
    QSet<QString> m_said;
    QStringList m_localFiles;
};
