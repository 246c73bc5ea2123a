#include "discovery/socket_error.h"

// system_category() gives strerror's text on POSIX and FormatMessage's on
// Windows, where Winsock's error numbers are system error codes too.
TSocketError::TSocketError(int errorNumber)
    : std::system_error(errorNumber, std::system_category()),
      message_("Socket Error # " + std::to_string(errorNumber) + "\n" + code().message())
{
}
