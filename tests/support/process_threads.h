#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The names of this process's threads as the system shows them (Linux:
// /proc/self/task/*/comm), e.g. to see which receiving threads still run.
std::vector<std::string> ThreadNames();

// How many of them belong to the listener named IdUDPServer1 (each of its
// threads' names starts with the listener's).
std::ptrdiff_t ListenerThreads();
