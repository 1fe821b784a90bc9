#include "projectfile.h"

#include <QString>
#include <csignal>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// The write that passes the size limit lands here, with the new file half written beside the target.
void stallInTheWrite(int)
{
    static constexpr char kWriting[] = "writing\n";
    (void)::write(STDOUT_FILENO, kWriting, sizeof kWriting - 1);
    for (;;)
        ::pause();
}

} // namespace

// Saves a show of a hundred cues over TARGET and stops half-way through the write, until it is killed:
//   stalled_save_process TARGET
// It prints "writing" once it has stopped.
int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: stalled_save_process TARGET\n");
        return 2;
    }
    Show show = Show::makeDefault();
    for (int i = 0; i < 100; ++i) {
        Cue cue;
        cue.name = QStringLiteral("第 %1 场").arg(i + 1);
        show.cues.append(cue);
    }
    const rlimit half{rlim_t(encodeShow(show, JsonFormat::pretty).size() / 2), RLIM_INFINITY};
    std::signal(SIGXFSZ, stallInTheWrite);
    if (::setrlimit(RLIMIT_FSIZE, &half) != 0)
        return 3;
    writeShowFile(show, QString::fromLocal8Bit(argv[1]), JsonFormat::pretty);
    return 4;
}
