#include "engine/feature_plan.h"

#include "app/paths.h"
#include "engine/files.h"

namespace tarnwick {

FeaturePlan planFeature(WindowState& w) {
    FeaturePlan plan;
    w.paths.EVObase = CutExt(w.paths.EVOname);
    if (!w.options.cbContinue) return plan;
    plan.second = getsecond(w.eEVOfile, fileExists);
    if (plan.continues()) w.paths.EVObase.append("_").append(CutExt(fileNamePart(plan.second)));
    return plan;
}

std::string continueOnLine(const std::string& second) {
    return "Continue on [b]" + fileNamePart(second) + "[/b]";
}

} // namespace tarnwick
