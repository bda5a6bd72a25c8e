// gen_enums.cpp: writes the Python module nivra.enums from libnvra's registry: the enumerations
// of include/nvra_enums.def and the ENUM_OF rows of src/core/controls.def. Run by the build
// (src/_nivra/CMakeLists.txt); exits with status 1 and a message when the registry does not
// hold together, so that a row missing or misspelt stops the build.
//
//     gen_enums <output file>
#include "core/controls.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

struct Enumeration {
    const char *name, *kind, *doc;
};
struct Value {
    const char *cls, *name;
    long long value;
    const char *doc;
};
struct Use {
    int id;
    const char *cls;
};

const Enumeration kEnumerations[] = {
#define NVRA_ENUM(cls, kind, doc) {#cls, #kind, doc},
#include "nvra_enums.def"
};
const Value kValues[] = {
#define NVRA_CVALUE(cls, name, value, cname, doc) {#cls, #name, value, doc},
#define NVRA_VALUE(cls, name, value, doc) {#cls, #name, value, doc},
#include "nvra_enums.def"
};
const Use kUses[] = {
#define ENUM_OF(k, cls) {nvra::k, #cls},
#include "core/controls.def"
};

int failures = 0;

void fail(const std::string &what) {
    std::fprintf(stderr, "gen_enums: %s\n", what.c_str());
    ++failures;
}

const nvra::CaEntry *entryOf(int id) {
    for (const nvra::CaEntry &e : nvra::kRegistry)
        if (e.id == id) return &e;
    return nullptr;
}

bool isEnumeration(const char *cls) {
    for (const Enumeration &e : kEnumerations)
        if (!std::strcmp(e.name, cls)) return true;
    return false;
}

int usesOf(int id) {
    int n = 0;
    for (const Use &u : kUses)
        n += u.id == id;
    return n;
}

// Every enumerated registry row names one enumeration, which exists, has values, and (for a
// control) only values the control accepts.
void check() {
    for (const nvra::CaEntry &e : nvra::kRegistry)
        if ((e.flags & NVRA_CA_ENUM) && usesOf(e.id) != 1)
            fail(std::string("the row of ") + e.name + " needs exactly one ENUM_OF");
    for (const Use &u : kUses) {
        const nvra::CaEntry *e = entryOf(u.id);
        if (!e || !(e->flags & NVRA_CA_ENUM) || e->type != nvra::CaType::Int)
            fail("ENUM_OF(" + std::to_string(u.id) + ", " + u.cls +
                 ") belongs to no integer row flagged NVRA_CA_ENUM");
        if (!isEnumeration(u.cls)) fail(std::string("no enumeration ") + u.cls);
    }
    for (const Enumeration &c : kEnumerations) {
        int n = 0;
        for (const Value &v : kValues) {
            if (std::strcmp(v.cls, c.name)) continue;
            ++n;
            for (const Use &u : kUses) {
                const nvra::CaEntry *e = entryOf(u.id);
                if (!e || std::strcmp(u.cls, c.name) || !(e->flags & NVRA_CA_CONTROL)) continue;
                const long long lower = std::strcmp(c.kind, "IntFlag") ? e->intLower : 0;
                if (v.value < lower || v.value > e->intUpper)
                    fail(std::string(c.name) + "." + v.name + " is out of the range of " + e->name);
            }
        }
        if (n == 0) fail(std::string("enumeration ") + c.name + " has no values");
    }
    for (const Value &v : kValues)
        if (!isEnumeration(v.cls)) fail(std::string("value ") + v.name + " of no enumeration");
}

// text as lines of at most 96 columns indented by four blanks (breaking at blanks).
std::string wrapped(const std::string &text) {
    std::string out, line;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find(' ', pos);
        if (end == std::string::npos) end = text.size();
        const std::string word = text.substr(pos, end - pos);
        if (!line.empty() && 4 + line.size() + 1 + word.size() > 96) {
            out += line + "\n    ";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
        pos = end + 1;
    }
    return out + line;
}

// The docstring: the enumeration's description, then the entries it names.
std::string docstring(const Enumeration &c) {
    std::string uses;
    for (const Use &u : kUses) {
        if (std::strcmp(u.cls, c.name)) continue;
        const nvra::CaEntry *e = entryOf(u.id);
        uses += std::string(uses.empty() ? "" : ", ") + e->name + " (" +
                (e->flags & NVRA_CA_CONTROL ? "control " : "attribute ") + std::to_string(e->id) +
                ")";
    }
    std::string doc = c.doc;
    if (!doc.empty() && !uses.empty()) doc += "\n\n    ";
    // An enumeration of no control or attribute (the callback kinds) has its description only.
    const std::string text = uses.empty() ? wrapped(doc) : doc + wrapped("Values of " + uses + ".");
    return text.find('\n') == std::string::npos ? text : text + "\n    ";
}

void write(FILE *out) {
    std::fputs(R"("""Named values of the optimizer's enumerated controls and attributes.

Integer controls and attributes whose values have names come back from ``getControl``,
``getAttrib``, ``p.controls`` and ``p.attributes`` as members of these classes. The members are
``IntEnum`` (or ``IntFlag`` for bit sets), so they compare equal to plain ints and can be passed
wherever an int is accepted::

    status = p.attributes.solstatus
    if status == nivra.enums.SolStatus.OPTIMAL:
        ...

Generated by the build from the optimizer's registry (libnvra/include/nvra_enums.def and the
ENUM_OF rows of libnvra/src/core/controls.def): change those, not this file.
"""

from enum import IntEnum, IntFlag

__all__ = [
)",
               out);
    for (const Enumeration &c : kEnumerations)
        std::fprintf(out, "    \"%s\",\n", c.name);
    std::fputs("]\n", out);
    for (const Enumeration &c : kEnumerations) {
        std::fprintf(out, "\n\nclass %s(%s):\n    \"\"\"%s\"\"\"\n\n", c.name, c.kind,
                     docstring(c).c_str());
        for (const Value &v : kValues) {
            if (std::strcmp(v.cls, c.name)) continue;
            std::fprintf(out, "    %s = %lld%s%s\n", v.name, v.value, *v.doc ? "  # " : "", v.doc);
        }
    }
    std::fputs("\n\n# The class of every enumerated attribute and control, by id.\n_BY_ID = {\n",
               out);
    for (const Use &u : kUses)
        std::fprintf(out, "    %d: %s,\n", u.id, u.cls);
    std::fputs("}\n", out);
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: gen_enums <output file>\n");
        return 2;
    }
    check();
    if (failures) return 1;
    FILE *out = std::fopen(argv[1], "w");
    if (!out) {
        std::perror(argv[1]);
        return 1;
    }
    write(out);
    return std::fclose(out) == 0 ? 0 : 1;
}
