#include "analysers/analysers.h"

namespace tarnwick {

void AnalyseVC1(Analysis&, int, int, int) {}

} // namespace tarnwick
