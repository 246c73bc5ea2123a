#pragma once

#include "discovery/udp_socket.h"
#include "not_run.h"

#include <functional>
#include <string>
#include <vector>

// Network tests run in a network namespace of their own, never in the
// machine's. IsolateNetwork() must be the first call of main(), before any
// thread exists: it moves the process into a fresh, empty network namespace
// and a private mount namespace with its own /run/netns, so every namespace
// that the test adds vanishes with the process, even when it crashes.
// Returns an empty text on success, otherwise why isolation is impossible;
// the text is also kept for NetworkIsolationError().
std::string IsolateNetwork();
const std::string& NetworkIsolationError();

// In initTestCase(): a test that cannot have its namespaces does not run
// here, saying why (not_run.h).
#define QUORVEL_REQUIRE_NETWORK_LAB()                                              \
    do {                                                                           \
        if (!NetworkIsolationError().empty())                                      \
            QUORVEL_NOT_RUN("no network namespaces: " + NetworkIsolationError());  \
    } while (false)

// In a case that needs IPv6 sockets: on a kernel without IPv6 it does not run
// here, saying so.
#define QUORVEL_REQUIRE_IPV6()                             \
    do {                                                   \
        if (!IPv6DatagramSocketsAvailable())               \
            QUORVEL_NOT_RUN("this kernel has no IPv6");    \
    } while (false)

// A main() that isolates the process first, then runs the QtTest object
// with an Application (QCoreApplication or QApplication) and answers
// not_run.h's status.
#define QUORVEL_NETNS_TEST_MAIN(Application, TestObject)            \
    int main(int argc, char** argv)                                 \
    {                                                               \
        IsolateNetwork();                                           \
        Application application(argc, argv);                        \
        TestObject test;                                            \
        return TestExitStatus(QTest::qExec(&test, argc, argv));     \
    }

struct TDeviceLink {
    std::string deviceNamespace;  // the device's namespace, for RunIn()
    std::string hostInterface;    // the link's end in the process's namespace
    std::string deviceInterface;  // the link's end in the device's namespace
};

// Device namespaces linked to the (isolated) process namespace by veth pairs.
// Every change it makes is undone, newest first, when it is destroyed.
// Failing commands raise std::runtime_error with the command's output.
class TNetnsLab {
public:
    TNetnsLab() = default;
    ~TNetnsLab();
    TNetnsLab(const TNetnsLab&) = delete;
    TNetnsLab& operator=(const TNetnsLab&) = delete;

    // A new, empty network namespace with its loopback up; returns its name.
    std::string AddNamespace();

    // A veth pair from the process namespace into `deviceNamespace`, both
    // ends up; addresses in CIDR form, e.g. "10.0.0.5/24" on the host end,
    // "10.0.0.77/24" inside. One namespace may hold several links.
    TDeviceLink AddLink(const std::string& deviceNamespace, const std::string& hostAddress,
                        const std::string& deviceAddress);

    // AddLink() into a new namespace of its own.
    TDeviceLink AddDevice(const std::string& hostAddress, const std::string& deviceAddress);

    // `ip addr add` on an interface of the process namespace ("lo" too);
    // `options` is appended as is, e.g. "preferred_lft 0" or "nodad".
    void AddAddress(const std::string& interface, const std::string& address, const std::string& options = {});
    void RemoveAddress(const std::string& interface, const std::string& address);
    void SetLinkUp(const std::string& interface, bool up);

    // Runs `work` on the calling thread inside the device namespace, then
    // returns the thread to the namespace it was in, also on an exception.
    // Sockets made inside stay in the device namespace.
    static void RunIn(const std::string& deviceNamespace, const std::function<void()>& work);

    // Runs "ip <arguments>" in the process namespace; raises on failure.
    static void Ip(const std::string& arguments);

private:
    std::vector<std::string> undo_;  // `ip` arguments, run newest first
    int namespaces_ = 0;
    int links_ = 0;
};
