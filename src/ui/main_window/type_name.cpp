#include "ui/main_window/type_name.h"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>

// Every compiler the program is built with (GCC, Clang, MinGW-w64's GCC)
// names types by the Itanium C++ ABI, whose mangled names the runtime
// reads back; a name it cannot read is given as it is.
std::string ReadableTypeName(const std::type_info& type)
{
    int status = 0;
    const std::unique_ptr<char, decltype(&std::free)> demangled(
        abi::__cxa_demangle(type.name(), nullptr, nullptr, &status), &std::free);
    return status == 0 && demangled ? std::string(demangled.get()) : std::string(type.name());
}
