// messages.cpp: the problem's message settings: which of the library's notices are shown, a
// dump of the controls that differ from their defaults, and the engine's log file.
#include "store/store.h"

#include <string>

namespace nvra {
namespace {

// "name = value" of a control whose value differs from its default, or an empty text.
std::string changedControl(const ControlValues &c, const CaEntry &e) {
    switch (e.type) {
    case CaType::Int:
        if (c.ints[e.slot] == e.intDefault) return {};
        return std::string(e.name) + " = " + std::to_string(c.ints[e.slot]);
    case CaType::Double:
        if (c.dbls[e.slot] == e.dblDefault) return {};
        return std::string(e.name) + " = " + numberText(c.dbls[e.slot]);
    default:
        if (c.strs[e.slot] == e.strDefault) return {};
        return std::string(e.name) + " = \"" + c.strs[e.slot] + "\"";
    }
}

} // namespace
} // namespace nvra

using namespace nvra;

extern "C" {

int NVRAgetmessagestatus(NVRAprob prob, int msgcode, int *status) {
    return storeQuery(prob, "NVRAgetmessagestatus", [&] {
        if (!status) return probError(prob, NVRA_RC_INVALID, "NVRAgetmessagestatus: null status");
        const auto it = prob->messageStatus.find(msgcode);
        *status = it == prob->messageStatus.end() ? 1 : it->second;
        return 0;
    });
}

int NVRAsetmessagestatus(NVRAprob prob, int msgcode, int status) {
    return sideEdit(prob, "NVRAsetmessagestatus", [&] {
        if (status != 0 && status != 1)
            return probError(prob, NVRA_RC_INVALID,
                             "NVRAsetmessagestatus: status %d: 0 (suppressed) or 1 (shown)",
                             status);
        if (status == 1)
            prob->messageStatus.erase(msgcode);
        else
            prob->messageStatus[msgcode] = 0;
        return 0;
    });
}

int NVRAdumpcontrols(NVRAprob prob) {
    return storeQuery(prob, "NVRAdumpcontrols", [&] {
        if (prob->controls.ints[intSlot::kCtrlOutputLog] == NVRA_OUTPUT_NONE) return 0;
        for (const CaEntry &e : kRegistry) {
            if (!(e.flags & NVRA_CA_CONTROL) || e.slot < 0) continue;
            const std::string line = changedControl(prob->controls, e);
            if (!line.empty()) probMessage(prob, line.c_str(), 1);
        }
        return 0;
    });
}

int NVRAsetlogfile(NVRAprob prob, const char *filename) {
    if (int rc = enterProbEdit(prob)) return rc;
    if (!filename) return probError(prob, NVRA_RC_INVALID, "NVRAsetlogfile: null file name");
    return NVRAsetstrcontrol(prob, kCtrlLogFile, filename);
}

} // extern "C"
