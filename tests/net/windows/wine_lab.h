#pragma once

#include "not_run.h"

#include <QtGlobal>
#include <QTest>

#include <windows.h>

#include <string>
#include <vector>

// Windows tests that need namespaces run under Wine inside the ones that
// tests/windows/wine_lab.sh makes for each test; it announces them in
// QUORVEL_WINE_LAB and the addresses it set up in further QUORVEL_* variables.

inline std::string LabSetting(const char* name)
{
    return qEnvironmentVariable(name).toStdString();
}

inline std::vector<std::string> LabList(const char* name)
{
    std::vector<std::string> items;
    for (const QString& item : qEnvironmentVariable(name).split(u',', Qt::SkipEmptyParts))
        items.push_back(item.toStdString());
    return items;
}

// Wine's ntdll exports its version; Windows' does not.
inline bool RunningUnderWine()
{
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// In initTestCase(): without the lab a test does not run here, saying why
// (not_run.h).
#define QUORVEL_REQUIRE_WINE_LAB()                                               \
    do {                                                                         \
        if (qEnvironmentVariableIsEmpty("QUORVEL_WINE_LAB"))                     \
            QUORVEL_NOT_RUN("needs the Wine lab of tests/windows/wine_lab.sh");  \
    } while (false)
