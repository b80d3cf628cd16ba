#include "precision.h"

#include <cfenv>

#include "platform/platform.h"

void precision_setup()
{
    std::fesetenv(FE_DFL_ENV);
    _controlfp(0, 0x30000);  // _PC_64 under _MCW_PC
}
