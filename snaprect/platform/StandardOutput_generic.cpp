#include "StandardOutput.h"

bool standardOutputWasClosed()
{
    return false;
}
