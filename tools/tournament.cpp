// dealbrix-tournament: whole games between the computer's levels, an exploiter of its trading, and
// random and buyer seats, through the engine with seeded dice and no windows. The last line of the
// output is one JSON object with the results.
//
//   dealbrix-tournament --games 300 --seats hard,normal,normal,normal --seed 1 [--jobs 2] [--check]
//                       [--rules LIST] [--starting-money N] [--min-finished PERCENT]

#include "computer_player.h"
#include "invariants.h"
#include "random_player.h"

#include <deque>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace dealbrix {

namespace {

constexpr int kRoundLimit = 1000;
constexpr long kActionsPerRoundLimit = 2000; // a safety net for seats that dither; never reached in play
constexpr double kBuyerTradeRatio = 1.5;     // a buyer wants this much for what it gives
constexpr int kRandomMoneyTyped = 300;       // random seats type amounts below this
constexpr int kExitUsage = 2;
constexpr std::uint64_t kGameSeedStride = 1000003; // games of different seeds never share dice

constexpr int kExploitMoneySteps = 16;   // amounts the exploiter tries in an offer
constexpr int kExploitMoneyStride = 40;  // dollars between them
constexpr int kExploitCheapProbes = 400; // rivals' answers it may ask for in one turn (Normal, Easy, buyer)
constexpr int kExploitHardProbes = 6;    // the same against Hard, whose every answer is a look-ahead
constexpr double kExploitMargin = 10;    // what an offer must gain the exploiter, by its own judgement

enum class SeatKind { Easy, Normal, Hard, Exploiter, Random, Buyer };

struct Options {
    long games = 300;
    std::vector<SeatKind> seats;
    std::vector<std::string> seatNames;
    std::uint64_t seed = 1;
    int jobs = 1;
    bool check = false;
    LookaheadBudget budget{};
    HouseRules rules;
    long long minFinishedPercent = 0; // with --check, fewer finished games fail the run
};

struct Totals {
    PlayerArray<long> wins{};
    long finished = 0;
    std::vector<long> rounds; // of the finished games
    long refused = 0;
    long invariantFailures = 0;
    PlayerArray<std::vector<double>> decisionMicros{};
    long exploitOffers = 0;
    long exploitAccepted = 0;

    void add(const Totals& other) {
        for (int seat = 1; seat <= kPlayerCount; ++seat) {
            wins[seat] += other.wins[seat];
            decisionMicros[seat].insert(decisionMicros[seat].end(), other.decisionMicros[seat].begin(),
                                        other.decisionMicros[seat].end());
        }
        finished += other.finished;
        rounds.insert(rounds.end(), other.rounds.begin(), other.rounds.end());
        refused += other.refused;
        invariantFailures += other.invariantFailures;
        exploitOffers += other.exploitOffers;
        exploitAccepted += other.exploitAccepted;
    }
};

bool isComputer(SeatKind kind) {
    return kind == SeatKind::Easy || kind == SeatKind::Normal || kind == SeatKind::Hard ||
           kind == SeatKind::Exploiter;
}

ComputerLevel levelOf(SeatKind kind) {
    if (kind == SeatKind::Easy) return ComputerLevel::Easy;
    if (kind == SeatKind::Hard) return ComputerLevel::Hard;
    return ComputerLevel::Normal;
}

/// The time this thread has run, so a decision is not charged for the moments another process held
/// the core.
struct Clock {
    using time_point = double;
    static double now() {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) / 1e3;
    }
};

double microsSince(double start) {
    return Clock::now() - start;
}

/// One game: the seats' kinds, the engine, and the screen that answers for every seat.
class Match final : public Ui {
  public:
    Match(const Options& options, std::uint64_t seed, Totals& totals)
        : options_(options), totals_(totals), rng_(seed), dice_(rng_), computer_({}, seed, options.budget),
          game_(*this, dice_) {
        for (int seat = 1; seat <= static_cast<int>(options_.seats.size()); ++seat)
            computer_.setLevel(seat, levelOf(kindOf(seat)));
    }

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
    bool buyerAccepts(const GameState& s, int seat, const OfferedMoney& offered) const;
    /// Would `rival` say Yes to the offer `trial` holds? Asks its own answer, as the question would.
    bool wouldAccept(const GameState& trial, int rival, const OfferedMoney& offered);
    /// The exploiter's offers of this turn: to each rival, the best for itself that the rival accepts.
    void planExploits();

    const Options& options_;
    Totals& totals_;
    std::mt19937_64 rng_;
    testing::SeededRandom dice_;
    ComputerPlayer computer_;
    Game game_;
    OfferedMoney offered_{};
    int winner_ = 0;
    std::deque<Action> exploits_;         // the exploiter's offer steps still to take
    long exploitedTurn_ = -1;             // the hand-over count of the exploiter's turn now
    PlayerArray<bool> exploitedRivals_{}; // rivals it has searched an offer for in that turn
    long handOvers_ = 0;
    bool exploitPending_ = false; // an exploiter offer has been put and not yet answered
};

bool Match::ask(const Box& question) {
    const GameState& s = game_.state;
    const auto start = Clock::now();
    bool yes = false;
    const SeatKind kind = kindOf(question.seat);
    if (isComputer(kind))
        yes = computer_.answer(s, question, offered_);
    else if (kind == SeatKind::Random)
        yes = (rng_() & 1) != 0;
    else if (question.kind == BoxKind::PurchaseOffer)
        yes = s.money[question.seat] >= question.amount;
    else if (question.kind == BoxKind::TradeQuestion)
        yes = buyerAccepts(s, question.seat, offered_);
    else
        yes = true; // the jail card; a buyer never asks for a house
    totals_.decisionMicros[question.seat].push_back(microsSince(start));
    if (question.kind == BoxKind::TradeQuestion && exploitPending_) {
        exploitPending_ = false;
        if (yes) ++totals_.exploitAccepted;
    }
    return yes;
}

int Match::askAmount(const Box& question) {
    const auto start = Clock::now();
    int amount = 0;
    const SeatKind kind = kindOf(question.seat);
    if (isComputer(kind))
        amount = computer_.bid(game_.state, question);
    else if (kind == SeatKind::Random)
        amount = testing::randomAmount(question, rng_);
    else if (isSquare(question.square) && question.minimum <= squareInfo(question.square).price)
        amount = question.minimum; // a buyer goes up to the bank's price, as it would have paid
    totals_.decisionMicros[question.seat].push_back(microsSince(start));
    return amount;
}

bool Match::buyerAccepts(const GameState& s, int seat, const OfferedMoney& offered) const {
    // What it gets and what it gives: money, and squares at their price.
    const bool trader = seat == s.turn;
    double gets = trader ? offered.fromPartner : offered.fromTrader;
    double gives = trader ? offered.fromTrader : offered.fromPartner;
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

bool Match::wouldAccept(const GameState& trial, int rival, const OfferedMoney& offered) {
    const Box question{.kind = BoxKind::TradeQuestion, .seat = rival, .turn = trial.turn};
    const SeatKind kind = kindOf(rival);
    if (isComputer(kind)) return computer_.answer(trial, question, offered);
    if (kind == SeatKind::Buyer) return buyerAccepts(trial, rival, offered);
    return false; // a random seat's answer cannot be known
}

void Match::planExploits() {
    const GameState& s = game_.state;
    const int seat = s.turn;
    struct Candidate {
        int rival;
        int wanted; // -1 none
        int given;  // -1 none
        int money;  // from the exploiter; negative when the rival pays
        double gain;
    };
    const auto outright = [&](int square, int owner) {
        if (s.owners[square] != owner) return false;
        // A square whose group has houses is out of any trade the exploiter makes.
        if (const ColourGroup* group = colourGroupOf(square))
            for (int k = 0; k < group->size; ++k)
                if (s.houses[group->squares[static_cast<std::size_t>(k)]] != 0) return false;
        return true;
    };
    const auto trialOf = [&](const Candidate& c) {
        GameState trial = s;
        trial.trade = TradeView{};
        trial.tradePartner = static_cast<i16>(c.rival);
        if (c.wanted >= 0)
            trial.trade.squaresOffered[1][0] = {std::string(squareTitle(c.wanted)),
                                                static_cast<double>(c.wanted)};
        if (c.given >= 0)
            trial.trade.squaresOffered[0][0] = {std::string(squareTitle(c.given)),
                                                static_cast<double>(c.given)};
        return trial;
    };
    const auto moneyOf = [](const Candidate& c) {
        return OfferedMoney{c.money > 0 ? static_cast<double>(c.money) : 0.0,
                            c.money < 0 ? static_cast<double>(-c.money) : 0.0};
    };
    for (int rival = 1; rival <= s.playerCount; ++rival) {
        if (rival == seat || !inPlay(s, rival) || kindOf(rival) == SeatKind::Random) continue;
        if (exploitedRivals_[rival]) continue;
        exploitedRivals_[rival] = true;
        std::vector<Candidate> candidates;
        for (int wanted = -1; wanted < kSquareCount; ++wanted) {
            if (wanted >= 0 && (!isOwnable(wanted) || !outright(wanted, rival))) continue;
            for (int given = -1; given < kSquareCount; ++given) {
                if (given >= 0 && (!isOwnable(given) || !outright(given, seat))) continue;
                if (wanted < 0 && given < 0) continue;
                for (int step = -kExploitMoneySteps; step <= kExploitMoneySteps; ++step) {
                    const int money = step * kExploitMoneyStride;
                    if (money > 0 && s.money[seat] - money < computer_.weights().cashFloor) continue;
                    if (money < 0 && s.money[rival] + money < 0) continue;
                    if (s.money[rival] + money > kMax16 || s.money[seat] - money > kMax16) continue;
                    Candidate c{rival, wanted, given, money, 0};
                    c.gain = computer_.tradeGain(trialOf(c), seat, moneyOf(c));
                    if (c.gain >= kExploitMargin) candidates.push_back(c);
                }
            }
        }
        std::stable_sort(candidates.begin(), candidates.end(),
                         [](const Candidate& a, const Candidate& b) { return a.gain > b.gain; });
        const int probes = kindOf(rival) == SeatKind::Hard ? kExploitHardProbes : kExploitCheapProbes;
        for (int k = 0; k < static_cast<int>(candidates.size()) && k < probes; ++k) {
            const Candidate& c = candidates[static_cast<std::size_t>(k)];
            if (!wouldAccept(trialOf(c), rival, moneyOf(c))) continue;
            const std::string ours = c.money > 0 ? num(c.money) : "0";
            const std::string theirs = c.money < 0 ? num(-c.money) : "0";
            exploits_.push_back(Action::chooseTradePartner(rival));
            if (c.wanted >= 0) exploits_.push_back(Action::enterSquare(1, num(c.wanted)));
            if (c.given >= 0) exploits_.push_back(Action::enterSquare(0, num(c.given)));
            if (c.money > 0) exploits_.push_back(Action::enterMoney(0, ours));
            if (c.money < 0) exploits_.push_back(Action::enterMoney(1, theirs));
            exploits_.push_back(Action::finalizeOffer(ours, theirs));
            exploits_.push_back(Action::closeTrade());
            break; // one offer to each rival; the next rival is judged after it, as things then stand
        }
        if (!exploits_.empty()) return;
    }
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
    const int seat = game_.state.turn;
    const auto start = Clock::now();
    Action action = Action::endTurn();
    switch (kindOf(seat)) {
    case SeatKind::Exploiter: {
        const GameState& s = game_.state;
        // Once a turn, before the roll, with no window open and no debt: an offer to each rival in turn.
        const bool calm = s.board.rollEnabled && !s.trade.open && !s.houseOptions.open && s.debtor == 0;
        if (exploitedTurn_ != handOvers_) {
            exploitedTurn_ = handOvers_;
            exploitedRivals_ = {};
        }
        if (exploits_.empty() && calm) planExploits();
        if (!exploits_.empty() && game_.isAvailable(exploits_.front())) {
            action = exploits_.front();
            exploits_.pop_front();
            if (action.kind == ActionKind::FinalizeOffer) {
                ++totals_.exploitOffers;
                exploitPending_ = true;
            }
            break;
        }
        exploits_.clear();
        [[fallthrough]];
    }
    case SeatKind::Easy:
    case SeatKind::Normal:
    case SeatKind::Hard:
        action = computer_.nextAction(game_).value_or(Action::endTurn());
        break;
    case SeatKind::Random:
        action = randomAction();
        break;
    case SeatKind::Buyer:
        action = buyerAction();
        break;
    }
    totals_.decisionMicros[seat].push_back(microsSince(start));
    return action;
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
        exploitPending_ = false; // an offer refused before its question was asked
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
        if (handsOver && result == ActionResult::Done) {
            ++handOvers_;
            if (game_.state.turn < before) ++rounds;
        }
    }
}

std::optional<SeatKind> seatKind(std::string_view name) {
    if (name == "easy") return SeatKind::Easy;
    if (name == "normal" || name == "computer") return SeatKind::Normal;
    if (name == "hard") return SeatKind::Hard;
    if (name == "exploiter") return SeatKind::Exploiter;
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
    constexpr long long kMaxJobs = 64;
    constexpr long long kMaxBudget = 1000;
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
        } else if (arg == "--jobs" && hasValue && readCount(argv[i + 1], 1, kMaxJobs, value)) {
            options.jobs = static_cast<int>(value);
            ++i;
        } else if (arg == "--playouts" && hasValue && readCount(argv[i + 1], 1, kMaxBudget, value)) {
            options.budget.playouts = static_cast<int>(value);
            ++i;
        } else if (arg == "--rounds" && hasValue && readCount(argv[i + 1], 1, kMaxBudget, value)) {
            options.budget.rounds = static_cast<int>(value);
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
                   "[--jobs N] [--playouts N] [--rounds N] [--check]\n"
                   "       [--rules LIST] [--starting-money N] [--min-finished PERCENT]\n"
                   "  KIND is easy, normal (or computer), hard, exploiter, random or buyer; the rules are "
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
                      << "' (easy, normal, computer, hard, exploiter, random or buyer)\n";
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
    // Each game has its own seed, so the results are the same whatever the number of jobs.
    std::vector<Totals> parts(static_cast<std::size_t>(options->jobs));
    std::atomic<long> nextGame{0};
    auto work = [&](Totals& totals) {
        for (long g = nextGame++; g < options->games; g = nextGame++) {
            Match match(*options, options->seed * kGameSeedStride + static_cast<std::uint64_t>(g), totals);
            match.play();
        }
    };
    std::vector<std::thread> workers;
    for (std::size_t k = 1; k < parts.size(); ++k)
        workers.emplace_back(work, std::ref(parts[k]));
    work(parts[0]);
    for (std::thread& worker : workers)
        worker.join();
    Totals totals;
    for (const Totals& part : parts)
        totals.add(part);
    std::ostringstream json;
    json << "{\"rules\":\"" << houseRuleList(options->rules)
         << "\",\"starting_money\":" << options->rules.startingMoney << ",\"seats\":[";
    for (std::size_t k = 0; k < options->seatNames.size(); ++k)
        json << (k ? "," : "") << '"' << options->seatNames[k] << '"';
    json << "],\"games\":" << options->games << ",\"wins\":[";
    for (std::size_t k = 0; k < options->seats.size(); ++k)
        json << (k ? "," : "") << totals.wins[static_cast<int>(k) + 1];
    const auto micros = [](double value) {
        char text[32];
        std::snprintf(text, sizeof text, "%.1f", value);
        return std::string(text);
    };
    std::vector<double> computerDecisions;
    std::string medians;
    std::string slowest;
    for (std::size_t k = 0; k < options->seats.size(); ++k) {
        const std::vector<double>& times = totals.decisionMicros[static_cast<int>(k) + 1];
        if (isComputer(options->seats[k]))
            computerDecisions.insert(computerDecisions.end(), times.begin(), times.end());
        medians += (k ? "," : "") + micros(median(times));
        slowest +=
            (k ? "," : "") + micros(times.empty() ? 0.0 : *std::max_element(times.begin(), times.end()));
    }
    json << "],\"finished\":" << totals.finished << ",\"median_rounds\":" << median(totals.rounds)
         << ",\"refused_actions\":" << totals.refused
         << ",\"invariant_failures\":" << totals.invariantFailures
         << ",\"decision_us_median\":" << micros(median(computerDecisions))
         << ",\"seat_decision_us_median\":[" << medians << "],\"seat_decision_us_max\":[" << slowest
         << "],\"exploiter_offers\":" << totals.exploitOffers
         << ",\"exploiter_offers_accepted\":" << totals.exploitAccepted << '}';
    std::cout << json.str() << std::endl;
    const bool fewFinished = totals.finished * 100 < options->minFinishedPercent * options->games;
    if (options->check && (totals.refused != 0 || totals.invariantFailures != 0 || fewFinished)) return 1;
    return 0;
}
