// Runs a copy job as the desktop program does: the engine, the job queue,
// the progress model and the main window (shown offscreen on its Progress
// page, with the job log and every other page) are made and wired as the
// program makes them, and the job is added to the queue as an opened job file
// is. Reports the wall time and the largest gap seen by a 10 ms timer on the
// GUI thread, the stall a user would feel. Compare the time with
// `harvexis-cli run JOBFILE --quiet` on the same job (bench/compare-desktop.sh).
//
// Usage: bench_DesktopCopy JOBFILE

#include "engine/CopyEngine.h"
#include "jobs/PasswordMgr.h"
#include "jobs/SavedOptions.h"
#include "messaging/SpiderOutputSplitter.h"
#include "queue/CopyProgress.h"
#include "queue/JobQueue.h"
#include "ui/MainForm.h"
#include "ui/MessageBoxPrompts.h"
#include "ui/SpiderOutputRelay.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

// The CPU time the calling thread has used, in seconds.
double ThreadCpuSeconds() {
    timespec used{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &used);
    return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) / 1e9;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("Usage: bench_DesktopCopy JOBFILE\n", stderr);
        return 2;
    }
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    jobs::TSavedOptions settings;
    settings.Initialize(jobs::GetDataFolder());
    jobs::TPasswordManager passwords;
    engine::TCopyEngine engine(settings, passwords);
    ui::TMessageBoxPrompts prompts;
    queue::TCopyProgress progress(engine.Input(), [&settings] {
        return settings.Read(jobs::Settings::ShowFriendlyDownloadResults);
    });
    progress.Subscribe(engine.Splitter());
    queue::TJobQueue jobQueue(engine.Input(), settings, prompts);
    jobQueue.InitJobQueue(engine.Splitter());
    int jobsEnded = 0;
    engine.Splitter().RegisterForSpiderOutput(messaging::SpiderOutputKinds({messaging::somJobEnded}),
                                              [&jobsEnded](const messaging::TSpiderOutputMsg&, std::uint32_t) {
                                                  ++jobsEnded;
                                                  QTimer::singleShot(0, qApp, &QCoreApplication::quit);
                                              });
    ui::TSpiderOutputRelay relay(engine.Output(), engine.Splitter());
    ui::TMainForm window({settings, jobQueue, passwords, prompts, engine.Splitter(),
                          {[&engine] { engine.Terminate(); }, [&engine] { return engine.Finished(); }}, progress});
    prompts.SetOwner(&window);
    window.resize(1100, 800);
    window.show();
    window.ShowPage(ui::TMainForm::pgProgress);

    // The first paint (fonts, styles) is the program's start, not the copy's.
    QApplication::processEvents();

    // The GUI thread's responsiveness: the largest gap between two 10 ms ticks.
    QElapsedTimer clock, sinceTick;
    qint64 largestGap = 0;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        largestGap = std::max(largestGap, sinceTick.restart());
    });
    engine.Resume();
    clock.start();
    sinceTick.start();
    probe.start(10);
    if (!jobQueue.AddJobFile(argv[1])) {
        std::fprintf(stderr, "Unable to start %s\n", argv[1]);
        return 1;
    }
    const double cpuBefore = ThreadCpuSeconds();
    app.exec();
    const double seconds = clock.elapsed() / 1000.0;
    const double guiCpu = ThreadCpuSeconds() - cpuBefore;
    engine.Terminate();
    std::printf("files done: %d of %d known\n", progress.FilesDone(), progress.FilesKnown());
    std::printf("time: %.2f s\n", seconds);
    std::printf("GUI thread CPU: %.2f s\n", guiCpu);
    std::printf("largest GUI thread gap: %lld ms (10 ms probe)\n", static_cast<long long>(largestGap));
    return jobsEnded == 1 ? 0 : 1;
}
