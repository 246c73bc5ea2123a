#include "ui/platform/type_name.h"

#include <string_view>

// MSVC's names are readable already, with a "class " or "struct " prefix.
std::string ReadableTypeName(const std::type_info& type)
{
    std::string_view name = type.name();
    for (const std::string_view prefix : {std::string_view("class "), std::string_view("struct ")}) {
        if (name.starts_with(prefix))
            name.remove_prefix(prefix.size());
    }
    return std::string(name);
}
