// api/member.h: the calling convention of the optimizer API methods of nivra.problem, written
// once. A member is described by the library function it calls and one descriptor per argument
// of that function after the handle, in the function's order; the Python parameters are the
// visible descriptors in the same order. The driver apiMember then does what every member does:
// check the problem, parse (current keyword names, then the old ones with a deprecation
// warning), refuse required arrays given as None, convert indices, ranges and arrays in
// parameter order (parallel arrays share one length per group), size the outputs (asking the
// library for their sizes first when needed), call the library in the call frame, write the
// outputs into the caller's lists, and return the scalar results or None. Every temporary array
// is owned by its descriptor and freed on every path.
//
// Descriptors:
//   Count<G>, Count64<G>      the length of group G (hidden)
//   CountOrAll<G>             the same, -1 when no array of group G was given (hidden)
//   In<K, G>                  an array of kind K in group G (G = -1: a group of its own)
//   InOpt<K, G>               the same where None passes a null array (the library's default)
//   InEnded<K, G>             an array of group G followed by an end mark 0, so that the library,
//                             which reads a formula's tokens up to its end token, stops inside it
//   InFixed<K, N>             an array of exactly N elements, or None (a null array)
//   InBlocks<K, G, N>         an array of group G holding whole blocks of N elements;
//                             BlockCount<G, N> is the number of blocks
//   InFull<K, Of>             an array read by the row (Of = kElemRow) or column count
//   InStarts<G, Of, K, Opt>   the starts (kind K: 64-bit or int) of group G's entries plus the
//                             end, into group Of; with Opt None is accepted when the entries are
//                             formulas of an InEnded token group Of, each ending at its end token
//   Idx<K>                    one index of kind K
//   CutIdx                    one cut of the cut pool (nivra.poolcut)
//   Int<D>, Long<D>, Dbl<D>, Str, StrOpt, Char, Flag   scalars ('i', 'L', 'd', 's', 'z', 'C',
//                             'p')
//   Opt<K>                    one value of kind K passed by pointer; None passes a null pointer
//   First<K>, Last<K>         an inclusive range of entries of kind K (objects or indices);
//                             omitted or None: the first and the last entry
//   FirstI<A>, LastI<A>       the same parsed as ints, the entries counted by attribute A
//   Names                     a packed name list for the range given by First/Last
//   Out<K, Size>              an output list of kind K; Size: SzRange (one per entry of the
//                             range), SzStarts (one more), SzRows, SzCols, SzOrigRows,
//                             SzOrigCols, SzCount<attribute>, SzGroup<G>, SzGroupStarts<G> (one
//                             more than group G), SzIn<G> (one per element of input group G),
//                             SzInStarts<G> (one more than input group G),
//                             SzUpToMax<G> (up to the caller's Max<G>, without a size query),
//                             SzFixed<N>
//   RetList<K, Size>          an output array returned by the method as a new list (hidden)
//   RetText<Size>             an output text buffer returned by the method as a str (hidden)
//   Room<G>                   the number of entries the outputs of group G hold (hidden)
//   OutCount<G, T, Ret>       the number of entries the library reports for group G (hidden;
//                             returned by the method when Ret); with SzGroup outputs the
//                             driver asks for the sizes first
//   Max<G, T>                 the caller's buffer size for group G (entries beyond it are not
//                             delivered; 0 asks for counts only)
//   RetDbl, RetInt            a scalar result (hidden), returned by the method
//   SolveCb, SolveCbData      a solve callback and its data (None when omitted): the library
//                             gets the trampoline and an entry made for the call
//   JobObject                 the object the library keeps with a multistart job
//
// A member row (in a .def file, see CONTRIBUTING.md):
//   NVR_API(chgbounds, NVRAchgbounds, 3, ("colind", "bndtype", "bndval"),
//           ("mindex", "qbtype", "bnd"), "chgbounds(colind, bndtype, bndval)\n\n...",
//           Count<0>, In<kElemCol, 0>, In<kElemChar, 0>, In<kElemDouble, 0>)
// The number is how many parameters are required; the old-name list is () when the names never
// changed, and otherwise holds one name per parameter. A member whose library function takes the
// nonlinear handle (NSLPprob) is refused on a problem without the nonlinear solver.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <array>
#include <climits>
#include <cstdint>
#include <string>
#include <tuple>
#include <utility>

#include "api/convert.h"
#include "api/methods.h"
#include "callbacks/entry.h"
#include "callbacks/trampolines.h"
#include "problem/problem.h"
#include "problem/problib.h"
#include "runtime/args.h"
#include "runtime/calllib.h"
#include "runtime/env.h"

namespace nvapi {

// The state of one call of a member.
struct Call {
    problem_s *p;
    const char *const *kw;
    int64_t group[4] = {-1, -1, -1, -1};
    int64_t max[4] = {-1, -1, -1, -1};
    int first = 0, last = -1;
    bool firstGiven = false, lastGiven = false;
    bool querying = false;        // the call that asks for the sizes: outputs are null
    PyObject *callable = nullptr; // the callback parameter (SolveCb), for its SolveCbData
    int countIds[4] = {0, 0, 0, 0};
    int countValues[4] = {0, 0, 0, 0};
    const int *tokenTypes = nullptr; // the token types of a formula argument (InEnded of ints)

    // An integer attribute that counts entries (rows, columns, sets, ...), read once per call.
    // -1 with an exception.
    int64_t count(int attrib) {
        int k = 0;
        for (; k < 4 && countIds[k]; ++k)
            if (countIds[k] == attrib) return countValues[k];
        if (problem_intAttrib(p, attrib, &countValues[k % 4]) != 0) return -1;
        countIds[k % 4] = attrib;
        return countValues[k % 4];
    }
    // Settles a range after its ends were parsed: an end not given is the first (0) or the
    // last entry counted by attrib. 0 or -1.
    int settleRange(int attrib) {
        if (!firstGiven) first = 0;
        if (lastGiven) return 0;
        const int64_t n = count(attrib);
        if (n < 0) return -1;
        last = static_cast<int>(n) - 1;
        return 0;
    }
};

// The attribute that counts the entries an index kind refers to.
constexpr int countAttrOf(int kind) {
    return kind == kElemRow ? NVRA_ATTR_ROWS : kind == kElemSet ? NVRA_ATTR_SETS : NVRA_ATTR_COLS;
}

// ---- descriptors --------------------------------------------------------------------------------

// What a descriptor does not do (each step: 0 or -1 with an exception).
struct Step {
    static constexpr char code = 0;        // parse code; 0 for hidden arguments
    static constexpr bool arrayIn = false; // an input array (for the missing-argument check)
    static constexpr bool needsQuery = false;
    static constexpr bool returns = false;
    std::tuple<> parsePtr() { return {}; }
    bool isNone() const { return false; }
    int prepare(Call &, int) { return 0; } // indices, ranges, scalars
    int convert(Call &, int) { return 0; } // arrays and names
    int size(Call &) { return 0; }         // outputs, before the call
    void after(Call &) {}                  // after every library call
    int deliver(Call &) { return 0; }      // outputs, after the final call
};

template <char C, class T> struct Scalar : Step {
    static constexpr char code = C;
    T v;
    std::tuple<T *> parsePtr() { return {&v}; }
    T arg(Call &) const { return v; }
};

template <int D = 0> struct Int : Scalar<'i', int> {
    Int() { v = D; }
};
template <long long D = 0> struct Long : Scalar<'L', long long> {
    Long() { v = D; }
    int64_t arg(Call &) const { return v; }
};
template <double D = 0.0> struct Dbl : Scalar<'d', double> {
    Dbl() { v = D; }
};
struct Str : Scalar<'s', const char *> {
    Str() { v = nullptr; }
};
struct StrOpt : Scalar<'z', const char *> {
    StrOpt() { v = nullptr; }
};
struct Char : Scalar<'C', int> {
    Char() { v = 0; }
    char arg(Call &) const { return static_cast<char>(v); }
};
struct Flag : Scalar<'p', int> {
    Flag() { v = 0; }
};

// A parameter parsed as an object.
struct ObjParam : Step {
    static constexpr char code = 'O';
    PyObject *obj = nullptr;
    std::tuple<PyObject **> parsePtr() { return {&obj}; }
    bool isNone() const { return obj == Py_None; }
    bool given() const { return obj && obj != Py_None; }
};

template <int G> struct Count : Step {
    int arg(Call &c) const { return c.group[G] > 0 ? static_cast<int>(c.group[G]) : 0; }
};
template <int G> struct Count64 : Step {
    int64_t arg(Call &c) const { return c.group[G] > 0 ? c.group[G] : 0; }
};

// The length of group G, or -1 when none of its arrays was given (the library then selects by
// other arguments, e.g. cuts by type).
template <int G> struct CountOrAll : Step {
    int arg(Call &c) const { return c.group[G] >= 0 ? static_cast<int>(c.group[G]) : -1; }
};

template <int K, int G = -1> struct In : ObjParam {
    static constexpr bool arrayIn = true;
    ConvArray<K> arr;
    int64_t own = -1;
    int convert(Call &c, int pos) {
        return conv_obj2arr<K>(c.p, G >= 0 ? &c.group[G] : &own, obj, arr, c.kw[pos]);
    }
    const ElemType<K> *arg(Call &) const { return arr.get(); }
};

// An array the library may also take as null (its default values).
template <int K, int G = -1> struct InOpt : In<K, G> { static constexpr bool arrayIn = false; };

// An array of group G and one more element, 0: the token arrays of formulas, which the library
// reads up to an end token (0); the group counts the caller's elements.
template <int K, int G> struct InEnded : In<K, G> {
    int convert(Call &c, int pos) {
        if (In<K, G>::convert(c, pos) != 0) return -1;
        const int64_t n = c.group[G] > 0 ? c.group[G] : 0;
        if (this->arr.data.alloc(static_cast<size_t>(n) + 1) != 0) return -1;
        this->arr[n] = ElemType<K>{};
        if constexpr (K == kElemInt) c.tokenTypes = this->arr.get();
        return 0;
    }
};

// An array of exactly N elements (the library reads N), or None: a null array.
template <int K, int N> struct InFixed : ObjParam {
    ConvArray<K> arr;
    int64_t own = N;
    int convert(Call &c, int pos) { return conv_obj2arr<K>(c.p, &own, obj, arr, c.kw[pos]); }
    const ElemType<K> *arg(Call &) const { return arr.get(); }
};

// An array of group G made of whole blocks of N elements (tolerance sets); BlockCount<G, N> is
// the number of blocks.
template <int K, int G, int N> struct InBlocks : In<K, G> {
    int convert(Call &c, int pos) {
        if (In<K, G>::convert(c, pos) != 0) return -1;
        if (c.group[G] % N == 0) return 0;
        PyErr_Format(nvy_interf_exc,
                     "Argument '%s' must hold whole blocks of %d values, but has %lld values",
                     c.kw[pos], N, static_cast<long long>(c.group[G]));
        return -1;
    }
};
template <int G, int N> struct BlockCount : Step {
    int arg(Call &c) const { return c.group[G] > 0 ? static_cast<int>(c.group[G] / N) : 0; }
};

template <int K, int Of> struct InFull : ObjParam {
    static constexpr bool arrayIn = true;
    ConvArray<K> arr;
    int convert(Call &c, int pos) {
        const int64_t n = c.count(countAttrOf(Of));
        if (n < 0) return -1;
        return conv_obj2arr_full<K>(c.p, obj, arr, n, c.kw[pos],
                                    Of == kElemRow ? "rows" : "columns");
    }
    const ElemType<K> *arg(Call &) const { return arr.get(); }
};

// The start of each entry of group G plus the end: group G's count + 1 entries (kind K: 64-bit
// or 32-bit), none beyond the length of the group Of that they index (the library reads that
// far). With Opt, None is accepted where the entries are formulas of group Of's token types
// (InEnded), each read up to its end token: those must hold an end token per entry.
template <int G, int Of, int K = kElemInt64, bool Opt = false> struct InStarts : ObjParam {
    static constexpr bool arrayIn = !Opt;
    ConvArray<K> arr;
    int64_t own = -1;
    const char *name = nullptr;
    // User-provided: the driver's tuple of descriptors left `own` at 0 without it (measured).
    InStarts() {}
    int convert(Call &c, int pos) {
        name = c.kw[pos];
        return conv_obj2arr<K>(c.p, &own, obj, arr, name);
    }
    int size(Call &c) {
        const int64_t n = c.group[G] > 0 ? c.group[G] : 0;
        const int64_t listed = c.group[Of] > 0 ? c.group[Of] : 0;
        if (Opt && !arr.get()) return endTokens(c, n, listed);
        const int64_t have = own > 0 ? own : 0;
        if (have != n + 1) {
            PyErr_Format(nvy_interf_exc,
                         "Argument '%s' must have one element per entry plus one (%lld), but has "
                         "%lld",
                         name, static_cast<long long>(n + 1), static_cast<long long>(have));
            return -1;
        }
        int64_t needed = 0;
        for (int64_t k = 0; k <= n; ++k)
            needed = arr[k] > needed ? arr[k] : needed;
        if (needed <= listed) return 0;
        PyErr_Format(nvy_interf_exc,
                     "The lists indexed by '%s' have %lld elements, but the starts refer to %lld "
                     "of them",
                     name, static_cast<long long>(listed), static_cast<long long>(needed));
        return -1;
    }
    // Without starts each of the n formulas ends at its end token: the token types must hold n
    // of them (the end mark that InEnded adds counts for an unterminated last formula).
    int endTokens(Call &c, int64_t n, int64_t listed) {
        int64_t ends = 0;
        for (int64_t k = 0; c.tokenTypes && k <= listed; ++k)
            ends += c.tokenTypes[k] == 0;
        if (ends >= n) return 0;
        PyErr_Format(nvy_interf_exc,
                     "Without '%s' each formula ends at an end token (type 0): %lld entries, but "
                     "the token types hold %lld formulas",
                     name, static_cast<long long>(n), static_cast<long long>(ends));
        return -1;
    }
    const ElemType<K> *arg(Call &) const { return arr.get(); }
};

// One cut of the cut pool (a nivra.poolcut).
struct CutIdx : ObjParam {
    NVRAcut v = nullptr;
    int prepare(Call &c, int pos) { return conv_obj2cut(obj, &v, c.kw[pos]); }
    NVRAcut arg(Call &) const { return v; }
};

template <int K> struct Idx : ObjParam {
    int v = 0;
    int prepare(Call &c, int) { return ObjInt2int(obj, c.p, &v, K); }
    int arg(Call &) const { return v; }
};

// One value of kind K (an index, an int or a number) handed over by pointer; None (or omitted)
// passes a null pointer, which leaves the library's value as it is.
template <int K> struct Opt : ObjParam {
    ElemType<K> v{};
    int prepare(Call &c, int pos) {
        if (!given()) return 0;
        if constexpr (K == kElemDouble) {
            if (!PyFloat_Check(obj) && !PyLong_Check(obj) && !PyIndex_Check(obj)) {
                PyErr_Format(nvy_interf_exc, "Argument '%s' must be a number or None", c.kw[pos]);
                return -1;
            }
            v = PyFloat_AsDouble(obj);
            return v == -1.0 && PyErr_Occurred() ? -1 : 0;
        } else {
            return ObjInt2int(obj, c.p, &v, K);
        }
    }
    ElemType<K> *arg(Call &) { return given() ? &v : nullptr; }
};

// The ends of a range of entries given as objects or indices of kind K (counted by the
// attribute Attr); an end omitted or None is the first or the last entry. First comes before
// Last in every member.
template <int K, int Attr = countAttrOf(K)> struct First : ObjParam {
    int prepare(Call &c, int) {
        if (!given()) return 0;
        c.firstGiven = true;
        return ObjInt2int(obj, c.p, &c.first, K);
    }
    int arg(Call &c) const { return c.first; }
};
template <int K, int Attr = countAttrOf(K)> struct Last : ObjParam {
    int prepare(Call &c, int) {
        if (given()) {
            c.lastGiven = true;
            if (ObjInt2int(obj, c.p, &c.last, K) != 0) return -1;
        }
        return c.settleRange(Attr);
    }
    int arg(Call &c) const { return c.last; }
};

// The same with the ends parsed as ints ('i').
constexpr int kNotGiven = INT_MIN;
template <int Attr> struct FirstI : Scalar<'i', int> {
    FirstI() { v = kNotGiven; }
    int prepare(Call &c, int) {
        c.firstGiven = v != kNotGiven;
        if (c.firstGiven) c.first = v;
        return 0;
    }
    int arg(Call &c) const { return c.first; }
};
template <int Attr> struct LastI : Scalar<'i', int> {
    LastI() { v = kNotGiven; }
    int prepare(Call &c, int) {
        c.lastGiven = v != kNotGiven;
        if (c.lastGiven) c.last = v;
        return c.settleRange(Attr);
    }
    int arg(Call &c) const { return c.last; }
};

struct Names : ObjParam {
    std::string buf;
    int convert(Call &c, int) { return conv_names2arr(c.p, obj, c.last - c.first + 1, buf); }
    const char *arg(Call &) const { return buf.empty() ? nullptr : buf.data(); }
};

// Output sizes.
struct SzRange {
    static int64_t get(Call &c) { return c.last >= c.first ? int64_t{c.last} - c.first + 1 : 0; }
};
struct SzStarts {
    static int64_t get(Call &c) { return SzRange::get(c) + 1; }
};
template <int Attr> struct SzCount {
    static int64_t get(Call &c) { return c.count(Attr); }
};
using SzRows = SzCount<NVRA_ATTR_ROWS>;
using SzCols = SzCount<NVRA_ATTR_COLS>;
// The original problem's counts (they differ from the above while the problem is presolved).
using SzOrigRows = SzCount<NVRA_ATTR_ORIGINALROWS>;
using SzOrigCols = SzCount<NVRA_ATTR_ORIGINALCOLS>;
// One per element of input group G (outputs parallel to the caller's arrays).
template <int G> struct SzIn {
    static int64_t get(Call &c) { return c.group[G] > 0 ? c.group[G] : 0; }
};
// For libraries that refuse null outputs: room for the caller's buffer size of group G (Max)
// before the call, and the entries the library reported (OutCount) after it; no size query.
template <int G> struct SzUpToMax {
    static int64_t get(Call &c) {
        const int64_t room = c.max[G] > 0 ? c.max[G] : 0;
        return c.group[G] >= 0 && c.group[G] < room ? c.group[G] : room;
    }
};
// One per element of input group G plus one (the starts of its entries and the end).
template <int G> struct SzInStarts {
    static int64_t get(Call &c) { return SzIn<G>::get(c) + 1; }
};
template <int G> struct SzGroup {
    static constexpr bool query = true;
    static int64_t get(Call &c) {
        const int64_t n = c.group[G] > 0 ? c.group[G] : 0;
        return c.max[G] >= 0 && c.max[G] < n ? c.max[G] : n;
    }
};
// One start per entry of group G plus the end.
template <int G> struct SzGroupStarts {
    static constexpr bool query = true;
    static int64_t get(Call &c) { return (c.group[G] > 0 ? c.group[G] : 0) + 1; }
};
template <int N> struct SzFixed {
    static int64_t get(Call &) { return N; }
};
template <class S> constexpr bool sizedByQuery() {
    if constexpr (requires { S::query; })
        return S::query;
    else
        return false;
}

template <int K, class Size> struct Out : ObjParam {
    static constexpr bool needsQuery = sizedByQuery<Size>();
    LibArray<ElemType<K>> data;
    int size(Call &c) {
        if (!given()) return 0;
        const int64_t n = Size::get(c);
        if (n < 0) return -1;
        return data.alloc(static_cast<size_t>(n));
    }
    ElemType<K> *arg(Call &c) const { return c.querying ? nullptr : data.get(); }
    int deliver(Call &c) {
        if (!given()) return 0;
        const int64_t n = Size::get(c);
        if (n < 0) return -1;
        return conv_arr2obj<K>(c.p, n, data.get(), obj);
    }
};

template <int G, class T = int, bool Ret = false> struct OutCount : Step {
    static constexpr bool returns = Ret; // the count is also the method's result
    T v = 0;
    T *arg(Call &) { return &v; }
    void after(Call &c) { c.group[G] = v; }
    PyObject *value(Call &) const { return PyLong_FromLongLong(v); }
};

// An output array that the method returns as a new list.
template <int K, class Size> struct RetList : Step {
    static constexpr bool needsQuery = sizedByQuery<Size>();
    static constexpr bool returns = true;
    LibArray<ElemType<K>> data;
    int size(Call &c) {
        const int64_t n = Size::get(c);
        return n < 0 ? -1 : data.alloc(static_cast<size_t>(n));
    }
    ElemType<K> *arg(Call &c) const { return c.querying ? nullptr : data.get(); }
    PyObject *value(Call &c) const {
        Ref list = Ref::steal(PyList_New(0));
        const int64_t n = data.get() ? Size::get(c) : 0;
        if (!list || n < 0 || conv_arr2obj<K>(c.p, n, data.get(), list.get()) != 0) return nullptr;
        return list.release();
    }
};

// A text that the library writes into a buffer of Size bytes (with its zero; cut when longer),
// returned as a str.
template <class Size> struct RetText : Step {
    static constexpr bool needsQuery = sizedByQuery<Size>();
    static constexpr bool returns = true;
    LibArray<char> data;
    int64_t bytes = 0;
    int size(Call &c) {
        bytes = Size::get(c);
        if (bytes < 0 || data.alloc(static_cast<size_t>(bytes)) != 0) return -1;
        if (bytes > 0) data[0] = 0;
        return 0;
    }
    char *arg(Call &c) const { return c.querying ? nullptr : data.get(); }
    PyObject *value(Call &) const {
        const char *s = data.get() ? data.get() : "";
        const size_t n = data.get() ? strnlen(s, static_cast<size_t>(bytes)) : 0;
        return PyUnicode_DecodeUTF8(s, static_cast<Py_ssize_t>(n), "replace");
    }
};

// The room of the outputs of group G, as the library's buffer size (0 while asking for sizes).
template <int G> struct Room : Step {
    int arg(Call &c) const { return c.querying ? 0 : static_cast<int>(SzGroup<G>::get(c)); }
};

template <int G, char C = 'L', class T = int64_t> struct Max : Step {
    static constexpr char code = C;
    std::conditional_t<C == 'L', long long, int> v = 0;
    std::tuple<decltype(v) *> parsePtr() { return {&v}; }
    int prepare(Call &c, int) {
        c.max[G] = v;
        return 0;
    }
    // After the size query the buffers hold the entries counted then: the library is told no
    // more, so that a model grown meanwhile is refused rather than overrun.
    T arg(Call &c) const {
        const bool sized = !c.querying && c.group[G] >= 0;
        return static_cast<T>(sized && c.group[G] < v ? c.group[G] : v);
    }
};

struct RetDbl : Step {
    static constexpr bool returns = true;
    double v = 0.0;
    double *arg(Call &) { return &v; }
    PyObject *value(Call &) const { return PyFloat_FromDouble(v); }
};
struct RetInt : Step {
    static constexpr bool returns = true;
    int v = 0;
    int *arg(Call &) { return &v; }
    PyObject *value(Call &) const { return PyLong_FromLong(v); }
};

// A solve callback: the callable, checked; the library gets the trampoline.
struct SolveCb : ObjParam {
    int prepare(Call &c, int pos) {
        if (!PyCallable_Check(obj)) {
            PyErr_Format(nvy_interf_exc, "Argument '%s' must be callable", c.kw[pos]);
            return -1;
        }
        c.callable = obj;
        return 0;
    }
    NVRAcbsolve arg(Call &) const { return solvecbTrampoline; }
};
// Its data: the library gets an entry holding the problem, the callable and the data for the
// length of the call, released with the descriptor.
struct SolveCbData : ObjParam {
    Ref entry;
    int prepare(Call &c, int) {
        entry = Ref::steal(cbentry_new(c.p, kSolveCallback, c.callable, obj ? obj : Py_None, 0));
        return entry ? 0 : -1;
    }
    void *arg(Call &) const { return entry.get(); }
};

// Keeps obj alive as long as problem p (api/nonlinear.cpp): 0, or -1 with an exception.
int keepJobObject(problem_s *p, PyObject *obj);

// The object the library keeps with a multistart job and hands to the multistart callbacks.
// The library frees its jobs without telling the module, so the problem keeps the objects of
// its jobs until it goes (copies, which share the library's jobs, keep them too).
struct JobObject : ObjParam {
    // Kept before the call: the library may hold the pointer from the moment it takes the job.
    int prepare(Call &c, int) { return keepJobObject(c.p, obj ? obj : Py_None); }
    void *arg(Call &) const { return obj ? obj : Py_None; }
};

// ---- the driver ---------------------------------------------------------------------------------

template <class... D> struct Params {
    using Tuple = std::tuple<D...>;
    static constexpr size_t size = sizeof...(D);
    static constexpr std::array<char, sizeof...(D) + 1> codes{D::code..., 0};
    static constexpr bool query = (D::needsQuery || ... || false);

    // Position of descriptor i among the visible ones (for keyword names).
    static constexpr int position(size_t i) {
        int pos = 0;
        for (size_t k = 0; k < i; ++k)
            pos += codes[k] != 0;
        return pos;
    }
    // The parse format: the visible codes with '|' after the first nreq of them.
    template <int Nreq> static constexpr std::array<char, sizeof...(D) + 2> format() {
        std::array<char, sizeof...(D) + 2> f{};
        size_t n = 0;
        int seen = 0;
        for (size_t k = 0; k < sizeof...(D); ++k) {
            if (!codes[k]) continue;
            if (seen++ == Nreq) f[n++] = '|';
            f[n++] = codes[k];
        }
        f[n] = 0;
        return f;
    }
};

// f(descriptor, i) for each descriptor in order, up to the first failure.
template <class Tuple, class F, size_t... I>
int eachWithPos(Tuple &t, F &&f, std::index_sequence<I...>) {
    int rc = 0;
    ((rc = rc ? rc : f(std::get<I>(t), static_cast<int>(I))), ...);
    return rc;
}

template <class M, class Tuple, size_t... I>
int parseAll(PyObject *args, PyObject *kwargs, Tuple &t, std::index_sequence<I...>) {
    auto ptrs = std::tuple_cat(std::get<I>(t).parsePtr()...);
    return std::apply(
        [&](auto... ptr) {
            return nvo_ParseTupleAndKeywords(args, kwargs, M::format(), M::kw, M::oldkw(), ptr...);
        },
        ptrs);
}

// Members that raise their own error when their arguments do not parse: rows
// NVR_API_ARGERROR(name, "text"). The parser's TypeError becomes InterfaceError "text: ...".
template <class M> inline constexpr const char *argErrorText = nullptr;

// Replaces a pending TypeError (the parser's) by InterfaceError "text: <its text>"; any other
// error (a deprecation turned into an error) stays.
void nvy_memberArgError(const char *text);

// The library function takes the nonlinear handle.
template <class F> inline constexpr bool takesNonlinearHandle = false;
template <class... P> inline constexpr bool takesNonlinearHandle<int (*)(NSLPprob, P...)> = true;

// Refuses a member of the nonlinear solver on a problem that has none. 0 or -1.
int nvy_checkNonlinear(problem_s *p);

// Members whose library call may run long (solves, IIS searches, repairs, tuning): rows
// NVR_API_LONG. Ctrl-C reaches the library during their call.
template <class M> inline constexpr bool longCall = false;

// Members that warn when called on a callback's problem, where newer methods read the values
// of the node being solved: rows marked NVR_API_CALLBACK_DEPRECATED(name).
template <class M> inline constexpr bool deprecatedInCallback = false;

template <class M, class Tuple, size_t... I>
int callLibrary(Call &c, Tuple &t, std::index_sequence<I...>) {
    int rc = 0;
    if constexpr (longCall<M>)
        rc = problem_call_interruptible(c.p, M::fn, M::lib, std::get<I>(t).arg(c)...);
    else
        rc = problem_call(c.p, M::fn, M::lib, std::get<I>(t).arg(c)...);
    (std::get<I>(t).after(c), ...);
    return rc;
}

// Required input arrays given as None: the missing-argument error naming all of them. 0 or -1.
template <class M, class Tuple, size_t... I> int checkMissing(Tuple &t, std::index_sequence<I...>) {
    const char *names[sizeof...(I) + 1];
    int n = 0;
    bool missing = false;
    [[maybe_unused]] auto visit = [&](auto &d, size_t i) { // unused by members without parameters
        using D = std::remove_reference_t<decltype(d)>;
        const int pos = M::Params::position(i);
        if (!D::arrayIn || pos >= M::nreq) return;
        names[n++] = M::kw[pos];
        missing = missing || d.isNone();
    };
    (visit(std::get<I>(t), I), ...);
    if (!missing) return 0;
    nvo_PyErr_MissingArgsRange(names, 0, n);
    return -1;
}

template <class Tuple, size_t... I>
PyObject *results([[maybe_unused]] Call &c, Tuple &t, std::index_sequence<I...>) {
    constexpr int n = (int{std::tuple_element_t<I, Tuple>::returns} + ... + 0);
    if constexpr (n == 0) {
        Py_RETURN_NONE;
    } else {
        PyObject *values[n];
        int k = 0;
        auto take = [&](auto &d) {
            if constexpr (std::remove_reference_t<decltype(d)>::returns) values[k++] = d.value(c);
        };
        (take(std::get<I>(t)), ...);
        bool ok = true;
        for (PyObject *v : values)
            ok = ok && v;
        if (!ok || n == 1) {
            if (!ok)
                for (PyObject *v : values)
                    Py_XDECREF(v);
            return ok ? values[0] : nullptr;
        }
        PyObject *tuple = PyTuple_New(n);
        for (int i = 0; i < n; ++i)
            if (tuple)
                PyTuple_SET_ITEM(tuple, i, values[i]);
            else
                Py_DECREF(values[i]);
        return tuple;
    }
}

template <class M> PyObject *apiMember(PyObject *self, PyObject *args, PyObject *kwargs) {
    problem_s *p = as_problem(self);
    if (checkProblemIsInitialized(p) != 0) return nullptr;
    using P = typename M::Params;
    constexpr auto seq = std::make_index_sequence<P::size>();
    typename P::Tuple d;
    Call c{p, M::kw};
    if constexpr (deprecatedInCallback<M>)
        if (p->parent &&
            warnDeprec(9, 5, "use problem.getCallbackSolution and related functions instead") != 0)
            return nullptr;
    if constexpr (takesNonlinearHandle<std::remove_const_t<decltype(M::fn)>>)
        if (nvy_checkNonlinear(p) != 0) return nullptr;
    if (!parseAll<M>(args, kwargs, d, seq)) {
        if constexpr (argErrorText<M> != nullptr) nvy_memberArgError(argErrorText<M>);
        return nullptr;
    }
    if (checkMissing<M>(d, seq) != 0) return nullptr;
    auto run = [&](auto step) {
        return eachWithPos(
            d, [&](auto &x, int i) { return step(x, P::position(i)); }, seq);
    };
    if (run([&](auto &x, int pos) { return x.prepare(c, pos); }) != 0 ||
        run([&](auto &x, int pos) { return x.convert(c, pos); }) != 0)
        return nullptr;
    if constexpr (P::query) {
        c.querying = true;
        if (callLibrary<M>(c, d, seq) != 0) return nullptr;
        c.querying = false;
    }
    if (run([&](auto &x, int) { return x.size(c); }) != 0 || callLibrary<M>(c, d, seq) != 0 ||
        run([&](auto &x, int) { return x.deliver(c); }) != 0)
        return nullptr;
    return results(c, d, seq);
}

// A member written out by hand (extra logic): the problem check, then impl.
template <PyObject *(*Impl)(problem_s *, PyObject *, PyObject *)>
PyObject *apiCustom(PyObject *self, PyObject *args, PyObject *kwargs) {
    problem_s *p = as_problem(self);
    if (checkProblemIsInitialized(p) != 0) return nullptr;
    return Impl(p, args, kwargs);
}

} // namespace nvapi

// ---- rows ---------------------------------------------------------------------------------------

#define NVR_API_LIST(...)                                                                          \
    { __VA_ARGS__ __VA_OPT__(, ) nullptr }

// The keyword names of a member (struct api_NAME): kw, old, oldkw().
#define NVR_API_KEYWORDS(KW, OLD)                                                                  \
    static constexpr const char *kw[] = NVR_API_LIST KW;                                           \
    static constexpr const char *old[] = NVR_API_LIST OLD;                                         \
    static constexpr const char *const *oldkw() {                                                  \
        return old[0] ? old : nullptr;                                                             \
    }

// The record of a member made by the driver.
#define NVR_API_DEFINE(NAME, FN, NREQ, KW, OLD, DOC, ...)                                          \
    struct api_##NAME {                                                                            \
        static constexpr const char *lib = #FN;                                                    \
        static constexpr auto fn = FN;                                                             \
        static constexpr int nreq = NREQ;                                                          \
        NVR_API_KEYWORDS(KW, OLD)                                                                  \
        using Params = nvapi::Params<__VA_ARGS__>;                                                 \
        static constexpr auto fmt = Params::format<NREQ>();                                        \
        static constexpr const char *format() { return fmt.data(); }                               \
    };

// The record of a member whose library call may run long.
#define NVR_API_LONG_DEFINE(NAME, ...)                                                             \
    NVR_API_DEFINE(NAME, __VA_ARGS__)                                                              \
    template <> inline constexpr bool nvapi::longCall<api_##NAME> = true;

// Marks member NAME (a row of the same list) as deprecated on a callback's problem.
#define NVR_API_CALLBACK_DEPRECATED_DEFINE(NAME)                                                   \
    template <> inline constexpr bool nvapi::deprecatedInCallback<api_##NAME> = true;

// Gives member NAME (a row of the same list) its own error for arguments that do not parse.
#define NVR_API_ARGERROR_DEFINE(NAME, TEXT)                                                        \
    template <> inline constexpr const char *nvapi::argErrorText<api_##NAME> = TEXT;

// The record of a member written out by hand as NVRA_PY_NAME(problem, args, kwargs), which
// parses with api_NAME::format(), kw and oldkw().
#define NVR_API_CUSTOM_DEFINE(NAME, FORMAT, KW, OLD, DOC)                                          \
    struct api_##NAME {                                                                            \
        NVR_API_KEYWORDS(KW, OLD)                                                                  \
        static constexpr const char *format() { return FORMAT; }                                   \
    };                                                                                             \
    PyObject *NVRA_PY_##NAME(problem_s *p, PyObject *args, PyObject *kwargs);

#define NVR_API_ROW(NAME, FN, NREQ, KW, OLD, DOC, ...)                                             \
    {#NAME, nvr_method(nvapi::apiMember<api_##NAME>), METH_VARARGS | METH_KEYWORDS, PyDoc_STR(DOC)},
#define NVR_API_CUSTOM_ROW(NAME, FORMAT, KW, OLD, DOC)                                             \
    {#NAME, nvr_method(nvapi::apiCustom<NVRA_PY_##NAME>), METH_VARARGS | METH_KEYWORDS,            \
     PyDoc_STR(DOC)},
#define NVR_API_INFO(NAME, ...) {#NAME, api_##NAME::format(), api_##NAME::kw, api_##NAME::oldkw()},
