#pragma once

#include <string>
#include <vector>

// The names of this process's threads as the system shows them (Linux:
// /proc/self/task/*/comm), e.g. to see which receiving threads still run.
std::vector<std::string> ThreadNames();
