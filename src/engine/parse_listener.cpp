#include "engine/parse_listener.h"

namespace tarnwick {

ParseListeners::ParseListeners(std::initializer_list<ParseListener*> listeners) {
    for (ParseListener* l : listeners)
        add(l);
}

void ParseListeners::add(ParseListener* listener) {
    if (listener) listeners_.push_back(listener);
}

void ParseListeners::clipStarts(size_t clip) {
    for (ParseListener* l : listeners_)
        l->clipStarts(clip);
}

void ParseListeners::streamFound(const FoundStream& s) {
    for (ParseListener* l : listeners_)
        l->streamFound(s);
}

void ParseListeners::payload(const PayloadPiece& p) {
    for (ParseListener* l : listeners_)
        l->payload(p);
}

void ParseListeners::systemHeader(const SystemHeaderInfo& h) {
    for (ParseListener* l : listeners_)
        l->systemHeader(h);
}

void ParseListeners::copyControl(const CopyControlReport& c) {
    for (ParseListener* l : listeners_)
        l->copyControl(c);
}

void ParseListeners::dataSearchInfo(const DsiReport& d) {
    for (ParseListener* l : listeners_)
        l->dataSearchInfo(d);
}

} // namespace tarnwick
