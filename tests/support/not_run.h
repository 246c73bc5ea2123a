#pragma once

#include <cstdio>
#include <string>

// A test or benchmark that cannot run here (no root for its namespaces, no
// IPv6 in the kernel, a tool missing, no Wine lab) says why and exits with
// NotRunStatus, which ctest reports as "Not Run". The number is CMake's
// QUORVEL_NOT_RUN_STATUS, ctest's SKIP_RETURN_CODE for every test. Whether a
// test that did not run is acceptable is for the caller to judge:
// scripts/test.sh fails CI on it. The shell tests' counterpart is
// tests/support/not_run.sh.
inline constexpr int NotRunStatus = QUORVEL_NOT_RUN_STATUS;

// Why the run, or part of it, could not run here; empty when all of it ran.
inline std::string& NotRunReason()
{
    static std::string reason;
    return reason;
}

// Prints why and answers NotRunStatus: the exit status of a benchmark or
// test that stops here.
inline int NotRun(const std::string& why)
{
    std::printf("not run: %s\n", why.c_str());
    std::fflush(stdout);
    return NotRunStatus;
}

// The exit status of a Qt test from QTest::qExec's: a run that otherwise
// passed but skipped something through QUORVEL_NOT_RUN did not run in full.
// A failure stays a failure.
inline int TestExitStatus(int qExecStatus)
{
    if (qExecStatus != 0 || NotRunReason().empty())
        return qExecStatus;
    return NotRun(NotRunReason());
}

// In a Qt test function (initTestCase() for the whole test): records why and
// skips. The first reason is the one reported.
#define QUORVEL_NOT_RUN(why)                           \
    do {                                               \
        const std::string whyNotRun = (why);           \
        if (NotRunReason().empty())                    \
            NotRunReason() = whyNotRun;                \
        QSKIP(whyNotRun.c_str());                      \
    } while (false)

// QTEST_APPLESS_MAIN, answering NotRunStatus as above.
#define QUORVEL_APPLESS_TEST_MAIN(TestObject)                      \
    int main(int argc, char** argv)                                \
    {                                                              \
        TestObject test;                                           \
        QTEST_SET_MAIN_SOURCE_PATH                                 \
        return TestExitStatus(QTest::qExec(&test, argc, argv));    \
    }
