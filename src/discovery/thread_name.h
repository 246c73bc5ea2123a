#pragma once

#include <string>

// Names the calling thread for debuggers and system tools. Platforms that
// limit the length (Linux: 15 bytes) get `compactName`, cut to fit.
void NameCurrentThread(const std::string& name, const std::string& compactName);
