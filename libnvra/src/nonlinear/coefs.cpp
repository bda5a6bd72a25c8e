// coefs.cpp: the coefficient store (see coefs.h).
#include "nonlinear/coefs.h"

#include <algorithm>
#include <bit>

namespace nvra::nl {

void Coefficients::add(int row, int col, double factor, const uint8_t *t, const double *v,
                       int64_t n) {
    const int32_t idx = static_cast<int32_t>(pieces.size());
    pieces.push_back(
        {row, col, factor, static_cast<int64_t>(type.size()), static_cast<int32_t>(n), -1});
    type.insert(type.end(), t, t + n);
    value.insert(value.end(), v, v + n);
    auto [it, fresh] = cells_.try_emplace(key(row, col), idx, idx);
    if (!fresh) {
        pieces[it->second.second].next = idx;
        it.value().second = idx;
    }
    liveTokens_ += n;
    ++livePieces_;
}

void Coefficients::append(const Coefficients &other) {
    type.reserve(type.size() + other.liveTokens_);
    value.reserve(value.size() + other.liveTokens_);
    pieces.reserve(pieces.size() + other.livePieces_);
    cells_.reserve(cells_.size() + other.cells_.size());
    for (const Piece &p : other.pieces)
        if (p.row != kDead)
            add(p.row, p.col, p.factor, other.type.data() + p.begin, other.value.data() + p.begin,
                p.length);
}

bool Coefficients::remove(int row, int col) {
    auto it = cells_.find(key(row, col));
    if (it == cells_.end()) return false;
    for (int32_t p = it->second.first; p >= 0; p = pieces[p].next) {
        liveTokens_ -= pieces[p].length;
        --livePieces_;
        pieces[p].row = kDead;
    }
    cells_.erase(it);
    return true;
}

std::vector<int32_t> Coefficients::cellPieces(int row, int col) const {
    std::vector<int32_t> out;
    auto it = cells_.find(key(row, col));
    if (it != cells_.end())
        for (int32_t p = it->second.first; p >= 0; p = pieces[p].next)
            out.push_back(p);
    return out;
}

std::vector<std::pair<int32_t, int32_t>> Coefficients::cells() const {
    std::vector<std::pair<int32_t, int32_t>> out;
    out.reserve(cells_.size());
    for (const auto &[k, ends] : cells_)
        out.emplace_back(pieces[ends.first].row, pieces[ends.first].col);
    std::sort(out.begin(), out.end());
    return out;
}

void Coefficients::pieceFormula(int32_t piece, Formula &f) const {
    const Piece &p = pieces[piece];
    f.type.assign(type.begin() + p.begin, type.begin() + p.begin + p.length);
    f.value.assign(value.begin() + p.begin, value.begin() + p.begin + p.length);
}

bool Coefficients::cellFormula(int row, int col, Formula &f, double &factor) const {
    const std::vector<int32_t> list = cellPieces(row, col);
    if (list.empty()) return false;
    f.clear();
    factor = pieces[list[0]].factor;
    const bool shared = std::all_of(list.begin(), list.end(),
                                    [&](int32_t p) { return pieces[p].factor == factor; });
    if (!shared) factor = 1.0;
    const size_t n = list.size();
    size_t plusWritten = 0;
    for (size_t k = 0; k < n; ++k) {
        const Piece &p = pieces[list[k]];
        f.type.insert(f.type.end(), type.begin() + p.begin, type.begin() + p.begin + p.length);
        f.value.insert(f.value.end(), value.begin() + p.begin, value.begin() + p.begin + p.length);
        if (!shared && p.factor == -1.0) {
            f.push(NSLP_TOK_OP, NSLP_OP_UMINUS);
        } else if (!shared && p.factor != 1.0) {
            f.push(NSLP_TOK_CON, p.factor);
            f.push(NSLP_TOK_OP, NSLP_OP_MULTIPLY);
        }
        // Plus operators that join the summands into a balanced tree: after summand k (not the
        // last) as many as the trailing zero bits of k + 1, after the last the rest of n - 1.
        const size_t plus =
            k + 1 < n ? static_cast<size_t>(std::countr_zero(k + 1)) : n - 1 - plusWritten;
        for (size_t j = 0; j < plus; ++j)
            f.push(NSLP_TOK_OP, NSLP_OP_PLUS);
        plusWritten += plus;
    }
    return true;
}

void Coefficients::clear() {
    *this = Coefficients();
}

bool Coefficients::copyLive(const std::vector<int32_t> *rowMap, const std::vector<int32_t> *colMap,
                            Coefficients &out, DeletionRefusal &refusal) const {
    out.clear();
    out.type.reserve(liveTokens_);
    out.value.reserve(liveTokens_);
    out.pieces.reserve(livePieces_);
    Formula f;
    for (const Piece &p : pieces) {
        if (p.row == kDead) continue;
        int row = p.row, col = p.col;
        if (rowMap && row >= 0 && (row = (*rowMap)[row]) < 0) continue;
        if (colMap && col >= 0 && (col = (*colMap)[col]) < 0) continue;
        f.type.assign(type.begin() + p.begin, type.begin() + p.begin + p.length);
        f.value.assign(value.begin() + p.begin, value.begin() + p.begin + p.length);
        if (colMap)
            for (int64_t k = 0; k < f.size(); ++k) {
                if (f.type[k] != NSLP_TOK_COL) continue;
                const int32_t c = (*colMap)[static_cast<int32_t>(f.value[k])];
                if (c < 0) {
                    refusal = {p.row, p.col, static_cast<int>(f.value[k])};
                    return false;
                }
                f.value[k] = c;
            }
        out.add(row, col, p.factor, f);
    }
    return true;
}

bool Coefficients::renumbered(bool rows, const std::vector<int32_t> &map, Coefficients &out,
                              DeletionRefusal &refusal) const {
    return copyLive(rows ? &map : nullptr, rows ? nullptr : &map, out, refusal);
}

void Coefficients::compactIfWasteful() {
    const int64_t pool = static_cast<int64_t>(type.size());
    if (pool < 4096 || liveTokens_ * 2 > pool) return;
    Coefficients out;
    DeletionRefusal unused;
    copyLive(nullptr, nullptr, out, unused);
    *this = std::move(out);
}

} // namespace nvra::nl
