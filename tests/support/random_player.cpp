#include "random_player.h"

#include "computer_player.h"
#include "invariants.h"

#include <array>
#include <random>
#include <sstream>

namespace dealbrix::testing {

namespace {

/// Answers at random, shows nothing, records the end of the program.
class SilentUi final : public Ui {
  public:
    explicit SilentUi(std::mt19937_64& rng) : rng_(rng) {}
    void tell(const Box&) override { ++boxes; }
    bool ask(const Box&) override {
        ++boxes;
        return (rng_() & 3) != 0; // Yes three times in four, so squares get bought and built on
    }
    int askAmount(const Box& question) override {
        ++boxes;
        return randomAmount(question, rng_);
    }
    void endProgram() override { ended = true; }

    long boxes = 0;
    bool ended = false;

  private:
    std::mt19937_64& rng_;
};

const std::array<const char*, 24> kTexts{"",
                                         "0",
                                         "1",
                                         "3",
                                         "5.4",
                                         "6.5",
                                         "7.5",
                                         "12",
                                         "39",
                                         "40",
                                         "-1",
                                         "100",
                                         "-50",
                                         "12.5",
                                         "1e30",
                                         "-1e30",
                                         "  25",
                                         "abc",
                                         "nan",
                                         "inf",
                                         "e5",
                                         "+",
                                         "99999999999999999999999999999999999999",
                                         "32767"};

// Relative weights of the action kinds, in ActionKind order: turns come most often, so games move on.
constexpr std::array<int, kActionKindCount> kWeights{1, 2, 1, 30, 24, 6, 8, 5, 4, 5,
                                                     2, 3, 4, 6,  1,  4, 1, 1, 1};

int weightOf(ActionKind kind) {
    return kWeights[static_cast<std::size_t>(kind)];
}

ActionKind pickKind(std::uint64_t draw) {
    int total = 0;
    for (const int w : kWeights)
        total += w;
    int x = static_cast<int>(draw % static_cast<std::uint64_t>(total));
    for (int k = 0; k < kActionKindCount; ++k) {
        const auto kind = static_cast<ActionKind>(k);
        if (x < weightOf(kind)) return kind;
        x -= weightOf(kind);
    }
    return ActionKind::Roll;
}

/// Fills in the texts of a text action from the list of typical and hostile typing; a rules choice
/// gets a random rule set, now and then with a name or money no window would send.
void fillTexts(Action& action, const auto& pick) {
    auto text = [&] { return std::string(kTexts[static_cast<std::size_t>(pick(kTexts.size()))]); };
    if (action.kind == ActionKind::ChooseRules) {
        const HouseRules rules = randomHouseRules([&](int n) { return pick(static_cast<std::uint64_t>(n)); });
        action = Action::chooseRules(rules);
        if (pick(8) == 0) action.text += "," + text();
        if (pick(8) == 0) action.number += pick(2) == 0 ? 1 : -kMaxStartingMoney;
        return;
    }
    if (action.kind == ActionKind::EnterMoney || action.kind == ActionKind::EnterSquare) action.text = text();
    if (action.kind == ActionKind::FinalizeOffer) {
        action.text = text();
        action.otherText = text();
    }
}

} // namespace

HouseRules randomHouseRules(const std::function<int(int)>& pick) {
    HouseRules rules;
    for (int k = 0; k < kHouseRuleCount; ++k)
        rules.on[static_cast<std::size_t>(k)] = pick(2) == 1;
    const int steps = (kMaxStartingMoney - kMinStartingMoney) / kStartingMoneyStep;
    rules.startingMoney = static_cast<i16>(kMinStartingMoney + kStartingMoneyStep * pick(steps + 1));
    return rules;
}

int randomAmount(const Box& question, std::mt19937_64& rng) {
    // Passes one time in three; otherwise a bid a little above the lowest, and now and then one
    // beyond the bidder's cash, which the rules take as a pass.
    constexpr std::uint64_t kSpread = 60;
    if (rng() % 3 == 0) return 0;
    if (rng() % 16 == 0) return question.maximum + 1;
    const auto span = static_cast<std::uint64_t>(question.maximum - question.minimum) + 1;
    return question.minimum + static_cast<int>(rng() % std::min(span, kSpread));
}

Action actionFrom(std::uint64_t draw, std::uint64_t detail) {
    Action a;
    a.kind = pickKind(draw);
    const auto pick = [&](std::uint64_t n) {
        const auto v = static_cast<int>(detail % n);
        detail /= n;
        return v;
    };
    switch (a.kind) {
    case ActionKind::ChoosePlayers:
        a.number = 1 + pick(5); // 1 and 5 are refused
        break;
    case ActionKind::OpenHouseOptions:
        a.number = pick(kSquareCount + 2) - 1; // -1 and 40 are refused
        break;
    case ActionKind::ChooseTradePartner:
        a.number = pick(kPlayerCount + 2); // 0 and 5 are refused
        break;
    case ActionKind::EnterMoney:
    case ActionKind::EnterSquare:
        a.number = pick(3); // side 2 is refused
        break;
    default:
        break;
    }
    fillTexts(a, pick);
    return a;
}

Action randomAvailableAction(const Game& game, std::mt19937_64& rng, bool chooseRules) {
    std::vector<Action> available = game.availableActions();
    if (!chooseRules)
        std::erase_if(available, [](const Action& a) { return a.kind == ActionKind::ChooseRules; });
    int total = 0;
    for (const Action& a : available)
        total += weightOf(a.kind);
    // Exit and Start are always available, so the list is never empty.
    int x = static_cast<int>(rng() % static_cast<std::uint64_t>(total));
    std::size_t chosen = 0;
    while (x >= weightOf(available[chosen].kind)) {
        x -= weightOf(available[chosen].kind);
        ++chosen;
    }
    Action action = std::move(available[chosen]);
    fillTexts(action, [&rng](std::uint64_t n) { return static_cast<int>(rng() % n); });
    return action;
}

RandomPlayReport playRandomly(std::uint64_t seed, long actions, bool check, long actionsPerGame,
                              bool houseRules) {
    RandomPlayReport report;
    report.seed = seed;
    std::mt19937_64 rng(seed);
    SilentUi ui(rng);
    SeededRandom random(rng);
    while (report.actions < actions) {
        ++report.games;
        Game game(ui, random);
        ui.ended = false;
        std::vector<Action> log;
        if (houseRules) {
            const Action rules =
                Action::chooseRules(randomHouseRules([&rng](int n) { return static_cast<int>(rng() % n); }));
            game.apply(rules);
            if (check) log.push_back(rules);
        }
        // Random play alone hardly ever makes a whole group, so with the house rules every other action
        // is the computer's: it buys, builds, mortgages and bids the way a table does.
        ComputerPlayer computer({}, seed + static_cast<std::uint64_t>(report.games));
        for (long n = 0; n < actionsPerGame && report.actions < actions; ++n) {
            std::optional<Action> planned;
            if (houseRules && (rng() & 1) != 0) planned = computer.nextAction(game);
            const Action action = planned ? *planned : randomAvailableAction(game, rng, houseRules);
            ++report.actions;
            if (check) log.push_back(action);
            const bool handsOver = action.kind == ActionKind::EndTurn && game.state.board.endTurnEnabled;
            const ActionResult result = game.apply(action);
            if (result == ActionResult::Refused) ++report.refused;
            if (result == ActionResult::Ended) {
                if (action.kind != ActionKind::Exit) ++report.winners;
                break;
            }
            if (!check) continue;
            const auto broken = brokenInvariants(game.state, handsOver);
            if (!broken.empty()) {
                std::ostringstream out;
                out << "seed " << seed << ", game " << report.games << ": after action " << log.size() << " ("
                    << action.describe() << "):\n";
                for (const auto& line : broken)
                    out << "  " << line << '\n';
                const GameState& st = game.state;
                out << "  turn " << st.turn << ", players " << st.playerCount << ", out";
                for (int p = 1; p <= kPlayerCount; ++p)
                    out << ' ' << st.seatOut[p];
                out << ", money";
                for (int p = 1; p <= kPlayerCount; ++p)
                    out << ' ' << st.money[p];
                out << ", debtor " << st.debtor << ", saved turn " << st.turnAfterDebt << ", dice "
                    << st.diceRoll[0] << ' ' << st.diceRoll[1] << '\n';
                out << "actions of this game:";
                for (const Action& done : log)
                    out << "\n  " << done.describe();
                report.failure = out.str();
                report.boxes = ui.boxes;
                return report;
            }
        }
    }
    report.boxes = ui.boxes;
    return report;
}

} // namespace dealbrix::testing
