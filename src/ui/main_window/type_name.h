#pragma once

#include <string>
#include <typeinfo>

// The C++ name of a type as its source spells it ("TSocketBindError"),
// for error texts.
std::string ReadableTypeName(const std::type_info& type);
