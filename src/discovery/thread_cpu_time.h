#pragma once

#include <chrono>

// The processor time that the calling thread has used so far. On a busy
// machine it grows more slowly than the wall clock: it counts only the
// time slices that the thread was given.
std::chrono::nanoseconds ThreadCpuTime();
