// copy.cpp: copying problems and controls.
#include "store/store.h"

using namespace nvra;

extern "C" {

int NVRAcopyprob(NVRAprob dest, NVRAprob src, const char *probname) {
    const char *fn = "NVRAcopyprob";
    return storeEdit(dest, fn, [&] {
        if (int rc = checkProb(src))
            return probError(dest, rc, "%s: the source problem handle is invalid", fn);
        if (probname && *probname && !validUtf8(probname))
            return probError(dest, NVRA_RC_INVALID, "%s: the problem name is not valid UTF-8", fn);
        if (src == dest) {
            if (probname && *probname) dest->model.probName = probname;
            return 0;
        }
        Model model = src->model; // copied first: dest changes only when nothing can fail
        ControlValues controls = src->controls;
        if (probname && *probname) model.probName = probname;
        dest->model = std::move(model);
        modelReplaced(dest);
        dest->controls = std::move(controls);
        return 0;
    });
}

} // extern "C"
