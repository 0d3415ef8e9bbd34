#pragma once
// A computer seat: it plays through the same actions and answers a person has, chosen from the
// position by a few named weights. No Qt here.

#include "game.h"

#include <cstdint>
#include <deque>
#include <optional>

namespace dealbrix {

/// The weights a computer seat decides by. Money is in dollars, shares are fractions.
struct ComputerWeights {
    /// Cash kept back at all times before buying, building or redeeming.
    int reserveBase = 80;
    /// Added to the reserve: this share of the highest rent a rival's square can charge now.
    double reserveRentShare = 0.4;
    /// A purchase that completes or blocks a colour group may dip into the reserve down to this share.
    double keyPurchaseReserveShare = 0.25;
    /// Cash never given away in a trade or spent on a purchase, whatever it gains.
    int cashFloor = 20;
    /// Cash up to this counts in full when judging a position; beyond it, cash buys little a square does not.
    int plentifulCash = 2000;
    /// The share at which cash beyond `plentifulCash` counts.
    double plentifulCashShare = 0.3;
    /// Worth of a whole colour group to its owner beyond its squares' prices, as a share of their sum.
    double wholeGroupShare = 1.2;
    /// Worth of two of a group of three, the third still to be had (with the bank or held outright by a
    /// rival), as a share of the group's prices.
    double nearGroupShare = 0.15;
    /// Worth of each railroad held beyond the first.
    int railroadBonus = 40;
    /// Worth of holding both utilities.
    int utilityBonus = 20;
    /// How much a rival's gain counts against our own when judging a trade: 0 ignores the rival, 1
    /// counts the rival's gain as fully as ours.
    double rivalGainWeight = 0.5;
    /// What a trade must gain, after the rival's gain is counted, to be proposed or accepted.
    int tradeMargin = 10;
    /// Offers put to other seats in one turn.
    int offersPerTurn = 1;
    /// Offers made for one square in a whole game before the computer stops asking for it.
    int offersPerSquare = 12;
    /// Each refused offer for a square adds this share of its price to the next offer.
    double raisePerRefusal = 0.2;
    /// Houses put on every square of every whole group before any square gets more (rents jump at three).
    int firstHouses = 3;
    /// Cash above the reserve needed to redeem a square that does not make a group whole.
    int redeemMargin = 250;
    /// The jail card is used while at least this many squares are still with the bank; later, jail is
    /// a safe place to wait.
    int leaveJailWhileUnowned = 6;
    /// Steps of house work and trading in one turn before the computer just plays on.
    int choresPerTurn = 60;

    // The house rules.
    /// Dollars each bid of an auction adds to the high bid, while the square is still worth more.
    int bidStep = 10;
    /// Under bankruptcy to the creditor a ruinous rent hands a rival everything: the reserve's share of
    /// the worst rent is multiplied by this.
    double creditorReserveFactor = 1.5;
    /// A Free Parking pot of at least this makes the jail card worth using at once: a ten from Jail
    /// lands on it.
    int potWorthLeavingJail = 200;
};

/// The money of an offer as typed in the trade window's two fields: what the trader gives and what
/// the partner gives.
struct OfferedMoney {
    double fromTrader = 0;
    double fromPartner = 0;
};

/// Plays any seat the program is asked to play. One player may serve several seats; what it
/// remembers (offers made, steps in a turn) is kept per seat. Deterministic for a given seed and history.
class ComputerPlayer {
  public:
    /// A player deciding by `weights`; `seed` varies the order in which rivals are approached.
    explicit ComputerPlayer(ComputerWeights weights = {}, std::uint64_t seed = 0);

    /// The next action for the seat holding the turn, always one `game` has available; nothing when
    /// the game has not started or nothing can be done.
    std::optional<Action> nextAction(const Game& game);
    /// The answer of `question.seat` to a Yes/No question; `offered` is the money of an offer asked about.
    bool answer(const GameState& state, const Box& question, const OfferedMoney& offered = {}) const;
    /// The bid of `question.seat` in an auction: an amount within the question's bounds, or 0 to pass.
    int bid(const GameState& state, const Box& question) const;
    /// What holding `square` is worth to `seat`: its part in a group, and a rival's group it blocks.
    double squareValue(const GameState& state, int square, int seat) const;

    /// The cash `seat` keeps back now: the base and a share of the worst rent it may face.
    int reserve(const GameState& state, int seat) const;
    /// What `seat`'s position is worth: cash, squares, houses and the groups they make.
    double worth(const Holdings& holdings, int seat) const;
    /// The square `seat` should mortgage next to raise money (the least useful), or -1 when none.
    int squareToMortgage(const GameState& state, int seat) const;
    /// True when mortgaging everything `seat` may still mortgage would lift its money above zero.
    bool canRaiseEnough(const GameState& state, int seat) const;
    /// What `seat` gains from the trade offered now, its rival's gain counted against it.
    double tradeGain(const GameState& state, int seat, const OfferedMoney& offered) const;

    /// Forgets the steps planned so far, as when a seat is handed to the computer mid-turn: the
    /// position may have moved on while a person held it.
    void dropPlan() { plan_.clear(); }

    const ComputerWeights& weights() const { return weights_; }

  private:
    struct SeatMemory {
        int chores = 0; // house and trade steps this turn
        int offers = 0; // offers put this turn
        SquareArray<int> offersFor{};
    };

    double cashValue(int money) const;
    bool rulesAllowBuilding(const GameState& state, int square) const;
    bool rulesAllowMortgage(const GameState& state, int square) const;
    double rulesReserveFactor(const GameState& state) const;
    bool potCallsFromJail(const GameState& state) const;
    std::optional<Action> choose(const Game& game);
    std::optional<Action> raiseMoney(const GameState& state, int seat);
    bool planChores(const GameState& state, int seat);
    bool planBuilding(const GameState& state, int seat);
    bool planRedeeming(const GameState& state, int seat);
    bool planTrade(const GameState& state, int seat);
    void planHouseWork(int square, Action work);
    Action endOfTurn(int seat, Action action);

    ComputerWeights weights_;
    std::uint64_t seed_;
    std::deque<Action> plan_; // the steps still to take for planSeat_
    int planSeat_ = 0;
    PlayerArray<SeatMemory> memory_{};
};

} // namespace dealbrix
