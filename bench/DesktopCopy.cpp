// Runs a copy job as the desktop program does: the engine's reports reach the
// progress page (shown offscreen) through the relay on the GUI thread, and the
// page flushes on its timer. Reports the wall time and the largest gap seen
// by a 10 ms timer on the GUI thread, the stall a user would feel. Compare
// the time with `harvexis-cli run JOBFILE --quiet` on the same job.
//
// Usage: bench_DesktopCopy JOBFILE

#include "engine/CopyEngine.h"
#include "jobs/PasswordMgr.h"
#include "jobs/SavedOptions.h"
#include "messaging/SpiderInputMsg.h"
#include "messaging/SpiderOutputSplitter.h"
#include "queue/CopyProgress.h"
#include "ui/CopyProgressFrame.h"
#include "ui/SpiderOutputRelay.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("Usage: bench_DesktopCopy JOBFILE\n", stderr);
        return 2;
    }
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    messaging::TSpiderInputMsg start;
    start.Kind = messaging::simStartJob;
    start.JobNumber = 1;
    if (!start.Job.LoadFromFile(argv[1])) {
        std::fprintf(stderr, "Unable to read %s\n", argv[1]);
        return 1;
    }
    start.Job.PrepareForRun();

    jobs::TSavedOptions settings;
    jobs::TPasswordManager passwords;
    engine::TCopyEngine engine(settings, passwords);
    queue::TCopyProgress progress(engine.Input(), [] { return true; });
    progress.Subscribe(engine.Splitter());
    engine.Splitter().RegisterForSpiderOutput(messaging::SpiderOutputKinds({messaging::somJobEnded}),
                                              [](const messaging::TSpiderOutputMsg&, std::uint32_t) {
                                                  QTimer::singleShot(0, qApp, &QCoreApplication::quit);
                                              });
    ui::TSpiderOutputRelay relay(engine.Output(), engine.Splitter());
    ui::TCopyProgressFrame page(progress);
    page.resize(1100, 800);
    page.show();

    // The GUI thread's responsiveness: the largest gap between two 10 ms ticks.
    QElapsedTimer clock, sinceTick;
    qint64 largestGap = 0;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        largestGap = std::max(largestGap, sinceTick.restart());
    });
    clock.start();
    sinceTick.start();
    probe.start(10);
    engine.Resume();
    engine.Input().Post(start);
    app.exec();
    const double seconds = clock.elapsed() / 1000.0;
    engine.Terminate();
    std::printf("files done: %d of %d known\n", progress.FilesDone(), progress.FilesKnown());
    std::printf("time: %.2f s\n", seconds);
    std::printf("largest GUI thread gap: %lld ms (10 ms probe)\n", static_cast<long long>(largestGap));
    return 0;
}
