// The window closes while devices keep answering on both address families:
// both receiving threads are in the middle of hand-overs when the list and
// then the listener are destroyed. Built under the sanitizers too, where a
// hand-over reaching a destroyed list, a thread left running or a race on
// the hand-over's state shows up as a report.
#include "discovery/datagram.h"
#include "discovery/udp_socket.h"
#include "netns_lab.h"
#include "reply_builder.h"
#include "ui/main_window/UMain.h"
#include "ui/device_list/device_list.h"
#include "ui/device_list/device_list_model.h"

#include <QApplication>
#include <QTest>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <thread>

using namespace std::chrono_literals;

namespace {

constexpr auto HostIPv4 = "10.9.2.1";
constexpr auto DeviceIPv4 = "10.9.2.10";
constexpr auto HostIPv6 = "fd00:9:2::1";
constexpr auto DeviceIPv6 = "fd00:9:2::10";

// A device that answers over and over on both families until stopped, or
// until its bounded number of rounds is used up.
class TChattyDevice {
public:
    explicit TChattyDevice(std::string deviceNamespace)
        : thread_([this, ns = std::move(deviceNamespace)] { TNetnsLab::RunIn(ns, [this] { Chat(); }); })
    {
    }
    ~TChattyDevice()
    {
        stop_ = true;
        thread_.join();
    }
    TChattyDevice(const TChattyDevice&) = delete;
    TChattyDevice& operator=(const TChattyDevice&) = delete;

private:
    static constexpr int MaxRounds = 200'000;

    void Chat()
    {
        TSimulatedDevice device;
        device.deviceName = "v4";
        const auto overIPv4 = BuildDiscoveryReply(device);
        device.deviceName = "v6";
        const auto overIPv6 = BuildDiscoveryReply(device);
        TUdpSocket v4(TAddressFamily::IPv4);
        v4.Bind(DeviceIPv4, 0);
        TUdpSocket v6(TAddressFamily::IPv6);
        v6.Bind(DeviceIPv6, 0);
        for (int round = 0; round < MaxRounds && !stop_; ++round) {
            v4.SendTo(overIPv4, HostIPv4, DiscoveryPort);
            v6.SendTo(overIPv6, HostIPv6, DiscoveryPort);
            std::this_thread::sleep_for(50us);  // keeps both sockets' buffers from filling at once
        }
    }

    std::atomic<bool> stop_{false};
    std::thread thread_;
};

bool Lists(const TfmMain& window, const QString& deviceName)
{
    const TDeviceListModel& entries = window.ListBox1->Entries();
    for (int row = entries.rowCount() - 1; row >= 0; --row)
        if (entries.DisplayedLines(row)[2].contains(deviceName))
            return true;
    return false;
}

}  // namespace

class TestWindowShutdown : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void closesWhileBothFamiliesHandOver();

private:
    std::optional<TNetnsLab> lab_;
    std::string deviceNamespace_;
};

void TestWindowShutdown::initTestCase()
{
    QUORVEL_REQUIRE_NETWORK_LAB();
    lab_.emplace();
    const TDeviceLink link = lab_->AddDevice(std::string(HostIPv4) + "/24", std::string(DeviceIPv4) + "/24");
    deviceNamespace_ = link.deviceNamespace;
    lab_->AddAddress(link.hostInterface, std::string(HostIPv6) + "/64", "nodad");
    TNetnsLab::Ip("-n " + deviceNamespace_ + " addr add " + DeviceIPv6 + "/64 dev " + link.deviceInterface + " nodad");
}

// Each round lists replies from both receiving threads, then destroys the
// window with hand-overs still arriving; the next round's window binds the
// port again, so the previous one gave it back.
void TestWindowShutdown::closesWhileBothFamiliesHandOver()
{
    TChattyDevice device(deviceNamespace_);
    for (int round = 0; round < 3; ++round) {
        auto window = std::make_unique<TfmMain>();
        QTRY_VERIFY_WITH_TIMEOUT(Lists(*window, QStringLiteral("v4")) && Lists(*window, QStringLiteral("v6")), 20'000);
        window.reset();
    }
}

QUORVEL_NETNS_TEST_MAIN(QApplication, TestWindowShutdown)

#include "tst_window_shutdown.moc"
