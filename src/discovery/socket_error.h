#pragma once

#include <string>
#include <system_error>

// A failed socket call. what() reads "Socket Error # <number>", a line break
// and the system's text for that number; code().value() keeps the number.
class TSocketError : public std::system_error {
public:
    explicit TSocketError(int errorNumber);
    const char* what() const noexcept override { return message_.c_str(); }
    int ErrorNumber() const noexcept { return code().value(); }

private:
    std::string message_;
};
