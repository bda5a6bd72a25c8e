// kerneltnlp.h: the evaluations that Ipopt's TNLP and Bonmin's TMINLP share (sizes, bounds,
// starting point, objective, rows and their derivatives), answered from an NlpKernel. Base is
// the solver's interface class; the adapters add what differs (variable types, the end of the
// solve, stop requests).
#pragma once

#include "solver/nlpkernel.h"

#include <cmath>

#include "IpTNLP.hpp"

namespace nvra {

template <class Base> class KernelTnlp : public Base {
  public:
    using Index = Ipopt::Index;
    using Number = Ipopt::Number;

    // start: the starting point, or nullptr for 0 moved into the bounds.
    KernelTnlp(const NlpKernel &k, const double *start) : k_(k), start_(start) {}

    bool get_nlp_info(Index &n, Index &m, Index &nnzJac, Index &nnzHess,
                      Ipopt::TNLP::IndexStyleEnum &style) override {
        n = k_.numCols();
        m = k_.numRows();
        nnzJac = k_.jacobianSize();
        nnzHess = k_.hessianSize();
        style = Ipopt::TNLP::C_STYLE;
        return true;
    }
    bool get_bounds_info(Index, Number *xl, Number *xu, Index, Number *gl, Number *gu) override {
        k_.bounds(xl, xu, gl, gu);
        return true;
    }
    bool get_constraints_linearity(Index m, Ipopt::TNLP::LinearityType *types) override {
        for (Index r = 0; r < m; ++r)
            types[r] = k_.rowIsLinear(r) ? Ipopt::TNLP::LINEAR : Ipopt::TNLP::NON_LINEAR;
        return true;
    }
    bool get_starting_point(Index, bool initX, Number *x, bool, Number *, Number *, Index, bool,
                            Number *) override {
        if (initX) k_.start(start_, x);
        return true;
    }
    bool eval_f(Index, const Number *x, bool, Number &f) override {
        f = k_.objective(x);
        return std::isfinite(f);
    }
    bool eval_grad_f(Index, const Number *x, bool, Number *g) override {
        return k_.objectiveGradient(x, g);
    }
    bool eval_g(Index, const Number *x, bool, Index, Number *g) override {
        return k_.rowValues(x, g);
    }
    bool eval_jac_g(Index, const Number *x, bool, Index, Index, Index *iRow, Index *jCol,
                    Number *values) override {
        if (values) return k_.jacobian(x, values);
        k_.jacobianPattern(iRow, jCol);
        return true;
    }
    bool eval_h(Index, const Number *x, bool, Number objFactor, Index, const Number *lambda, bool,
                Index, Index *iRow, Index *jCol, Number *values) override {
        if (values) return k_.hessian(x, objFactor, lambda, values);
        k_.hessianPattern(iRow, jCol);
        return true;
    }

  protected:
    const NlpKernel &k_;

  private:
    const double *start_;
};

} // namespace nvra
