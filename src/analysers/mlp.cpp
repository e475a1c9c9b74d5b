#include "analysers/analysers.h"

namespace tarnwick {

void AnalyseMLP(Analysis&, int, int) {}

} // namespace tarnwick
