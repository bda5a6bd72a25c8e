// sigint.h: Ctrl-C during solves. While at least one solve runs, SIGINT (if its disposition is
// the default one) is caught by a handler that only counts the signal; every running solve
// compares the count with its mark at its next interrupt check and stops. A second Ctrl-C
// during the same bracket restores the default action and re-raises the signal, so that a
// solve that does not reach an interrupt check can still be killed.
#pragma once

namespace nvra {

// Brackets one solve: the first open bracket installs the handler, the last one closing
// restores the previous disposition. Safe to nest and to hold on several threads at once.
class SigintBracket {
  public:
    SigintBracket();
    ~SigintBracket();
    SigintBracket(const SigintBracket &) = delete;
    SigintBracket &operator=(const SigintBracket &) = delete;
};

// The number of SIGINTs caught so far (a mark to compare with later).
unsigned sigintCount();

} // namespace nvra
