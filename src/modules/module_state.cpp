#include "modules/module_state.h"

namespace quorvel {

void resetModulesOnCpuReset(ModuleState& modules) { lcdResetCpu(modules.lcd); }

void resetModulesOnRunStart(ModuleState& modules) { modules.ledDigitMemory.fill(0); }

} // namespace quorvel
