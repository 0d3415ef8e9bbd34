#pragma once
// Questions for a computer seat go to the computer player; everything else goes to the screen.

#include "computer_player.h"

#include <functional>

namespace dealbrix {

/// Which seats the program plays: seat n is played by the computer when `[n]` is true.
using ComputerSeats = PlayerArray<bool>;

/// The default pause before each computer action and before a box of a computer's turn closes, so
/// people can follow its play.
inline constexpr int kDefaultComputerDelayMs = 600;

/// A Ui that answers the questions of computer seats itself (no box is shown) and passes every
/// other box, and every question for a person, on to the screen it wraps.
class SeatRouter final : public Ui {
  public:
    /// Routes between `inner` (the screen) and `computer`.
    SeatRouter(Ui& inner, ComputerPlayer& computer);

    /// The game whose position the computer reads to answer; set once the game exists.
    void attach(const Game& game) { game_ = &game; }
    /// Hands seats to the computer or back to people, at any time.
    void setComputerSeats(const ComputerSeats& seats) { seats_ = seats; }
    const ComputerSeats& computerSeats() const { return seats_; }
    /// True when `seat` (1..4) is played by the computer.
    bool isComputer(int seat) const { return isPlayer(seat) && seats_[seat]; }
    /// True before the start when every seat of the ticked player count is the computer's: with no
    /// person at the table, the computer presses Start itself.
    bool computerStarts(const GameState& state) const;
    /// Marks `seat` (1..4) as played by the computer or by a person; other numbers are ignored.
    void setComputer(int seat, bool computer);
    /// Called with each bid a computer seat makes, before the rules take it (the screen shows it).
    void setComputerBidShown(std::function<void(const Box&, int)> shown) { computerBid_ = std::move(shown); }
    /// Remembers the money typed for an offer about to be finalized, which the partner weighs.
    void noteAction(const Action& action);

    void tell(const Box& box) override;
    bool ask(const Box& question) override;
    int askAmount(const Box& question) override;
    void note(const Box& line) override;
    void endProgram() override;

  private:
    Ui& inner_;
    ComputerPlayer& computer_;
    const Game* game_ = nullptr;
    ComputerSeats seats_{};
    OfferedMoney offered_{};
    std::function<void(const Box&, int)> computerBid_;
};

} // namespace dealbrix
