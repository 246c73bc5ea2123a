// The main window: how long the program takes from its start to the window
// shown, against a minimal Qt Widgets window started the same way; and what
// one full repaint costs with the effects against the same window with the
// effects off, and with the picture warped (pointer over it) against plain.
// Everything runs in a network namespace of its own: the window binds UDP
// port 7080.
#include "netns_lab.h"
#include "not_run.h"
#include "reply_builder.h"
#include "statistics.h"
#include "ui/main_window/UMain.h"
#include "ui/platform/application_look.h"
#include "ui/main_window/clickable_picture.h"
#include "ui/device_list/device_list.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEnterEvent>
#include <QLabel>
#include <QProcess>
#include <QWindow>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr int StartupRuns = 15;
constexpr int PaintedFrames = 400;
constexpr auto ChildMain = "--child-main";
constexpr auto ChildMinimal = "--child-minimal";

void ShowExposed(QWidget& window)
{
    window.show();
    while (!window.windowHandle() || !window.windowHandle()->isExposed())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// Child: the window is built, shown and painted once, then the child says
// so on its standard output and ends without tearing anything down.
template <typename TWindow>
int ShowAndReport(int argc, char** argv)
{
    QApplication application(argc, argv);
    ApplyApplicationLook();
    TWindow window;
    ShowExposed(window);
    window.repaint();
    std::fputs("shown\n", stdout);
    std::fflush(stdout);
    std::_Exit(0);
}

struct TMinimalWindow : QWidget {
    TMinimalWindow()
    {
        resize(TfmMain::DesignedClientSize);
        new QLabel(QStringLiteral("Quorvel"), this);
    }
};

// Processor time (user and system, all threads) of the children that have
// ended and been waited for, in milliseconds.
double ChildrenCpuMilliseconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto ms = [](const timeval& t) { return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

struct TStartup {
    double wallMilliseconds;  // from starting the child until it reports its window shown
    double cpuMilliseconds;   // the processor time the child took for it, loading included
};

TStartup Startup(const char* childMode)
{
    const double cpuBefore = ChildrenCpuMilliseconds();
    QProcess child;
    QElapsedTimer timer;
    timer.start();
    child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(childMode)});
    if (!child.waitForReadyRead(10'000)) {
        std::fprintf(stderr, "child %s did not report: %s\n", childMode, qPrintable(child.readAllStandardError()));
        return {-1, -1};
    }
    const double elapsed = timer.nsecsElapsed() / 1e6;
    child.waitForFinished();  // the child ends at once after reporting
    return {elapsed, ChildrenCpuMilliseconds() - cpuBefore};
}

void PrintRatio(const char* what, const std::vector<double>& main, const std::vector<double>& minimal)
{
    // The fastest run shows the cost with the least interference from other
    // work on the machine; the median shows the typical run.
    const double mainFastest = *std::min_element(main.begin(), main.end());
    const double minimalFastest = *std::min_element(minimal.begin(), minimal.end());
    std::printf("  %s fastest: main window %.1f ms, minimal window %.1f ms, ratio %.2f\n", what, mainFastest,
                minimalFastest, mainFastest / minimalFastest);
    std::printf("  %s median:  main window %.1f ms, minimal window %.1f ms, ratio %.2f\n", what, Median(main),
                Median(minimal), Median(main) / Median(minimal));
}

void BenchStartup()
{
    std::vector<double> mainWall, minimalWall, mainCpu, minimalCpu;
    for (int run = 0; run < StartupRuns; ++run) {  // interleaved, so both see the same machine load
        const TStartup main = Startup(ChildMain);
        const TStartup minimal = Startup(ChildMinimal);
        mainWall.push_back(main.wallMilliseconds);
        mainCpu.push_back(main.cpuMilliseconds);
        minimalWall.push_back(minimal.wallMilliseconds);
        minimalCpu.push_back(minimal.cpuMilliseconds);
    }
    std::printf("start-up to window shown, %d runs each (aim: ratio <= 1.3)\n", StartupRuns);
    PrintRatio("wall clock", mainWall, minimalWall);
    // On a busy machine the wall clock mostly measures waiting for the
    // processor; the processor time the start-up takes does not.
    PrintRatio("CPU time  ", mainCpu, minimalCpu);
}

double RepaintMicroseconds(TfmMain& window)
{
    std::vector<double> frames;
    for (int frame = 0; frame < PaintedFrames; ++frame) {
        QElapsedTimer timer;
        timer.start();
        window.repaint();  // the whole window with every child, synchronously
        frames.push_back(timer.nsecsElapsed() / 1e3);
    }
    return Median(frames);
}

void SetEffectsEnabled(TfmMain& window, bool enabled)
{
    window.GlowEffect1.Enabled = enabled;
    window.ShadowEffect1.Enabled = enabled;
    window.ShadowEffect2.Enabled = enabled;
}

void SetPointerOverPicture(TfmMain& window, bool over)
{
    if (over) {
        const QPointF centre = QRectF(window.Image1->rect()).center();
        QEnterEvent enter(centre, centre, centre);
        QApplication::sendEvent(window.Image1, &enter);
    } else {
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(window.Image1, &leave);
    }
}

void BenchRepaint()
{
    TfmMain window;
    for (int entry = 0; entry < 3; ++entry)
        window.ListBox1->AddDeviceEntry(DecodeDeviceSummary(BuildDiscoveryReply({})).value());
    ShowExposed(window);
    QElapsedTimer first;
    first.start();
    window.repaint();  // builds the kept images: gradient, glow, shadows, scaled picture
    const double firstFrame = first.nsecsElapsed() / 1e3;

    const double withEffects = RepaintMicroseconds(window);
    SetEffectsEnabled(window, false);
    const double withoutEffects = RepaintMicroseconds(window);
    SetEffectsEnabled(window, true);
    SetPointerOverPicture(window, true);
    window.repaint();  // builds the warped picture once
    const double warped = RepaintMicroseconds(window);
    SetPointerOverPicture(window, false);
    const double plain = RepaintMicroseconds(window);

    std::printf("first frame (kept images built): %.0f us\n", firstFrame);
    std::printf("full repaint (median of %d): effects on %.0f us, effects off %.0f us, ratio %.2f (aim <= 3)\n",
                PaintedFrames, withEffects, withoutEffects, withEffects / withoutEffects);
    std::printf("full repaint: pointer over the picture (warped) %.0f us, plain %.0f us, ratio %.2f (aim <= 2)\n",
                warped, plain, warped / plain);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], ChildMain) == 0)
        return ShowAndReport<TfmMain>(argc, argv);
    if (argc == 2 && std::strcmp(argv[1], ChildMinimal) == 0)
        return ShowAndReport<TMinimalWindow>(argc, argv);

    const std::string whyNot = IsolateNetwork();  // before any thread; children inherit the namespace
    if (!whyNot.empty())
        return NotRun("no network namespace: " + whyNot);
    QApplication application(argc, argv);
    ApplyApplicationLook();
    BenchStartup();
    BenchRepaint();
    return 0;
}
