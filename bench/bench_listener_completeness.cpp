// How many replies of a burst sent back to back end up listed, with the
// receive buffer the listener asks for and with the system's default.
#include "bench_listener_lab.h"
#include "discovery/udp_server.h"
#include "ui/main_window/UMain.h"
#include "ui/device_list/device_list.h"
#include "ui/device_list/device_list_model.h"
#include "ui/main_window/qt_hand_over.h"

#include <QApplication>

#include <cstdio>
#include <fstream>
#include <functional>
#include <string>

namespace {

constexpr std::chrono::milliseconds Idle{1500};

std::string Sysctl(const char* path)
{
    std::ifstream file(path);
    std::string value;
    std::getline(file, value);
    return value;
}

std::size_t Listed(TfmMain& window, const TListenerBenchLab& lab, std::size_t burstSize)
{
    window.ListBox1->Clear();
    const auto burst = lab.StartBurst(burstSize);
    const TDeviceListModel& entries = window.ListBox1->Entries();
    const TArrivals arrivals = ProcessEventsUntil(
        [&] { return static_cast<std::size_t>(entries.rowCount()); }, burstSize, Idle);
    burst->waitForFinished();
    return arrivals.count;
}

// The window's own listener replaced by one that keeps the system's default
// receive buffer, with the same handler.
void UseDefaultReceiveBuffer(TfmMain& window, TQtHandOver& handOver)
{
    window.IdUDPServer1.reset();
    window.IdUDPServer1 = std::make_unique<TUdpServer>(handOver.HandOver());
    window.IdUDPServer1->ReceiveBufferSize = 0;
    window.IdUDPServer1->OnUDPRead = std::bind_front(&TfmMain::IdUDPServer1UDPRead, &window);
    window.IdUDPServer1->Activate();
}

}  // namespace

int main(int argc, char** argv)
{
    if (const auto status = IsolateOrExplain("bench_listener_completeness"))
        return *status;
    QApplication application(argc, argv);
    TListenerBenchLab lab;
    TQtHandOver defaultBufferHandOver;  // outlives the window's replaced listener
    TfmMain window(PrintErrorBox);
    window.show();

    std::printf("receive buffer asked: %d bytes; net.core.rmem_max %s, rmem_default %s\n",
                TUdpServer::DefaultReceiveBufferSize, Sysctl("/proc/sys/net/core/rmem_max").c_str(),
                Sysctl("/proc/sys/net/core/rmem_default").c_str());
    const std::size_t bursts[] = {1000, 5000};
    std::size_t asked[2] = {};
    for (std::size_t i = 0; i < 2; ++i)
        asked[i] = Listed(window, lab, bursts[i]);
    UseDefaultReceiveBuffer(window, defaultBufferHandOver);
    for (std::size_t i = 0; i < 2; ++i) {
        const std::size_t byDefault = Listed(window, lab, bursts[i]);
        std::printf("burst of %zu: listed %zu (%.1f %%) with the asked buffer, %zu (%.1f %%) with the default\n",
                    bursts[i], asked[i], 100.0 * asked[i] / bursts[i], byDefault, 100.0 * byDefault / bursts[i]);
    }
    return 0;
}
