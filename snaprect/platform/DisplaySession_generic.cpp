#include "DisplaySession.h"

// Windows and macOS always have their one window system.
QString DisplaySession::unreachable()
{
    return {};
}
