#include "StandardOutput.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

bool standardOutputWasClosed()
{
    if (fcntl(STDOUT_FILENO, F_GETFD) != -1 || errno != EBADF)
        return false;
    // The lowest free descriptor: this one, or standard input's when that is
    // closed too, and then both stay on the null device.
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0 && null != STDOUT_FILENO)
        dup2(null, STDOUT_FILENO);
    if (null > STDOUT_FILENO)
        close(null);
    return true;
}
