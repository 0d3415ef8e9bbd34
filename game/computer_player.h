#pragma once
// A computer seat: it plays through the same actions and answers a person has, chosen from the
// position by a few named weights, at one of three levels. No Qt here.

#include "game.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace dealbrix {

/// How strongly a computer seat plays. Normal decides by the weights; Easy by gentler weights, as a
/// beginner would; Hard looks ahead from each choice that matters by playing the game on.
/// Normal is the zero value, so levels not set (old saved games, a seat never chosen) play Normal.
enum class ComputerLevel : std::uint8_t { Normal, Easy, Hard };

/// The levels in the order menus list them, gentlest first.
inline constexpr std::array<ComputerLevel, 3> kComputerLevels{ComputerLevel::Easy, ComputerLevel::Normal,
                                                              ComputerLevel::Hard};

/// "easy", "normal" or "hard": the level's name on the command line, in saved games and tools.
std::string_view levelName(ComputerLevel level);
/// "Easy", "Normal" or "Hard": the level as menus and the game log write it.
std::string_view levelTitle(ComputerLevel level);
/// The level named `name` (case as levelName writes it), or nothing.
std::optional<ComputerLevel> levelNamed(std::string_view name);

/// How far the Hard level looks ahead: from each candidate choice it plays `playouts` games on, each
/// for `rounds` rounds, with the same dice for every candidate.
struct LookaheadBudget {
    int playouts = 10;
    int rounds = 10;
};

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
    /// Cash above the reserve needed before a house goes up.
    int buildMargin = 0;
    /// No house goes up that leaves the seat unable to raise, by cash and mortgages, the most it may
    /// have to pay next (see `paymentFloor`). Hard always builds so; the other levels by this.
    bool keepPaymentFloor = false;
    /// Houses it puts on one square at most (5 is a hotel).
    int mostHouses = 5;
    /// Turns of its own between two turns in which the computer proposes trades (1: every turn).
    int turnsBetweenOffers = 1;
    /// Rounds after which a game where no house stands counts as stalled: nobody will win it until
    /// someone gathers a group and builds, so the computer then pays well for the squares of one.
    int stalledRounds = 40;
    /// In a stalled game, what the first offer for a square pays (money and squares at their prices),
    /// as a share of its price; each refusal adds `raisePerRefusal` to it, up to `stalledMostPaid`.
    double stalledFirstPaid = 1.2;
    /// The most a stalled game's offer pays for a square, as a share of its price.
    double stalledMostPaid = 2.4;
    /// Rounds before a square refused at the most is asked for again: the game has moved on since.
    int stalledRetryRounds = 10;

    /// The weights of the Easy level: a beginner's habits, not random ones. It buys readily and keeps
    /// little back for rent, builds late and only a house or two, proposes trades seldom and gives up
    /// on a square soon, and accepts a fair offer though it gains little; it still sees what a group is
    /// worth to its rival.
    static ComputerWeights easy();

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

/// The squares of `group`, two or three.
std::span<const i16> squaresOf(const ColourGroup& group);
/// True when every square of `group` carries `seat`'s own code: houses may go up there.
bool buildable(const Holdings& holdings, const ColourGroup& group, int seat);
/// True when `seat` is a player seated in this game and not out.
bool inPlay(const GameState& state, int seat);
/// Carries the trade offered now out on a copy of the holdings, as the game would once the partner
/// says Yes.
Holdings afterTrade(const GameState& state, const OfferedMoney& offered);

/// Plays any seat the program is asked to play, each at its level (Normal unless set). One player may
/// serve several seats; what it remembers (offers made, steps in a turn) is kept per seat.
/// Deterministic for a given seed and history.
class ComputerPlayer {
  public:
    /// A player deciding by `weights` at Normal and Hard (Easy has its own); `seed` varies the order in
    /// which rivals are approached and the dice of Hard's look-ahead.
    explicit ComputerPlayer(ComputerWeights weights = {}, std::uint64_t seed = 0,
                            LookaheadBudget budget = {});

    /// Sets the level `seat` (1..4) plays at; other numbers are ignored.
    void setLevel(int seat, ComputerLevel level);
    /// The level `seat` plays at.
    ComputerLevel level(int seat) const;
    /// Marks `seat` as a person's (true) or a computer's: people are offered few trades, at most one a
    /// round, and never the same one again while the position stands.
    void setPerson(int seat, bool person);

    /// The next action for the seat holding the turn, always one `game` has available; nothing when
    /// the game has not started or nothing can be done. While a question waits in the game, its
    /// answer for the seat asked.
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
    /// The squares `seat` may mortgage now, least useful first.
    std::vector<int> mortgageOrder(const GameState& state, int seat) const;
    /// True when mortgaging everything `seat` may still mortgage would lift its money above zero.
    bool canRaiseEnough(const GameState& state, int seat) const;
    /// What `seat` could have in hand at once: its cash and the mortgages of its squares without
    /// houses (houses may not be sold once money runs short, so they do not count).
    long long raisableMoney(const GameState& state, int seat) const;
    /// The most `seat` may have to pay on landing next: the highest rent a rival's square charges now,
    /// or the higher tax.
    int paymentFloor(const GameState& state, int seat) const;
    /// What `seat` gains from the trade offered now, its rival's gain counted against it.
    double tradeGain(const GameState& state, int seat, const OfferedMoney& offered) const;

    /// True when the game has run `stalledRounds` rounds and no house stands: nobody builds, so nobody
    /// wins until someone gathers a group and builds on it.
    bool stalled(const GameState& state) const;

    /// Forgets the steps planned so far, as when a seat is handed to the computer mid-turn: the
    /// position may have moved on while a person held it.
    void dropPlan() { plan_.clear(); }

    /// The weights the seat deciding now plays by.
    const ComputerWeights& weights() const { return *weights_; }
    /// The weights of `level`.
    const ComputerWeights& weightsOf(ComputerLevel level) const;

    /// How Hard judges a position for `seat`: the share of `budget` play-outs from `start` that `seat`
    /// wins, a game still going at the horizon counting `seat`'s share of the worth in play. Every
    /// seat plays Normal in the play-outs; `seed` picks their dice.
    double lookahead(const GameState& start, int seat, std::uint64_t seed) const;
    /// Index of the position Hard prefers for `seat` among `candidates` (the first is Normal's own
    /// choice and is kept unless another does clearly better), each judged with the same dice.
    std::size_t bestCandidate(const std::vector<GameState>& candidates, int seat,
                              bool choresDone = false) const;

  private:
    struct SeatMemory {
        int chores = 0;            // house and trade steps this turn
        int offers = 0;            // offers put this turn
        int turns = 0;             // turns ended
        int choresDecidedAt = -1;  // the phase Hard last chose its chores in
        bool skipChores = false;   // Hard chose to do no chores in that phase
        bool tradeInChores = true; // Hard's chores of that phase include trading
        SquareArray<int> offersFor{};
        SquareArray<int> stalledOffersFor{}; // offers for each square made in a stalled game
        SquareArray<int> stalledAskedAt{};   // the round of the last of them
    };
    /// An offer put to a person: the squares and the position it was made in.
    struct OfferToPerson {
        int wanted = -1;
        int given = -1;
        std::uint64_t position = 0;
    };

    double cashValue(int money) const;
    bool normalAnswer(const GameState& state, const Box& question, const OfferedMoney& offered) const;
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
    bool planStalledOffer(const GameState& state, int seat);
    bool mayAskPerson(const GameState& state, int rival) const;
    void planHouseWork(int square, Action work);
    /// Plans the trade window's steps of an offer to `rival`: `wanted` of theirs, `given` of ours (-1
    /// none), `money` from us (negative when they pay).
    void planOffer(int rival, int wanted, int given, long long money);
    /// The same with several squares of ours.
    void planOffer(int rival, int wanted, const std::vector<int>& given, long long money);
    Action endOfTurn(int seat, Action action);
    bool mayOfferTo(const GameState& state, int rival, int wanted, int given) const;
    void noteOfferTo(const GameState& state, int rival, int wanted, int given);
    void useWeightsOf(int seat) const { weights_ = &weightsOf(level(seat)); }

    // Hard's look-ahead (lookahead.cpp).
    bool hardAnswer(const GameState& state, const Box& question, const OfferedMoney& offered) const;
    bool hardChooseChores(const Game& game, int seat);
    struct HardOffer {
        int rival = 0;
        int wanted = -1;
        int given = -1;
        long long money = 0;
        double gain = 0;
    };
    std::vector<HardOffer> hardOffers(const GameState& state, int seat) const;
    double lookahead(const GameState& start, int seat, std::uint64_t seed, bool choresDone) const;
    int hardSquareToMortgage(const Game& game, int seat);
    std::uint64_t nextSearchSeed() const;

    ComputerWeights normal_;
    ComputerWeights easy_;
    mutable const ComputerWeights* weights_; // the weights of the seat deciding now
    std::uint64_t seed_;
    LookaheadBudget budget_;
    PlayerArray<ComputerLevel> levels_{};
    PlayerArray<bool> people_{};
    std::deque<Action> plan_; // the steps still to take for planSeat_
    int planSeat_ = 0;
    PlayerArray<SeatMemory> memory_{};
    PlayerArray<long> offeredPersonAt_{}; // turnsEnded_ when each person was last offered a trade
    PlayerArray<std::vector<OfferToPerson>> personOffers_{}; // offers each person has been put
    long turnsEnded_ = 0;                                    // turns the computer's seats have ended
    mutable std::uint64_t searches_ = 0;                     // look-ahead searches made, for their dice
};

} // namespace dealbrix
