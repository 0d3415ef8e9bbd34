// dealbrix-tournament: whole games between computer, random and buyer seats through the engine, with
// seeded dice and no windows. The last line of the output is one JSON object with the results.
//
//   dealbrix-tournament --games 300 --seats computer,random,random,random --seed 1 [--check]
//                       [--rules LIST] [--starting-money N] [--min-finished PERCENT]

#include "computer_player.h"
#include "invariants.h"
#include "random_player.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace dealbrix {

namespace {

constexpr int kRoundLimit = 1000;
constexpr long kActionsPerRoundLimit = 2000; // a safety net for seats that dither; never reached in play
constexpr double kBuyerTradeRatio = 1.5;     // a buyer wants this much for what it gives
constexpr int kRandomMoneyTyped = 300;       // random seats type amounts below this
constexpr int kExitUsage = 2;
constexpr std::uint64_t kGameSeedStride = 1000003; // games of different seeds never share dice

enum class SeatKind { Computer, Random, Buyer };

struct Options {
    long games = 300;
    std::vector<SeatKind> seats;
    std::vector<std::string> seatNames;
    std::uint64_t seed = 1;
    bool check = false;
    HouseRules rules;
    long long minFinishedPercent = 0; // with --check, fewer finished games fail the run
};

struct Totals {
    PlayerArray<long> wins{};
    long finished = 0;
    std::vector<long> rounds; // of the finished games
    long refused = 0;
    long invariantFailures = 0;
    std::vector<double> decisionMicros;
};

using Clock = std::chrono::steady_clock;

double microsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

/// One game: the seats' kinds, the engine, and the screen that answers for every seat.
class Match final : public Ui {
  public:
    Match(const Options& options, std::uint64_t seed, Totals& totals)
        : options_(options), totals_(totals), rng_(seed), dice_(rng_), computer_({}, seed),
          game_(*this, dice_) {}

    void tell(const Box& box) override {
        if (box.kind == BoxKind::Winner) winner_ = box.seat;
    }
    bool ask(const Box& question) override;
    int askAmount(const Box& question) override;
    void endProgram() override {}

    /// Plays the game to its end or the round limit; records the result in the totals.
    void play();

  private:
    SeatKind kindOf(int seat) const { return options_.seats[static_cast<std::size_t>(seat - 1)]; }
    Action nextAction();
    Action randomAction();
    Action buyerAction();
    bool buyerAccepts(int seat) const;

    const Options& options_;
    Totals& totals_;
    std::mt19937_64 rng_;
    testing::SeededRandom dice_;
    ComputerPlayer computer_;
    Game game_;
    OfferedMoney offered_{};
    int winner_ = 0;
};

bool Match::ask(const Box& question) {
    const GameState& s = game_.state;
    switch (kindOf(question.seat)) {
    case SeatKind::Computer: {
        const auto start = Clock::now();
        const bool yes = computer_.answer(s, question, offered_);
        totals_.decisionMicros.push_back(microsSince(start));
        return yes;
    }
    case SeatKind::Random:
        return (rng_() & 1) != 0;
    case SeatKind::Buyer:
        if (question.kind == BoxKind::PurchaseOffer) return s.money[question.seat] >= question.amount;
        if (question.kind == BoxKind::TradeQuestion) return buyerAccepts(question.seat);
        return true; // the jail card; a buyer never asks for a house
    }
    return false;
}

int Match::askAmount(const Box& question) {
    switch (kindOf(question.seat)) {
    case SeatKind::Computer: {
        const auto start = Clock::now();
        const int amount = computer_.bid(game_.state, question);
        totals_.decisionMicros.push_back(microsSince(start));
        return amount;
    }
    case SeatKind::Random:
        return testing::randomAmount(question, rng_);
    case SeatKind::Buyer:
        // Up to the bank's price, as it would have paid at the purchase question.
        return isSquare(question.square) && question.minimum <= squareInfo(question.square).price
                   ? question.minimum
                   : 0;
    }
    return 0;
}

bool Match::buyerAccepts(int seat) const {
    // What it gets and what it gives: money, and squares at their price.
    const GameState& s = game_.state;
    const bool trader = seat == s.turn;
    double gets = trader ? offered_.fromPartner : offered_.fromTrader;
    double gives = trader ? offered_.fromTrader : offered_.fromPartner;
    for (int side = 0; side < 2; ++side) {
        for (const OfferedSquare& label : s.trade.squaresOffered[static_cast<std::size_t>(side)]) {
            if (label.text.empty()) continue;
            const double square = roundHalfEven(label.typed);
            if (!isSquare(static_cast<long long>(square))) continue;
            const int price = squareInfo(static_cast<int>(square)).price;
            ((side == 1) == trader ? gets : gives) += price;
        }
    }
    return gets >= kBuyerTradeRatio * gives;
}

Action Match::randomAction() {
    std::vector<Action> available = game_.availableActions();
    std::erase_if(available, [](const Action& a) {
        return a.kind == ActionKind::Exit || a.kind == ActionKind::ChoosePlayers ||
               a.kind == ActionKind::Start;
    });
    Action action = available[static_cast<std::size_t>(rng_() % available.size())];
    if (action.kind == ActionKind::EnterSquare)
        action.text = num(static_cast<long long>(rng_() % kSquareCount));
    if (action.kind == ActionKind::EnterMoney)
        action.text = num(static_cast<long long>(rng_() % kRandomMoneyTyped));
    if (action.kind == ActionKind::FinalizeOffer) {
        action.text = num(static_cast<long long>(rng_() % kRandomMoneyTyped));
        action.otherText = num(static_cast<long long>(rng_() % kRandomMoneyTyped));
    }
    return action;
}

Action Match::buyerAction() {
    const GameState& s = game_.state;
    const int seat = s.turn;
    if (s.trade.open) return Action::closeTrade();
    const bool inDebt = s.board.giveUpEnabled && s.debtor == seat;
    if (s.houseOptions.open) {
        const int square = s.houseOptionsSquare;
        const bool mortgageable = s.owners[square] == seat && s.houses[square] == 0;
        if (inDebt && mortgageable && s.houseOptions.mortgageEnabled) return Action::toggleMortgage();
        return Action::closeHouseOptions();
    }
    if (inDebt) {
        long long raised = s.money[seat];
        int first = -1;
        for (const i16 square : ownableSquares()) {
            if (s.owners[square] != seat || s.houses[square] != 0) continue;
            raised += static_cast<long long>(roundHalfEven(s.pricePaid[square] / 2.0));
            if (first < 0) first = square;
        }
        if (raised <= 0 || first < 0) return Action::giveUp();
        return Action::openHouseOptions(first);
    }
    if (s.board.rollEnabled) return Action::roll();
    return Action::endTurn();
}

Action Match::nextAction() {
    switch (kindOf(game_.state.turn)) {
    case SeatKind::Computer: {
        const auto start = Clock::now();
        const std::optional<Action> action = computer_.nextAction(game_);
        totals_.decisionMicros.push_back(microsSince(start));
        return action.value_or(Action::endTurn());
    }
    case SeatKind::Random:
        return randomAction();
    case SeatKind::Buyer:
        return buyerAction();
    }
    return Action::endTurn();
}

void Match::play() {
    game_.apply(Action::chooseRules(options_.rules));
    game_.apply(Action::choosePlayers(static_cast<int>(options_.seats.size())));
    game_.apply(Action::start());
    long rounds = 0;
    for (long actions = 0; rounds < kRoundLimit && actions < kRoundLimit * kActionsPerRoundLimit; ++actions) {
        const Action action = nextAction();
        if (action.kind == ActionKind::FinalizeOffer)
            offered_ = {Game::readNumber(action.text), Game::readNumber(action.otherText)};
        const int before = game_.state.turn;
        const bool handsOver = action.kind == ActionKind::EndTurn && game_.state.board.endTurnEnabled;
        const ActionResult result = game_.apply(action);
        if (result == ActionResult::Refused) {
            ++totals_.refused;
            std::cerr << "refused: seat " << before << ' ' << action.describe() << '\n';
        }
        if (result == ActionResult::Ended) {
            ++totals_.finished;
            totals_.rounds.push_back(rounds);
            if (isPlayer(winner_)) ++totals_.wins[winner_];
            return;
        }
        const std::vector<std::string> broken = brokenInvariants(game_.state, handsOver);
        if (!broken.empty()) {
            ++totals_.invariantFailures;
            std::cerr << "invariant broken after " << action.describe() << ": " << broken.front() << '\n';
        }
        if (handsOver && result == ActionResult::Done && game_.state.turn < before) ++rounds;
    }
}

std::optional<SeatKind> seatKind(std::string_view name) {
    if (name == "computer") return SeatKind::Computer;
    if (name == "random") return SeatKind::Random;
    if (name == "buyer") return SeatKind::Buyer;
    return std::nullopt;
}

bool readCount(std::string_view text, long long low, long long high, long long& value) {
    if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != std::string_view::npos)
        return false;
    value = std::stoll(std::string(text));
    return value >= low && value <= high;
}

/// Reads the command line; a message on stderr and nothing when it is wrong.
std::optional<Options> readOptions(int argc, char* argv[]) {
    Options options;
    std::string seats = "computer,random,random,random";
    constexpr long long kMaxGames = 100000000;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        long long value = 0;
        if (arg == "--check") {
            options.check = true;
        } else if (arg == "--games" && hasValue && readCount(argv[i + 1], 1, kMaxGames, value)) {
            options.games = static_cast<long>(value);
            ++i;
        } else if (arg == "--seed" && hasValue && readCount(argv[i + 1], 0, INT64_MAX, value)) {
            options.seed = static_cast<std::uint64_t>(value);
            ++i;
        } else if (arg == "--seats" && hasValue) {
            seats = argv[++i];
        } else if (arg == "--rules" && hasValue) {
            const std::string wrong = readHouseRuleNames(argv[++i], options.rules);
            if (!wrong.empty()) {
                std::cerr << "dealbrix-tournament: '" << wrong
                          << "' is not a house rule; the rules are: " << houseRuleNames() << '\n';
                return std::nullopt;
            }
        } else if (arg == "--starting-money" && hasValue &&
                   readCount(argv[i + 1], kMinStartingMoney, kMaxStartingMoney, value) &&
                   validStartingMoney(value)) {
            options.rules.startingMoney = static_cast<i16>(value);
            ++i;
        } else if (arg == "--min-finished" && hasValue && readCount(argv[i + 1], 0, 100, value)) {
            options.minFinishedPercent = value;
            ++i;
        } else {
            std::cerr
                << "dealbrix-tournament: bad argument '" << arg << "'\n"
                << "usage: dealbrix-tournament [--games N] [--seats KIND,KIND[,KIND[,KIND]]] [--seed S] "
                   "[--check]\n"
                   "       [--rules LIST] [--starting-money N] [--min-finished PERCENT]\n"
                   "  KIND is computer, random or buyer; the rules are "
                << houseRuleNames() << "\n  the starting money is " << kMinStartingMoney << " to "
                << kMaxStartingMoney << " in steps of " << kStartingMoneyStep << '\n';
            return std::nullopt;
        }
    }
    std::stringstream list(seats);
    for (std::string name; std::getline(list, name, ',');) {
        const std::optional<SeatKind> kind = seatKind(name);
        if (!kind) {
            std::cerr << "dealbrix-tournament: unknown seat kind '" << name
                      << "' (computer, random or buyer)\n";
            return std::nullopt;
        }
        options.seats.push_back(*kind);
        options.seatNames.push_back(name);
    }
    if (options.seats.size() < 2 || options.seats.size() > static_cast<std::size_t>(kPlayerCount)) {
        std::cerr << "dealbrix-tournament: --seats names 2 to 4 seats\n";
        return std::nullopt;
    }
    return options;
}

template <typename T> T median(std::vector<T> values) {
    if (values.empty()) return T{};
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

} // namespace

} // namespace dealbrix

int main(int argc, char* argv[]) {
    using namespace dealbrix;
    const std::optional<Options> options = readOptions(argc, argv);
    if (!options) return kExitUsage;
    Totals totals;
    for (long g = 0; g < options->games; ++g) {
        Match match(*options, options->seed * kGameSeedStride + static_cast<std::uint64_t>(g), totals);
        match.play();
    }
    std::ostringstream json;
    json << "{\"rules\":\"" << houseRuleList(options->rules)
         << "\",\"starting_money\":" << options->rules.startingMoney << ",\"seats\":[";
    for (std::size_t k = 0; k < options->seatNames.size(); ++k)
        json << (k ? "," : "") << '"' << options->seatNames[k] << '"';
    json << "],\"games\":" << options->games << ",\"wins\":[";
    for (std::size_t k = 0; k < options->seats.size(); ++k)
        json << (k ? "," : "") << totals.wins[static_cast<int>(k) + 1];
    char decision[32];
    std::snprintf(decision, sizeof decision, "%.1f", median(totals.decisionMicros));
    json << "],\"finished\":" << totals.finished << ",\"median_rounds\":" << median(totals.rounds)
         << ",\"refused_actions\":" << totals.refused
         << ",\"invariant_failures\":" << totals.invariantFailures << ",\"decision_us_median\":" << decision
         << '}';
    std::cout << json.str() << std::endl;
    const bool fewFinished = totals.finished * 100 < options->minFinishedPercent * options->games;
    if (options->check && (totals.refused != 0 || totals.invariantFailures != 0 || fewFinished)) return 1;
    return 0;
}
