#include "random_player.h"

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
    void message(std::string_view, std::string_view) override { ++boxes; }
    bool ask(std::string_view, std::string_view) override {
        ++boxes;
        return (rng_() & 3) != 0; // Yes three times in four, so squares get bought and built on
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

// Relative weights of the actions: turns come most often, so games move on.
constexpr std::array<int, 17> kWeights{30, 24, 6, 1, 2, 1, 8, 5, 4, 5, 2, 3, 4, 6, 1, 4, 1};

Action::Kind pickKind(std::uint64_t draw) {
    int total = 0;
    for (const int w : kWeights)
        total += w;
    int x = static_cast<int>(draw % static_cast<std::uint64_t>(total));
    for (std::size_t k = 0; k < kWeights.size(); ++k) {
        if (x < kWeights[k]) return static_cast<Action::Kind>(k);
        x -= kWeights[k];
    }
    return Action::Roll;
}

} // namespace

Action actionFrom(std::uint64_t draw, std::uint64_t detail) {
    Action a;
    a.kind = pickKind(draw);
    const auto pick = [&](std::uint64_t n) {
        const auto v = static_cast<int>(detail % n);
        detail /= n;
        return v;
    };
    switch (a.kind) {
    case Action::Players:
        a.number = 2 + pick(3);
        break;
    case Action::SquareClick:
        a.number = pick(kSquareCount);
        break;
    case Action::Heading:
        a.number = 1 + pick(kPlayerCount);
        break;
    case Action::MoneyKey:
    case Action::PropertyKey:
        a.side = pick(2);
        a.number = pick(4) == 0 ? 65 : kEnterKey; // Enter mostly, another key now and then
        a.text = kTexts[static_cast<std::size_t>(pick(kTexts.size()))];
        break;
    case Action::Offer:
        a.text = std::string(kTexts[static_cast<std::size_t>(pick(kTexts.size()))]) + "|" +
                 kTexts[static_cast<std::size_t>(pick(kTexts.size()))];
        break;
    default:
        break;
    }
    return a;
}

std::string Action::describe() const {
    static constexpr std::array<const char*, 17> names{
        "Roll",        "EndTurn",     "Bankrupt",  "Players",  "Start",          "Exit",
        "SquareClick", "BuyHouse",    "SellHouse", "Mortgage", "CloseHouseWork", "Heading",
        "MoneyKey",    "PropertyKey", "Help",      "Offer",    "CloseTrade"};
    std::ostringstream out;
    out << names[kind];
    if (number != 0) out << '(' << number << ')';
    if (kind == MoneyKey || kind == PropertyKey) out << "[side " << side << "]";
    if (!text.empty()) out << " \"" << text << '"';
    return out.str();
}

bool perform(Game& game, const Action& a) {
    try {
        switch (a.kind) {
        case Action::Roll:
            game.cmdRoll_Click();
            break;
        case Action::EndTurn:
            game.cmdEndTurn_Click();
            break;
        case Action::Bankrupt:
            game.cmdBankrupt_Click();
            break;
        case Action::Players:
            game.mnuFilePlayers_Click(a.number);
            break;
        case Action::Start:
            game.mnuFileStart_Click();
            break;
        case Action::Exit:
            game.mnuFileExit_Click();
            break;
        case Action::SquareClick:
            game.Square_Click(a.number);
            break;
        case Action::BuyHouse:
            game.cmdBuyHouse_Click();
            break;
        case Action::SellHouse:
            game.cmdSellHouse_Click();
            break;
        case Action::Mortgage:
            game.cmdMortgage_Click();
            break;
        case Action::CloseHouseWork:
            game.closeHouseWork();
            break;
        case Action::Heading:
            game.lblPlayer_Click(a.number);
            break;
        case Action::MoneyKey:
            game.txtMoney_KeyDown(a.side, a.number, a.text);
            break;
        case Action::PropertyKey:
            game.txtProperty_KeyDown(a.side, a.number, a.text);
            break;
        case Action::Help:
            game.cmdHelp_Click();
            break;
        case Action::Offer: {
            const auto bar = a.text.find('|');
            game.cmdOffer_Click(a.text.substr(0, bar),
                                bar == std::string::npos ? "" : a.text.substr(bar + 1));
            break;
        }
        case Action::CloseTrade:
            game.closeTrade();
            break;
        }
    } catch (const ProgramEnded&) {
        return false;
    }
    return true;
}

RandomPlayReport playRandomly(std::uint64_t seed, long actions, bool check, long actionsPerGame) {
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
        for (long n = 0; n < actionsPerGame && report.actions < actions; ++n) {
            const std::uint64_t draw = rng();
            const Action action = actionFrom(draw, rng());
            ++report.actions;
            if (check) log.push_back(action);
            const bool handsOver = action.kind == Action::EndTurn && game.state.board.endTurnEnabled;
            const bool goesOn = perform(game, action);
            if (!goesOn) {
                if (action.kind != Action::Exit) ++report.winners;
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
                out << "  turn " << st.turn << ", players " << st.NumPlayers << ", out";
                for (int p = 1; p <= kPlayerCount; ++p)
                    out << ' ' << st.Bankrupt[p];
                out << ", money";
                for (int p = 1; p <= kPlayerCount; ++p)
                    out << ' ' << st.Money[p];
                out << ", debtor " << st.Debtor << ", saved turn " << st.SavedTurn << ", dice "
                    << st.DiceRoll[0] << ' ' << st.DiceRoll[1] << '\n';
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
