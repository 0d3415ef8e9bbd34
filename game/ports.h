#pragma once
// The two collaborators the rules are given: the screen (message boxes and the end of the program)
// and the random source. Real ones live with the windows and in random.h; tests script their own.

#include <string>
#include <string_view>

namespace dealbrix {

/// How the rules speak to the players. Every call is modal: it returns once the box is closed.
class Ui {
  public:
    virtual ~Ui() = default;
    /// Shows an OK box. An empty title means the program's own caption.
    virtual void message(std::string_view text, std::string_view title = {}) = 0;
    /// Asks a Yes/No question; true for Yes.
    virtual bool ask(std::string_view text, std::string_view title = {}) = 0;
    /// Ends the program at once, without close handlers. A test's Ui may return; the rules then stop.
    virtual void endProgram() = 0;
};

/// The random numbers of the dice and the shuffles.
class RandomSource {
  public:
    virtual ~RandomSource() = default;
    /// Re-seeds from the clock (mixed into the current state) and draws a uniform value in [0, 1).
    virtual float next() = 0;
};

/// Thrown by the rules once the program has been told to end, so no handler goes on afterwards.
struct ProgramEnded {};

} // namespace dealbrix
