#pragma once

#include <string>
#include <system_error>

// A failed operating-system query. what() reads "System Error.  Code: <number>.",
// a line break and the system's text for that number.
class TOSError : public std::system_error {
public:
    explicit TOSError(int errorCode);
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};
