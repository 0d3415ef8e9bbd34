// The Hard level: each choice that matters is tried on copies of the position, played on with the
// real rules and sampled dice, every seat at Normal, and the choice that wins most often is taken.
#include "computer_player.h"

#include <algorithm>
#include <cmath>

namespace dealbrix {

namespace {

/// Actions one play-out may take before it is judged where it stands; far beyond any real game's
/// rounds, so it only stops a position the Normal player cannot move on.
constexpr int kPlayoutActionLimit = 4000;
/// Steps of Normal's chores tried on a copy before the copy is judged.
constexpr int kChoreStepLimit = 200;
/// How much more often another choice must win than Normal's own before Hard takes it: play-outs are
/// few, and a choice barely ahead may be ahead by the dice alone.
constexpr double kPreferMargin = 0.01;
/// A trade is accepted only when it wins this much more often than saying No.
constexpr double kAcceptMargin = 0.015;
/// A trade Normal judges to lose more than this is refused without looking ahead.
constexpr double kTradeLossFloor = 60;
/// The most squares tried as the next mortgage in debt.
constexpr std::size_t kMortgageCandidates = 3;
/// The best offers by the seat's own judgement that are tried further by looking ahead.
constexpr std::size_t kHardOfferCandidates = 2;
/// Dollars to which the least money a rival would take is found.
constexpr long long kHardMoneyPrecision = 10;
/// Houses on a square when it holds a hotel.
constexpr int kMostHouses = 5;

/// The dice of a play-out: splitmix64, small and quick to seed.
class PlayoutDice final : public RandomSource {
  public:
    explicit PlayoutDice(std::uint64_t seed) : state_(seed) {}
    float next() override { return static_cast<float>(draw() >> 40) * (1.0f / 16777216.0f); }

  private:
    std::uint64_t draw() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    std::uint64_t state_;
};

/// The screen of a play-out: shows nothing, has every question answered by the player playing the
/// copy, and notes the winner.
class PlayoutUi final : public Ui {
  public:
    explicit PlayoutUi(const ComputerPlayer& judge) : judge_(judge) {}
    void attach(const Game& game) { game_ = &game; }
    void tell(const Box& box) override {
        if (box.kind == BoxKind::Winner) winner = box.seat;
    }
    bool ask(const Box& question) override {
        return game_ != nullptr && judge_.answer(game_->state, question, offered);
    }
    void endProgram() override {}

    OfferedMoney offered{};
    int winner = 0;

  private:
    const ComputerPlayer& judge_;
    const Game* game_ = nullptr;
};

/// A copy of a position with its own screen and dice, played by `player`.
struct Copy {
    PlayoutUi ui;
    PlayoutDice dice;
    Game game;

    Copy(const ComputerPlayer& player, const GameState& start, std::uint64_t seed)
        : ui(player), dice(seed), game(ui, dice) {
        game.restore(start);
        ui.attach(game);
    }
    /// Carries `action` out as the program would; false once the game has ended.
    bool apply(const Action& action) {
        if (action.kind == ActionKind::FinalizeOffer)
            ui.offered = {Game::readNumber(action.text), Game::readNumber(action.otherText)};
        return game.apply(action) != ActionResult::Ended;
    }
};

bool isChore(const Action& action) {
    return action.kind != ActionKind::Roll && action.kind != ActionKind::EndTurn &&
           action.kind != ActionKind::GiveUp;
}

} // namespace

std::uint64_t ComputerPlayer::nextSearchSeed() const {
    ++searches_;
    std::uint64_t z = seed_ * 0x9E3779B97F4A7C15ULL + searches_ * 0xD1B54A32D192ED03ULL;
    z ^= z >> 29;
    return z;
}

double ComputerPlayer::lookahead(const GameState& start, int seat, std::uint64_t seed) const {
    return lookahead(start, seat, seed, false);
}

double ComputerPlayer::lookahead(const GameState& start, int seat, std::uint64_t seed,
                                 bool choresDone) const {
    if (!inPlay(start, seat)) return 0;
    double total = 0;
    for (int k = 0; k < budget_.playouts; ++k) {
        const std::uint64_t playoutSeed = seed + static_cast<std::uint64_t>(k) * 0x632BE59BD9B4E019ULL;
        ComputerPlayer normal(normal_, playoutSeed);
        // A candidate that settles this turn's chores is played on without more of them this turn.
        if (choresDone) normal.memory_[seat].chores = normal_.choresPerTurn;
        Copy copy(normal, start, playoutSeed);
        // The order of the cards is not for the seat to know: the copy shuffles both decks afresh.
        copy.game.shuffleDeck(1);
        copy.game.shuffleDeck(2);
        const int handOvers = budget_.rounds * std::max<int>(1, start.playerCount);
        int handed = 0;
        bool going = true;
        for (int step = 0; going && step < kPlayoutActionLimit && handed < handOvers; ++step) {
            const std::optional<Action> action = normal.nextAction(copy.game);
            if (!action) break;
            const bool handsOver =
                action->kind == ActionKind::EndTurn && copy.game.state.board.endTurnEnabled;
            going = copy.apply(*action);
            if (handsOver) ++handed;
        }
        if (!going) {
            total += copy.ui.winner == seat ? 1.0 : 0.0;
            continue;
        }
        // Still going: the seat's share of what the seats in play are worth.
        const GameState& end = copy.game.state;
        if (!inPlay(end, seat)) continue;
        double all = 0;
        for (int other = 1; other <= end.playerCount; ++other)
            if (inPlay(end, other)) all += std::max(1.0, normal.worth(end, other));
        total += std::max(1.0, normal.worth(end, seat)) / all;
    }
    return total / std::max(1, budget_.playouts);
}

std::size_t ComputerPlayer::bestCandidate(const std::vector<GameState>& candidates, int seat,
                                          bool choresDone) const {
    if (candidates.size() < 2) return 0;
    const std::uint64_t seed = nextSearchSeed();
    std::size_t best = 0;
    double bestScore = lookahead(candidates[0], seat, seed, choresDone) + kPreferMargin;
    for (std::size_t k = 1; k < candidates.size(); ++k) {
        const double score = lookahead(candidates[k], seat, seed, choresDone);
        if (score > bestScore) {
            best = k;
            bestScore = score;
        }
    }
    return best;
}

bool ComputerPlayer::hardAnswer(const GameState& state, const Box& question,
                                const OfferedMoney& offered) const {
    const int seat = question.seat;
    const bool normal = normalAnswer(state, question, offered);
    GameState yes = state;
    GameState no = state;
    switch (question.kind) {
    case BoxKind::PurchaseOffer: {
        const int left = state.money[seat] - question.amount;
        if (left < weights_->cashFloor || !isOwnable(question.square)) return false;
        yes.owners[question.square] = static_cast<i16>(seat);
        yes.money[seat] = static_cast<i16>(left);
        yes.pricePaid[question.square] = static_cast<i16>(question.amount);
        yes.grid.ticked[seat][question.square] = true;
        yes.purchaseAnswer = kAnswerYes;
        no.purchaseAnswer = kAnswerNo;
        break;
    }
    case BoxKind::JailCardQuestion:
        if (state.jailCards[seat] <= 0) return false;
        --yes.jailCards[seat];
        yes.jailTurns[seat] = 0;
        ++no.jailTurns[seat];
        break;
    case BoxKind::TradeQuestion: {
        if (!std::isfinite(offered.fromTrader) || !std::isfinite(offered.fromPartner)) return false;
        const Holdings after = afterTrade(state, offered);
        if (after.money[seat] < weights_->cashFloor) return false;
        if (tradeGain(state, seat, offered) < -kTradeLossFloor) return false;
        static_cast<Holdings&>(yes) = after;
        yes.trade = TradeView{};
        no.trade = TradeView{};
        // Saying Yes must win clearly more often than No: an offer is made for the offerer's sake.
        const std::uint64_t seed = nextSearchSeed();
        return lookahead(yes, seat, seed) > lookahead(no, seat, seed) + kAcceptMargin;
    }
    default:
        return normal;
    }
    const std::vector<GameState> candidates = normal ? std::vector{yes, no} : std::vector{no, yes};
    return (bestCandidate(candidates, seat) == 0) == normal;
}

std::vector<ComputerPlayer::HardOffer> ComputerPlayer::hardOffers(const GameState& state, int seat) const {
    // For each pair of squares (or a square for money alone), the least money the rival would take,
    // judged as the rival's level judges; then the pairs best for the seat, by its own judgement.
    std::vector<HardOffer> offers;
    const auto tradable = [&](int square, int owner) {
        if (state.owners[square] != owner) return false;
        const ColourGroup* group = colourGroupOf(square);
        if (group == nullptr) return true;
        for (const i16 other : squaresOf(*group))
            if (state.houses[other] != 0) return false;
        return owner != seat || !buildable(state, *group, seat); // never break up a whole group of its own
    };
    for (int rival = 1; rival <= state.playerCount; ++rival) {
        if (rival == seat || !inPlay(state, rival) || people_[rival]) continue;
        for (int wanted = -1; wanted < kSquareCount; ++wanted) {
            if (wanted >= 0 && (!isOwnable(wanted) || !tradable(wanted, rival))) continue;
            for (int given = -1; given < kSquareCount; ++given) {
                if (given >= 0 && (!isOwnable(given) || !tradable(given, seat))) continue;
                if (wanted < 0 && given < 0) continue;
                GameState trial = state;
                trial.trade = TradeView{};
                trial.tradePartner = static_cast<i16>(rival);
                if (wanted >= 0)
                    trial.trade.squaresOffered[1][0] = {std::string(squareTitle(wanted)),
                                                        static_cast<double>(wanted)};
                if (given >= 0)
                    trial.trade.squaresOffered[0][0] = {std::string(squareTitle(given)),
                                                        static_cast<double>(given)};
                const auto offered = [](long long money) {
                    return OfferedMoney{money > 0 ? static_cast<double>(money) : 0.0,
                                        money < 0 ? static_cast<double>(-money) : 0.0};
                };
                const Box question{.kind = BoxKind::TradeQuestion, .seat = rival, .turn = seat};
                const auto accepts = [&](long long money) {
                    useWeightsOf(rival);
                    const bool yes = normalAnswer(trial, question, offered(money));
                    useWeightsOf(seat);
                    return yes;
                };
                // The rival says Yes more readily the more it is paid: the least it takes is found by
                // halving.
                long long low = -std::max(0, state.money[rival] - weights_->cashFloor);
                long long high = std::max(0, state.money[seat] - reserve(state, seat));
                if (!accepts(high)) continue;
                while (high - low > kHardMoneyPrecision) {
                    const long long middle = low + (high - low) / 2;
                    (accepts(middle) ? high : low) = middle;
                }
                if (state.money[rival] + high > kMax16 || state.money[seat] - high > kMax16) continue;
                const double gain = tradeGain(trial, seat, offered(high));
                if (gain >= weights_->tradeMargin) offers.push_back({rival, wanted, given, high, gain});
            }
        }
    }
    std::stable_sort(offers.begin(), offers.end(),
                     [](const HardOffer& a, const HardOffer& b) { return a.gain > b.gain; });
    if (offers.size() > kHardOfferCandidates) offers.resize(kHardOfferCandidates);
    return offers;
}

bool ComputerPlayer::hardChooseChores(const Game& game, int seat) {
    SeatMemory& memory = memory_[seat];
    const bool beforeRoll = game.state.board.rollEnabled;
    const int phase = memory.turns * 2 + (beforeRoll ? 0 : 1);
    if (memory.choresDecidedAt == phase) return false;
    memory.choresDecidedAt = phase;
    memory.skipChores = false;
    memory.tradeInChores = true;
    // Normal's chores of this phase, carried out on copies: all of them, all but trading, and all of
    // them built on with half the reserve kept back.
    std::vector<Action> boldSteps;
    auto choresDone = [&](bool trading, bool bold) {
        ComputerPlayer normal = *this;
        normal.levels_.fill(ComputerLevel::Normal);
        normal.normal_.keepPaymentFloor = true; // only the seat's own chores are played here
        normal.plan_.clear();
        if (!trading) normal.memory_[seat].offers = normal_.offersPerTurn;
        if (bold) {
            normal.normal_.reserveBase /= 2;
            normal.normal_.reserveRentShare /= 2;
            normal.normal_.firstHouses = kMostHouses;
        }
        Copy copy(normal, game.state, seed_);
        for (int step = 0; step < kChoreStepLimit && copy.game.state.turn == seat; ++step) {
            const std::optional<Action> action = normal.nextAction(copy.game);
            if (!action || !isChore(*action)) break;
            if (bold) boldSteps.push_back(*action);
            if (!copy.apply(*action)) break;
        }
        GameState done = copy.game.state;
        done.houseOptions = HouseOptionsView{};
        done.trade = TradeView{};
        return done;
    };
    const auto same = [](const GameState& a, const GameState& b) {
        return static_cast<const Holdings&>(a) == static_cast<const Holdings&>(b);
    };
    enum class Kind { Chores, NoTrade, Bold, Offer, Nothing };
    std::vector<GameState> candidates;
    std::vector<Kind> kinds;
    std::vector<HardOffer> offers;
    const auto add = [&](const GameState& candidate, Kind kind) {
        for (const GameState& other : candidates)
            if (same(other, candidate)) return false;
        candidates.push_back(candidate);
        kinds.push_back(kind);
        return true;
    };
    add(choresDone(true, false), Kind::Chores);
    add(choresDone(false, false), Kind::NoTrade);
    add(choresDone(true, true), Kind::Bold);
    if (beforeRoll) {
        for (const HardOffer& offer : hardOffers(game.state, seat)) {
            GameState traded = game.state;
            traded.tradePartner = static_cast<i16>(offer.rival);
            traded.trade = TradeView{};
            if (offer.wanted >= 0)
                traded.trade.squaresOffered[1][0] = {std::string(squareTitle(offer.wanted)),
                                                     static_cast<double>(offer.wanted)};
            if (offer.given >= 0)
                traded.trade.squaresOffered[0][0] = {std::string(squareTitle(offer.given)),
                                                     static_cast<double>(offer.given)};
            const OfferedMoney money{offer.money > 0 ? static_cast<double>(offer.money) : 0.0,
                                     offer.money < 0 ? static_cast<double>(-offer.money) : 0.0};
            static_cast<Holdings&>(traded) = afterTrade(traded, money);
            traded.trade = TradeView{};
            traded.tradePartner = 0;
            if (add(traded, Kind::Offer)) offers.push_back(offer);
        }
    }
    add(game.state, Kind::Nothing);
    if (candidates.size() < 2) return false;
    const std::size_t best = bestCandidate(candidates, seat, true);
    switch (kinds[best]) {
    case Kind::Chores:
        return false;
    case Kind::NoTrade:
        memory.tradeInChores = false;
        return false;
    case Kind::Bold:
        // The bold copy's own steps are taken as they stand; a step the real game no longer offers
        // drops the rest, and Normal's chores go on from there.
        if (boldSteps.empty()) return false;
        plan_.assign(boldSteps.begin(), boldSteps.end());
        planSeat_ = seat;
        return true;
    case Kind::Offer: {
        const std::size_t first =
            static_cast<std::size_t>(std::find(kinds.begin(), kinds.end(), Kind::Offer) - kinds.begin());
        const HardOffer& offer = offers[best - first];
        ++memory.offers;
        memory.tradeInChores = false;
        planOffer(offer.rival, offer.wanted, offer.given, offer.money);
        return true;
    }
    case Kind::Nothing:
        memory.skipChores = true;
        return false;
    }
    return false;
}

int ComputerPlayer::hardSquareToMortgage(const Game& game, int seat) {
    std::vector<int> order = mortgageOrder(game.state, seat);
    if (order.size() > kMortgageCandidates) order.resize(kMortgageCandidates);
    if (order.size() < 2) return order.empty() ? -1 : order.front();
    std::vector<GameState> candidates;
    for (const int square : order) {
        ComputerPlayer normal(normal_, seed_);
        Copy copy(normal, game.state, seed_);
        for (const Action& step :
             {Action::openHouseOptions(square), Action::toggleMortgage(), Action::closeHouseOptions()})
            if (!copy.apply(step)) break;
        candidates.push_back(copy.game.state);
    }
    return order[bestCandidate(candidates, seat)];
}

} // namespace dealbrix
