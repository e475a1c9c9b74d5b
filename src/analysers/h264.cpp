#include "analysers/analysers.h"

namespace tarnwick {

void AnalyseH264(Analysis&, int, int, int) {}

} // namespace tarnwick
