#pragma once
// The game log: every box the rules show, every answer given and every event without a box (a
// seat giving up, a mortgage, a trade, a seat handed over), in order, as one line each.

#include "ports.h"

#include <functional>
#include <string>
#include <vector>

namespace dealbrix {

/// A Ui that writes down each box and answer before passing it on to the screen it wraps.
class GameLog final : public Ui {
  public:
    /// Logs what passes through to `inner`.
    explicit GameLog(Ui& inner);

    void tell(const Box& box) override;
    bool ask(const Box& question) override;
    int askAmount(const Box& question) override;
    void note(const Box& line) override;
    void endProgram() override;

    /// Every line so far, oldest first.
    const std::vector<std::string>& lines() const { return lines_; }
    /// Puts back the lines of an earlier session (a saved game); the listener is not told.
    void setLines(std::vector<std::string> lines) {
        lines_ = std::move(lines);
        repeated_.clear();
    }
    /// Adds a line of the program's own, not from a box (who plays a seat).
    void note(std::string line) { add(std::move(line)); }
    /// Called with each new line as it is added.
    void setListener(std::function<void(const std::string&)> listener) { listener_ = std::move(listener); }
    /// Called with the last line once it is written anew (a repeated debt hold counts its repetitions).
    void setRewriteListener(std::function<void(const std::string&)> listener) {
        rewriteListener_ = std::move(listener);
    }

    /// The line for `box`: the seat whose turn it was, then the text on one line, then the answer of
    /// a question ("Player 2: Buy Reading Railread? - Yes"); a house bought or sold adds its money
    /// (" - paid $50", " - paid back $25").
    static std::string lineFor(const Box& box, const bool* answer = nullptr);
    /// The line for an amount question and its answer: " - bids $50", or " - passes" for 0.
    static std::string lineForAmount(const Box& question, int amount);

  private:
    void add(std::string line);
    /// Counts `line` on the last line when it is the same debt hold again; false when it is not.
    bool countRepeat(const Box& box);

    Ui& inner_;
    std::vector<std::string> lines_;
    std::function<void(const std::string&)> listener_;
    std::function<void(const std::string&)> rewriteListener_;
    std::string repeated_;   // the text of the debt hold the last line is of, empty when it is none
    std::string firstLine_;  // the last line as first written
    int repeatedAmount_ = 0; // the balance of that debt hold
    int repeats_ = 0;
};

} // namespace dealbrix
