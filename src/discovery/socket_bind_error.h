#pragma once

#include <stdexcept>

// The listener could not bind its port, whatever the socket layer's reason.
class TSocketBindError : public std::runtime_error {
public:
    TSocketBindError() : std::runtime_error("Could not bind socket. Address and port are already in use.") {}
};
