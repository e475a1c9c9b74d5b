#include "analysers/analysers.h"

namespace tarnwick {

void AnalyseDTS(Analysis&, int, int) {}

} // namespace tarnwick
