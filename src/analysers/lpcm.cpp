#include "analysers/analysers.h"

namespace tarnwick {

void AnalyseLPCM(Analysis&, int, int) {}

} // namespace tarnwick
