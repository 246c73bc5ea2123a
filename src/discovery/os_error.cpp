#include "discovery/os_error.h"

TOSError::TOSError(int errorCode)
    : std::system_error(errorCode, std::system_category()),
      message_("System Error.  Code: " + std::to_string(errorCode) + ".\n" + code().message())
{
}
