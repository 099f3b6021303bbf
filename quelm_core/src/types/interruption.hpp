#pragma once
// Cooperative interruption of long engine work (a Ctrl-C in the calling program).
//
// The engine has no notion of signals or of Python: the program that embeds it installs
// one process-wide poll, and every long loop calls check_for_interruption() once per
// step. When the poll reports that the caller wants to stop, the loop throws Interrupted,
// which unwinds through RAII-owned workspaces and leaves nothing allocated; the embedder
// catches it where it entered the engine (the Python module turns it into the
// KeyboardInterrupt its poll has already set).
//
// Where to call it: at the top of each iteration of a loop whose step can take more than
// a few milliseconds on a large molecule — each SCF iteration, each atom of the gradient,
// each displaced geometry of a Hessian, each step of an optimiser, a dynamics run or a
// path search, each localisation sweep. One call costs an atomic load and, with a poll
// installed, one indirect call; it never allocates. Call it only where unwinding is safe:
// no raw owning pointers or half-updated caller state outside RAII on that path.

#include <exception>

namespace quelm {

// Thrown by check_for_interruption() when the installed poll asks to stop.
class Interrupted : public std::exception {
  public:
    const char* what() const noexcept override { return "Interrupted"; }
};

// Returns true when the running computation must stop. Runs on the thread that called
// into the engine; must not throw.
using InterruptionPoll = bool (*)() noexcept;

// Installs the process-wide poll (null: never interrupted, the default) and returns the
// previous one, so a caller can restore it.
InterruptionPoll set_interruption_poll(InterruptionPoll poll) noexcept;

// Throws Interrupted when the installed poll asks to stop; otherwise returns.
void check_for_interruption();

} // namespace quelm
