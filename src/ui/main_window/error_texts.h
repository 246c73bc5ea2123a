#pragma once

#include "ui/main_window/error_box.h"

#include <QString>

#include <cstdint>
#include <exception>

// The box shown when the main window cannot be created: two lines, each
// ended by CR LF, "Exception <type> in module <module> at <8 hex digits>."
// and the message, given a closing "." unless it is empty or has one.
TErrorBox StartupErrorBox(const QString& typeName, const QString& moduleName, std::uint32_t address,
                          const QString& message);

// The box shown when an error leaves a click handler: the message of the
// innermost nested cause that has one, with "." added when its last
// character's code is above that of "." (so after a letter or a digit, not
// after ".", "!", ")" or a space).
TErrorBox HandlerErrorBox(const std::exception& error);
