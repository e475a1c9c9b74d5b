#include "analysers/analysers.h"

namespace tarnwick {

void AnalyseAC3(Analysis&, int, int, int) {}

} // namespace tarnwick
