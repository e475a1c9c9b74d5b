#include "analysers/analysers.h"

namespace tarnwick {

void AnalyseMPEG2(Analysis&, int, int, uint32_t, int) {}

} // namespace tarnwick
