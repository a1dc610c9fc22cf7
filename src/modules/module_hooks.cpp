#include "modules/module_hooks.h"

#include "core/machine.h"

namespace quorvel {

void runModuleHooks(Machine& machine, int cycles) {
    // The part models add their calls here in the order above.
    (void)machine;
    (void)cycles;
}

} // namespace quorvel
