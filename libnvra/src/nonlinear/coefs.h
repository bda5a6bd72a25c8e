// coefs.h: the coefficient store of a nonlinear problem. A coefficient of (row, column) is the
// sum of its pieces, each a factor and a formula in parsed form (checked on entry); a piece of
// column NSLP_NOCOLUMN is factor * f(x), any other factor * x_col * f(x). Row NSLP_OBJECTIVE is
// the objective. All tokens live in one pool; pieces refer to ranges of it, so that a model with
// millions of formulas costs two arrays and one record per piece.
#pragma once

#include "nonlinear/formula.h"

#include <tsl/robin_map.h>

#include <cstdint>
#include <utility>
#include <vector>

namespace nvra::nl {

struct Piece {
    int32_t row, col;
    double factor;
    int64_t begin;  // first token in the pool
    int32_t length; // tokens (no end token)
    int32_t next;   // the next piece of the same (row, col), or -1
};

// Why a deletion cannot be followed: a formula of (row, col) reads the deleted column `column`.
struct DeletionRefusal {
    int row = 0, col = 0, column = 0;
};

class Coefficients {
  public:
    // The pool and the pieces (removed pieces stay until the next compaction with row kDead).
    std::vector<uint8_t> type;
    std::vector<double> value;
    std::vector<Piece> pieces;
    static constexpr int32_t kDead = INT32_MIN;

    // Adds a piece to (row, col). The formula must have been analysed against the problem.
    void add(int row, int col, double factor, const Formula &f) {
        add(row, col, factor, f.type.data(), f.value.data(), f.size());
    }
    void add(int row, int col, double factor, const uint8_t *type, const double *value, int64_t n);
    // Adds every piece of other, in order.
    void append(const Coefficients &other);
    // Removes every piece of (row, col); false when it has none.
    bool remove(int row, int col);
    bool has(int row, int col) const { return cells_.count(key(row, col)) != 0; }
    // The pieces of (row, col) in the order they were added (empty when none).
    std::vector<int32_t> cellPieces(int row, int col) const;
    // The (row, col) pairs with a coefficient, in increasing order.
    std::vector<std::pair<int32_t, int32_t>> cells() const;
    size_t cellCount() const { return cells_.size(); }
    // The formula and factor of (row, col): the one piece's, or with several pieces their sum
    // (joined into a balanced tree; factor 1 unless all pieces share one). false when none.
    bool cellFormula(int row, int col, Formula &f, double &factor) const;
    // The tokens of a piece as a formula.
    void pieceFormula(int32_t piece, Formula &f) const;
    int64_t liveTokens() const { return liveTokens_; }
    int64_t livePieces() const { return livePieces_; }
    void clear();
    // A copy after a deletion of rows (rows true) or columns, map[i] the new index of entry i or
    // -1: pieces of deleted rows and coefficient columns are dropped and the rest renumbered.
    // false, with refusal filled, when a kept formula reads a deleted column.
    bool renumbered(bool rows, const std::vector<int32_t> &map, Coefficients &out,
                    DeletionRefusal &refusal) const;
    // Rebuilds the pool without the tokens of removed pieces when they make up most of it.
    void compactIfWasteful();

  private:
    // The live pieces into out (compacted), with rows and columns renumbered by the maps given.
    bool copyLive(const std::vector<int32_t> *rowMap, const std::vector<int32_t> *colMap,
                  Coefficients &out, DeletionRefusal &refusal) const;
    static uint64_t key(int row, int col) {
        return (static_cast<uint64_t>(static_cast<uint32_t>(row)) << 32) |
               static_cast<uint32_t>(col);
    }
    // The keys of one column differ in their high half only (and most are of the column
    // NSLP_NOCOLUMN): the multiplication folds every bit into the bits that select the bucket,
    // which the identity hash of uint64_t would leave equal.
    struct CellHash {
        size_t operator()(uint64_t k) const noexcept {
            k *= 0x9E3779B97F4A7C15ull;
            return static_cast<size_t>(k ^ (k >> 32));
        }
    };
    // (row, col) -> first and last piece.
    tsl::robin_map<uint64_t, std::pair<int32_t, int32_t>, CellHash> cells_;
    int64_t liveTokens_ = 0, livePieces_ = 0;
};

} // namespace nvra::nl
