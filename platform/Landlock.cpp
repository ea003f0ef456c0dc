#include "platform/Landlock.h"

#include <linux/landlock.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace tessarel {

int LandlockAbi() {
    const long abi = ::syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
    return abi > 0 ? static_cast<int>(abi) : 0;
}

} // namespace tessarel
