// names.cpp: names of rows, columns and sets, default names, lookup by name.
// Work area STORE. The definitions below are placeholders that fail with
// NVRA_RC_UNSUPPORTED until the area replaces them.
#include "problem.h"

namespace nvra {

// The representation of a name list is the store's to choose (compact for millions of entries);
// only the lifetime members are defined so far, so that problems can be created and destroyed.
struct NameList::Impl {};

NameList::NameList() : impl_(nullptr) {}
NameList::~NameList() { delete impl_; }
NameList::NameList(const NameList &other) : impl_(other.impl_ ? new Impl(*other.impl_) : nullptr) {}
NameList &NameList::operator=(const NameList &other) {
    if (this != &other) {
        Impl *copy = other.impl_ ? new Impl(*other.impl_) : nullptr;
        delete impl_;
        impl_ = copy;
    }
    return *this;
}

} // namespace nvra

using namespace nvra;

extern "C" {

int NVRAaddnames(NVRAprob prob, int, const char[], int, int) {
    return notImplemented(prob, "NVRAaddnames");
}
int NVRAaddsetnames(NVRAprob prob, const char[], int, int) {
    return notImplemented(prob, "NVRAaddsetnames");
}
int NVRAgetnamelist(NVRAprob prob, int, char[], int, int *, int, int) {
    return notImplemented(prob, "NVRAgetnamelist");
}
int NVRAgetnames(NVRAprob prob, int, char[], int, int) {
    return notImplemented(prob, "NVRAgetnames");
}
int NVRAgetindex(NVRAprob prob, int, const char *, int *) {
    return notImplemented(prob, "NVRAgetindex");
}

} // extern "C"
