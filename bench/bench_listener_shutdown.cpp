// 100 closes of the program while replies keep arriving: how many end within
// 2 s of the close with exit status 0. Each close is a child process that
// runs the real main window, waits for entries, closes the window and exits.
#include "bench_listener_lab.h"
#include "statistics.h"
#include "ui/main_window/UMain.h"
#include "ui/device_list/device_list.h"
#include "ui/device_list/device_list_model.h"
#include "ui/main_window/main_window_run.h"

#include <QApplication>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr int Closes = 100;
constexpr std::chrono::seconds Allowed{2};
constexpr int EntriesBeforeClosing = 10;
constexpr const char* ChildMode = "--close-under-load";

// The child: the program's own run of the main window, closed by a timer
// once replies are being listed.
int RunAndCloseUnderLoad(int argc, char** argv)
{
    QApplication application(argc, argv);
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* window = qobject_cast<TfmMain*>(widget);
            if (window && window->ListBox1 && window->ListBox1->Entries().rowCount() >= EntriesBeforeClosing) {
                closer.stop();
                std::printf("closing\n");
                std::fflush(stdout);
                window->close();
            }
        }
    });
    closer.start(5);
    return RunMainWindow(PrintErrorBox);
}

struct TClose {
    bool endedInTime = false;
    double seconds = 0.0;
};

TClose CloseOnce(const char* self)
{
    QProcess child;
    child.setStandardErrorFile(QProcess::nullDevice());  // the offscreen platform's chatter
    child.start(self, {ChildMode});
    TClose close;
    if (!child.waitForStarted() || !child.waitForReadyRead(20'000)) {
        child.kill();
        child.waitForFinished();
        return close;
    }
    const auto closing = TBenchClock::now();
    const bool finished = child.waitForFinished(10'000);
    const std::chrono::duration<double> took = TBenchClock::now() - closing;
    close.seconds = took.count();
    close.endedInTime = finished && child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0 &&
                        took < Allowed;
    if (!finished) {
        child.kill();
        child.waitForFinished();
    }
    return close;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], ChildMode) == 0)
        return RunAndCloseUnderLoad(argc, argv);  // already in the parent's namespace
    if (const auto status = IsolateOrExplain("bench_listener_shutdown"))
        return *status;
    QCoreApplication application(argc, argv);
    TListenerBenchLab lab;
    const auto stream = lab.StartSimulator(
        {"--send-to", TListenerBenchLab::HostAddress, "--count", "0", "--timeout", "120"});

    int inTime = 0;
    std::vector<double> seconds;
    for (int i = 0; i < Closes; ++i) {
        const TClose close = CloseOnce(argv[0]);
        inTime += close.endedInTime ? 1 : 0;
        seconds.push_back(close.seconds);
    }
    stream->kill();
    stream->waitForFinished();

    std::printf("closes under a steady reply stream: %d of %d ended within %lld s with exit status 0 (aim: %d)\n",
                inTime, Closes, static_cast<long long>(Allowed.count()), Closes);
    std::printf("  close to exit: median %.3f s, slowest %.3f s\n", Median(seconds),
                *std::ranges::max_element(seconds));
    return 0;
}
