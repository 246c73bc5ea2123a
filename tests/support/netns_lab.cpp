#include "netns_lab.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace {

std::string& IsolationError()
{
    static std::string error = "IsolateNetwork() was not called";
    return error;
}

std::string Failed(const std::string& call)
{
    return call + ": " + std::strerror(errno);
}

std::string EnterFreshNamespaces()
{
    if (::unshare(CLONE_NEWNET | CLONE_NEWNS) != 0)
        return Failed("unshare(CLONE_NEWNET | CLONE_NEWNS)");
    // Private mounts: the tmpfs below and every namespace bind mount that
    // `ip netns add` makes stay invisible to the machine and die with us.
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return Failed("making mounts private");
    if (::mkdir("/run/netns", 0755) != 0 && errno != EEXIST)
        return Failed("mkdir /run/netns");
    if (::mount("tmpfs", "/run/netns", "tmpfs", 0, "mode=0755") != 0)
        return Failed("mounting a tmpfs on /run/netns");
    return {};
}

// Runs a shell command line, returning its exit status and what it printed.
std::pair<int, std::string> Capture(const std::string& commandLine)
{
    FILE* pipe = ::popen((commandLine + " 2>&1").c_str(), "r");
    if (!pipe)
        return {-1, Failed("popen")};
    std::string output;
    std::array<char, 256> chunk{};
    while (std::fgets(chunk.data(), chunk.size(), pipe))
        output += chunk.data();
    return {::pclose(pipe), output};
}

// Waits until `ip <arguments>` (a link's `-o link show`) reports the link
// up. A link set up starts carrying datagrams only once the kernel has
// activated it, a moment later and later still on a loaded machine; a
// datagram sent before that is dropped without an error.
void WaitUntilLinkUp(const std::string& arguments)
{
    for (int attempt = 0; attempt < 500; ++attempt) {
        const auto [status, output] = Capture("ip " + arguments);
        if (status == 0 && output.find("state UP") != std::string::npos)
            return;
        ::usleep(10'000);
    }
    throw std::runtime_error("ip " + arguments + ": the link did not come up within 5 s");
}

// Where a thread returns to after RunIn(), however `work` ends.
class TNamespaceReturn {
public:
    TNamespaceReturn() : home_(::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC))
    {
        if (home_ < 0)
            throw std::runtime_error(Failed("open /proc/thread-self/ns/net"));
    }
    ~TNamespaceReturn()
    {
        // Staying in a device namespace would make every later step of the
        // test wrong: better to stop here.
        if (::setns(home_, CLONE_NEWNET) != 0)
            std::abort();
        ::close(home_);
    }
    TNamespaceReturn(const TNamespaceReturn&) = delete;
    TNamespaceReturn& operator=(const TNamespaceReturn&) = delete;

private:
    int home_;
};

void Enter(const std::string& deviceNamespace)
{
    const std::string path = "/run/netns/" + deviceNamespace;
    const int target = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (target < 0)
        throw std::runtime_error(Failed("open " + path));
    const int entered = ::setns(target, CLONE_NEWNET);
    const std::string error = entered != 0 ? Failed("setns " + path) : std::string();
    ::close(target);
    if (entered != 0)
        throw std::runtime_error(error);
}

}  // namespace

std::string IsolateNetwork()
{
    std::string error = EnterFreshNamespaces();
    if (error.empty()) {
        const auto [status, output] = Capture("ip link set lo up");
        if (status != 0)
            error = "ip link set lo up: " + output;
    }
    IsolationError() = error;
    return error;
}

const std::string& NetworkIsolationError()
{
    return IsolationError();
}

TNetnsLab::~TNetnsLab()
{
    for (auto step = undo_.rbegin(); step != undo_.rend(); ++step)
        Capture("ip " + *step);  // best effort: the namespaces die with the process anyway
}

void TNetnsLab::Ip(const std::string& arguments)
{
    const auto [status, output] = Capture("ip " + arguments);
    if (status != 0)
        throw std::runtime_error("ip " + arguments + ": " + output);
}

std::string TNetnsLab::AddNamespace()
{
    const std::string name = "qns" + std::to_string(++namespaces_);
    Ip("netns add " + name);
    undo_.push_back("netns del " + name);
    Ip("-n " + name + " link set lo up");
    return name;
}

TDeviceLink TNetnsLab::AddLink(const std::string& deviceNamespace, const std::string& hostAddress,
                               const std::string& deviceAddress)
{
    const std::string number = std::to_string(++links_);
    const TDeviceLink link{deviceNamespace, "qhost" + number, "qdev" + number};
    Ip("link add " + link.hostInterface + " type veth peer name " + link.deviceInterface + " netns " +
       deviceNamespace);
    // Deleting the host end removes the pair, also while a socket still
    // keeps the device namespace alive.
    undo_.push_back("link del " + link.hostInterface);
    Ip("addr add " + hostAddress + " dev " + link.hostInterface);
    Ip("link set " + link.hostInterface + " up");
    const std::string inside = "-n " + deviceNamespace + " ";
    Ip(inside + "addr add " + deviceAddress + " dev " + link.deviceInterface);
    Ip(inside + "link set " + link.deviceInterface + " up");
    WaitUntilLinkUp("-o link show dev " + link.hostInterface);
    WaitUntilLinkUp(inside + "-o link show dev " + link.deviceInterface);
    return link;
}

TDeviceLink TNetnsLab::AddDevice(const std::string& hostAddress, const std::string& deviceAddress)
{
    return AddLink(AddNamespace(), hostAddress, deviceAddress);
}

void TNetnsLab::AddAddress(const std::string& interface, const std::string& address, const std::string& options)
{
    Ip("addr add " + address + " dev " + interface + " " + options);
    undo_.push_back("addr del " + address + " dev " + interface);
}

void TNetnsLab::RemoveAddress(const std::string& interface, const std::string& address)
{
    Ip("addr del " + address + " dev " + interface);
}

void TNetnsLab::SetLinkUp(const std::string& interface, bool up)
{
    Ip("link set " + interface + (up ? " up" : " down"));
    if (!up)
        undo_.push_back("link set " + interface + " up");
}

void TNetnsLab::RunIn(const std::string& deviceNamespace, const std::function<void()>& work)
{
    TNamespaceReturn back;
    Enter(deviceNamespace);
    work();
}
