#include "saved_game.h"

#include "file_syncer.h"

#include "board.h"
#include "invariants.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>
#include <limits>
#include <utility>

namespace dealbrix {

namespace {

constexpr qsizetype kMaxLabelLength = 200; // every label the game writes is far shorter
constexpr qsizetype kMaxLogLineLength = 1000;
constexpr double kMaxActions = 9007199254740992.0; // 2^53: every whole number below is exact in JSON
constexpr int kDiceTotalMax = 12;

QString text(const std::string& s) {
    return QString::fromStdString(s);
}

// --- Reading ---------------------------------------------------------------------------------------

/// Why a file is refused; thrown from deep inside the reader and caught at its top.
struct Refusal {
    QString reason;
};

/// What a value of the file is, as a refusal names it. It is put into words only when a file is
/// refused: the network reads every state it is sent, and words for every field would cost more than
/// the reading.
class What {
  public:
    What(const char* text) : pattern_(text) {} // NOLINT(google-explicit-constructor): a fixed name
    What(QString text) : fixed_(std::move(text)), isFixed_(true) {} // NOLINT(google-explicit-constructor)
    /// `pattern` with %1 the name and %2 the number, e.g. "%1 of player %2".
    What(const char* pattern, const char* name, int number)
        : pattern_(pattern), name_(name), numbers_{number, 0}, count_(1) {}
    /// `pattern` with %1 and %2 the numbers given.
    What(const char* pattern, int first) : pattern_(pattern), numbers_{first, 0}, count_(1) {}
    What(const char* pattern, int first, int second)
        : pattern_(pattern), numbers_{first, second}, count_(2) {}

    QString text() const {
        if (isFixed_) return fixed_;
        QString words = QString::fromLatin1(pattern_);
        if (name_ != nullptr) words = words.arg(QLatin1String(name_));
        for (int i = 0; i < count_; ++i)
            words = words.arg(numbers_[static_cast<std::size_t>(i)]);
        return words;
    }

  private:
    const char* pattern_ = "";
    QString fixed_;
    bool isFixed_ = false;
    const char* name_ = nullptr;
    std::array<int, 2> numbers_{};
    int count_ = 0;
};

[[noreturn]] void damaged(const QString& why) {
    throw Refusal{QStringLiteral("The file is damaged: %1.").arg(why)};
}

QJsonValue field(const QJsonObject& object, const char* key, const What& what) {
    const auto found = object.constFind(QLatin1String(key));
    if (found == object.constEnd()) damaged(QStringLiteral("%1 is missing").arg(what.text()));
    return *found;
}

QJsonObject objectOf(const QJsonValue& value, const What& what) {
    if (!value.isObject()) damaged(QStringLiteral("%1 is not a group of values").arg(what.text()));
    return value.toObject();
}

/// An array of exactly `size` entries (any size when negative).
QJsonArray arrayOf(const QJsonValue& value, const What& what, qsizetype size = -1) {
    if (!value.isArray()) damaged(QStringLiteral("%1 is not a list").arg(what.text()));
    QJsonArray array = value.toArray();
    if (size >= 0 && array.size() != size)
        damaged(
            QStringLiteral("%1 has %2 entries instead of %3").arg(what.text()).arg(array.size()).arg(size));
    return array;
}

bool flagOf(const QJsonValue& value, const What& what) {
    if (!value.isBool()) damaged(QStringLiteral("%1 is not true or false").arg(what.text()));
    return value.toBool();
}

std::string textOf(const QJsonValue& value, const What& what, qsizetype maxLength = kMaxLabelLength) {
    if (!value.isString()) damaged(QStringLiteral("%1 is not a text").arg(what.text()));
    const QString s = value.toString();
    if (s.size() > maxLength)
        damaged(QStringLiteral("%1 is %2 characters long").arg(what.text()).arg(s.size()));
    return s.toStdString();
}

/// A whole number the game can hold in 16 bits, and within low..high.
i16 numberOf(const QJsonValue& value, const What& what, int low = kMin16, int high = kMax16) {
    const double d = value.toDouble();
    if (!value.isDouble() || d != std::floor(d))
        damaged(QStringLiteral("%1 is not a whole number").arg(what.text()));
    if (d < kMin16 || d > kMax16)
        damaged(
            QStringLiteral("%1 is %2, beyond what the game can hold").arg(what.text()).arg(d, 0, 'g', 17));
    const int n = static_cast<int>(d);
    if (n < low || n > high)
        damaged(QStringLiteral("%1 is %2, outside %3..%4").arg(what.text()).arg(n).arg(low).arg(high));
    return static_cast<i16>(n);
}

i16 numberField(const QJsonObject& o, const char* key, const What& what, int low = kMin16,
                int high = kMax16) {
    return numberOf(field(o, key, what), what, low, high);
}

What ofPlayer(const char* what, int p) {
    return {"%1 of player %2", what, p};
}

What ofSquare(const char* what, int sq) {
    return {"%1 of square %2", what, sq};
}

void readPlayers(const QJsonObject& top, GameState& s) {
    const QJsonArray players =
        arrayOf(field(top, "players", "players"), QStringLiteral("players"), kPlayerCount);
    s.grid.ticked = {}; // a state read again over an older one keeps none of its ticks
    for (int p = 1; p <= kPlayerCount; ++p) {
        const QJsonObject o = objectOf(players[p - 1], What("player %1", p));
        s.money[p] = numberField(o, "money", ofPlayer("money", p));
        s.positions[p] = numberField(o, "position", ofPlayer("position", p), 0, kSquareCount - 1);
        s.jailTurns[p] = numberField(o, "jailTurns", ofPlayer("jail counter", p), 0, 4);
        s.jailCards[p] = numberField(o, "jailCards", ofPlayer("jail cards", p), 0, kMax16);
        s.seatOut[p] = flagOf(field(o, "out", ofPlayer("seat", p)), ofPlayer("seat", p)) ? kTrue : 0;
        s.board.moneyLabels[p] =
            textOf(field(o, "moneyLabel", ofPlayer("money label", p)), ofPlayer("money label", p));
        const QJsonObject token = objectOf(field(o, "token", ofPlayer("token", p)), ofPlayer("token", p));
        TokenView& t = s.board.tokens[p];
        t.square = numberField(token, "square", ofPlayer("token square", p), 0, kSquareCount - 1);
        t.stack = numberField(token, "stack", ofPlayer("token place", p), 0, kPlayerCount - 1);
        t.moved = flagOf(field(token, "moved", ofPlayer("token moved", p)), ofPlayer("token moved", p));
        t.visible = flagOf(field(token, "visible", ofPlayer("token shown", p)), ofPlayer("token shown", p));
        const What ticksName = ofPlayer("grid ticks", p);
        for (const QJsonValue sq : arrayOf(field(o, "gridTicks", ticksName), ticksName))
            s.grid.ticked[p][numberOf(sq, ticksName, 0, kSquareCount - 1)] = true;
    }
}

/// A whole number of the statistics, within low..high.
int countOf(const QJsonValue& value, const What& what, int low, int high) {
    const double d = value.toDouble();
    if (!value.isDouble() || d != std::floor(d) || d < low || d > high)
        damaged(QStringLiteral("%1 is not a whole number from %2 to %3").arg(what.text()).arg(low).arg(high));
    return static_cast<int>(d);
}

void readNames(const QJsonObject& top, GameState& s) {
    const QJsonArray players = top.value(QLatin1String("players")).toArray();
    PlayerArray<std::string> names;
    for (int p = 1; p <= kPlayerCount; ++p) {
        const QJsonObject o = players[p - 1].toObject();
        // Files from before names, and seats without one, have none.
        if (o.contains(QLatin1String("name")))
            names[p] = textOf(o.value(QLatin1String("name")), ofPlayer("name", p));
    }
    // A name is written as the check leaves it, so a name it would refuse or change was not ours.
    const NameCheck check = checkNames(names);
    for (int p = 1; p <= kPlayerCount; ++p)
        if (p == check.seat || check.names[p] != names[p])
            damaged(QStringLiteral("the name of player %1 is not one a seat can carry").arg(p));
    s.names = names;
}

/// Reads the statistics; with `changed`, the history member of a change, only the parts it names (the
/// worth by round grows all game, and most moves change only the landings).
void readHistory(const QJsonObject& top, GameState& s, const QJsonObject* changed = nullptr) {
    // Files from before the statistics have none; the game goes on without its past.
    if (!top.contains(QLatin1String("history"))) {
        s.history = {};
        return;
    }
    const QString name = QStringLiteral("the statistics");
    const QJsonObject o = objectOf(top.value(QLatin1String("history")), name);
    GameHistory& h = s.history;
    const auto named = [changed](const char* key) {
        return changed == nullptr || changed->contains(QLatin1String(key));
    };
    if (named("landings") || named("rounds") || named("worth")) {
        const QJsonArray landings =
            arrayOf(field(o, "landings", name), QStringLiteral("the landings"), kSquareCount);
        for (int sq = 0; sq < kSquareCount; ++sq)
            h.landings[sq] =
                countOf(landings[sq], ofSquare("landings", sq), 0, std::numeric_limits<int>::max());
    }
    if (!named("rounds") && !named("worth")) return;
    h.worth.clear();
    h.rounds = countOf(field(o, "rounds", name), QStringLiteral("the rounds played"), 0,
                       std::numeric_limits<int>::max());
    // A seat's worth is its cash and what its squares and houses cost, far inside these bounds.
    constexpr int kWorthBound = 1 << 24;
    const QJsonArray worth = arrayOf(field(o, "worth", name), QStringLiteral("the worth by round"));
    if (worth.size() > kMaxRoundsKept) damaged(QStringLiteral("the statistics hold too many rounds"));
    for (const QJsonValue row : worth) {
        const QJsonArray values = arrayOf(row, QStringLiteral("a round's worth"), kPlayerCount + 1);
        RoundWorth entry{.round = countOf(values[0], QStringLiteral("a round number"), 0, h.rounds)};
        if (!h.worth.empty() && entry.round <= h.worth.back().round)
            damaged(QStringLiteral("the rounds of the statistics are out of order"));
        for (int p = 1; p <= kPlayerCount; ++p)
            entry.worth[p] = countOf(values[p], QStringLiteral("a round's worth"), -kWorthBound, kWorthBound);
        h.worth.push_back(entry);
    }
}

void readSquares(const QJsonObject& top, GameState& s) {
    const QJsonArray owners = arrayOf(field(top, "owners", "owners"), QStringLiteral("owners"), kSquareCount);
    const QJsonArray houses = arrayOf(field(top, "houses", "houses"), QStringLiteral("houses"), kSquareCount);
    const QJsonArray paid =
        arrayOf(field(top, "pricePaid", "prices paid"), QStringLiteral("prices paid"), kSquareCount);
    for (int sq = 0; sq < kSquareCount; ++sq) {
        const auto i = static_cast<qsizetype>(sq);
        s.owners[sq] = numberOf(owners[i], ofSquare("owner", sq), 0, 2 * kPlayerCount);
        s.houses[sq] = numberOf(houses[i], ofSquare("houses", sq), 0, 5);
        if (s.houses[sq] > 0 && colourGroupOf(sq) == nullptr)
            damaged(QStringLiteral("square %1 (%2) takes no houses but has %3")
                        .arg(sq)
                        .arg(text(std::string(squareTitle(sq))))
                        .arg(s.houses[sq]));
        s.pricePaid[sq] = numberOf(paid[i], ofSquare("price paid", sq));
    }
}

void readDecks(const QJsonObject& top, GameState& s) {
    const QJsonArray decks = arrayOf(field(top, "decks", "decks"), QStringLiteral("decks"), 2);
    for (int deck = 1; deck <= 2; ++deck) {
        const QString name = QStringLiteral("deck %1").arg(deck);
        const QJsonObject o = objectOf(decks[deck - 1], name);
        const QJsonArray cards = arrayOf(field(o, "cards", name), name, kCardsPerDeck);
        std::array<bool, kCardsPerDeck + 1> seen{};
        for (int pos = 1; pos <= kCardsPerDeck; ++pos) {
            const i16 card = numberOf(cards[pos - 1], QStringLiteral("card %1 of %2").arg(pos).arg(name), 1,
                                      kCardsPerDeck);
            if (seen[static_cast<std::size_t>(card)])
                damaged(
                    QStringLiteral("%1 is not a shuffle of the cards 1 to %2").arg(name).arg(kCardsPerDeck));
            seen[static_cast<std::size_t>(card)] = true;
            s.decks[deck][pos] = card;
        }
        s.nextCard[deck] =
            numberField(o, "next", QStringLiteral("next position of %1").arg(name), 1, kCardsPerDeck);
    }
}

void readBoard(const QJsonObject& top, GameState& s) {
    const QJsonObject o = objectOf(field(top, "board", "board"), QStringLiteral("board"));
    BoardView& b = s.board;
    b.rollEnabled = flagOf(field(o, "rollEnabled", "Roll button"), QStringLiteral("Roll button"));
    b.endTurnEnabled =
        flagOf(field(o, "endTurnEnabled", "End Turn button"), QStringLiteral("End Turn button"));
    b.giveUpEnabled = flagOf(field(o, "giveUpEnabled", "give-up button"), QStringLiteral("give-up button"));
    b.turnLabel = textOf(field(o, "turnLabel", "turn label"), QStringLiteral("turn label"));
    const QJsonArray dice = arrayOf(field(o, "dice", "dice shown"), QStringLiteral("dice shown"), 2);
    for (int k = 1; k <= 2; ++k)
        b.dice[k] = numberOf(dice[k - 1], What("die %1 shown", k), 0, 6);
    b.checkedPlayers =
        numberField(o, "checkedPlayers", QStringLiteral("Players item ticked"), 2, kPlayerCount);
}

void readHouseOptions(const QJsonObject& top, GameState& s) {
    const QString name = QStringLiteral("House Options window");
    const QJsonObject o = objectOf(field(top, "houseOptions", name), name);
    HouseOptionsView& h = s.houseOptions;
    h.open = flagOf(field(o, "open", name), name);
    h.titleSquare = numberField(o, "titleSquare", QStringLiteral("House Options title"), 0, kSquareCount - 1);
    h.buyEnabled = flagOf(field(o, "buyEnabled", "Buy House button"), QStringLiteral("Buy House button"));
    h.sellEnabled = flagOf(field(o, "sellEnabled", "Sell House button"), QStringLiteral("Sell House button"));
    h.mortgageEnabled =
        flagOf(field(o, "mortgageEnabled", "Mortgage button"), QStringLiteral("Mortgage button"));
    h.mortgageCaption =
        textOf(field(o, "mortgageCaption", "Mortgage caption"), QStringLiteral("Mortgage caption"));
}

void readTrade(const QJsonObject& top, GameState& s) {
    const QString name = QStringLiteral("trade window");
    const QJsonObject o = objectOf(field(top, "trade", name), name);
    TradeView& t = s.trade;
    t.open = flagOf(field(o, "open", name), name);
    t.traderName = textOf(field(o, "traderName", "trader's name"), QStringLiteral("trader's name"));
    t.partnerName = textOf(field(o, "partnerName", "partner's name"), QStringLiteral("partner's name"));
    const QJsonArray money =
        arrayOf(field(o, "moneyOffered", "money offered"), QStringLiteral("money offered"), 2);
    const QJsonArray sides =
        arrayOf(field(o, "squaresOffered", "squares offered"), QStringLiteral("squares offered"), 2);
    for (std::size_t side = 0; side < 2; ++side) {
        const auto i = static_cast<qsizetype>(side);
        const int sideNumber = static_cast<int>(side);
        t.moneyOffered[side] = textOf(money[i], What("money offered by side %1", sideNumber));
        const QJsonArray labels =
            arrayOf(sides[i], What("squares offered by side %1", sideNumber), kOfferedSquaresPerSide);
        for (std::size_t k = 0; k < kOfferedSquaresPerSide; ++k) {
            const What labelName("line %1 of squares offered by side %2", static_cast<int>(k) + 1,
                                 sideNumber);
            const QJsonObject label = objectOf(labels[static_cast<qsizetype>(k)], labelName);
            OfferedSquare& line = t.squaresOffered[side][k];
            line.text = textOf(field(label, "text", labelName), labelName);
            const QJsonValue typed = field(label, "typed", labelName);
            if (!typed.isDouble())
                damaged(QStringLiteral("the number typed in %1 is not a number").arg(labelName.text()));
            line.typed = typed.toDouble();
        }
    }
}

/// Whether a file's fields must hold the house rules: a saved game of the current version does; an
/// older one, and state fields on their own, may leave them out for a game with every rule off.
enum class RulesField { Required, Optional };

void readHouseRules(const QJsonObject& top, GameState& s, RulesField need) {
    const QString name = QStringLiteral("house rules");
    if (need == RulesField::Optional && !top.contains(QLatin1String("houseRules"))) return;
    const QJsonObject o = objectOf(field(top, "houseRules", name), name);
    HouseRules rules;
    for (const QJsonValue value : arrayOf(field(o, "chosen", name), QStringLiteral("the rules chosen"))) {
        const std::string ruleName = textOf(value, QStringLiteral("a house rule"));
        const std::optional<HouseRule> rule = houseRuleNamed(ruleName);
        if (!rule) damaged(QStringLiteral("'%1' is not a house rule").arg(text(ruleName)));
        rules.set(*rule, true);
    }
    rules.startingMoney = numberField(o, "startingMoney", QStringLiteral("starting money"), kMinStartingMoney,
                                      kMaxStartingMoney);
    s.rules = rules;
    s.pot = numberField(o, "pot", QStringLiteral("Free Parking pot"), 0, kMax16);
    s.housesInBank = numberField(o, "housesInBank", QStringLiteral("houses in the bank"), 0, kBankHouses);
    s.hotelsInBank = numberField(o, "hotelsInBank", QStringLiteral("hotels in the bank"), 0, kBankHotels);
    const QJsonArray creditors =
        arrayOf(field(o, "creditors", name), QStringLiteral("creditors"), kPlayerCount);
    for (int p = 1; p <= kPlayerCount; ++p)
        s.creditor[p] = numberOf(creditors[p - 1], ofPlayer("creditor", p), 0, kPlayerCount);
    const QString auctionName = QStringLiteral("auction");
    const QJsonObject a = objectOf(field(o, "auction", auctionName), auctionName);
    AuctionView& auction = s.auction;
    auction.open = flagOf(field(a, "open", auctionName), auctionName);
    auction.square = numberField(a, "square", QStringLiteral("square of the auction"), 0, kSquareCount - 1);
    auction.bidder = numberField(a, "bidder", QStringLiteral("bidder of the auction"), 0, kPlayerCount);
    auction.highBid = numberField(a, "highBid", QStringLiteral("high bid"), 0, kMax16);
    auction.highBidder = numberField(a, "highBidder", QStringLiteral("high bidder"), 0, kPlayerCount);
}

void readLog(const QJsonObject& top, SavedGame& game) {
    // Files from before the game log simply have none.
    if (!top.contains(QLatin1String("log"))) return;
    for (const QJsonValue line : arrayOf(top.value(QLatin1String("log")), QStringLiteral("game log")))
        game.log.push_back(textOf(line, QStringLiteral("a line of the game log"), kMaxLogLineLength));
}

/// The fields of `top` that one part of the state is read from.
bool touches(const QJsonObject* changed, std::initializer_list<const char*> keys) {
    if (changed == nullptr) return true;
    return std::any_of(keys.begin(), keys.end(),
                       [changed](const char* key) { return changed->contains(QLatin1String(key)); });
}

/// Reads the state's fields from `top`: every part, or with `changed` only the parts with a field
/// among its members. The invariants are judged on the whole state either way.
void readStateFields(const QJsonObject& top, GameState& s, bool withDecks, RulesField rules,
                     const QJsonObject* changed = nullptr) {
    if (touches(changed, {"playerCount", "turn", "debtor", "turnAfterDebt", "tradePartner",
                          "houseOptionsSquare", "rent", "purchaseAnswer", "diceRoll"})) {
        s.playerCount = numberField(top, "playerCount", QStringLiteral("number of players"), 0, kPlayerCount);
        if (s.playerCount == 1) damaged(QStringLiteral("the number of players is 1"));
        s.turn = numberField(top, "turn", QStringLiteral("turn"), 1, kPlayerCount);
        s.debtor = numberField(top, "debtor", QStringLiteral("debtor"), 0, kPlayerCount);
        s.turnAfterDebt =
            numberField(top, "turnAfterDebt", QStringLiteral("turn after the debt"), 0, kPlayerCount);
        s.tradePartner = numberField(top, "tradePartner", QStringLiteral("trade partner"), 0, kPlayerCount);
        s.houseOptionsSquare = numberField(top, "houseOptionsSquare", QStringLiteral("House Options square"),
                                           0, kSquareCount - 1);
        s.rent = numberField(top, "rent", QStringLiteral("rent"));
        s.purchaseAnswer = numberField(top, "purchaseAnswer", QStringLiteral("purchase answer"));
        const QJsonArray roll = arrayOf(field(top, "diceRoll", "dice roll"), QStringLiteral("dice roll"), 3);
        s.diceRoll[0] = numberOf(roll[0], QStringLiteral("first die"), 0, 6);
        s.diceRoll[1] = numberOf(roll[1], QStringLiteral("second die"), 0, 6);
        s.diceRoll[2] = numberOf(roll[2], QStringLiteral("dice total"), 0, kDiceTotalMax);
    }
    if (touches(changed, {"players"})) {
        readPlayers(top, s);
        readNames(top, s);
    }
    if (touches(changed, {"history"})) {
        // A change's history member is the patch of the statistics; anything else reads them all.
        const QJsonValue history =
            changed != nullptr ? changed->value(QLatin1String("history")) : QJsonValue();
        const QJsonObject historyPatch = history.toObject();
        readHistory(top, s, history.isObject() ? &historyPatch : nullptr);
    }
    if (touches(changed, {"owners", "houses", "pricePaid"})) readSquares(top, s);
    if (withDecks) readDecks(top, s);
    if (touches(changed, {"board"})) readBoard(top, s);
    if (touches(changed, {"houseOptions"})) readHouseOptions(top, s);
    if (touches(changed, {"trade"})) readTrade(top, s);
    if (touches(changed, {"houseRules"})) readHouseRules(top, s, rules);
    const std::vector<std::string> broken = brokenInvariants(s);
    if (!broken.empty())
        throw Refusal{QStringLiteral("The file holds a game that play could never reach: %1.")
                          .arg(text(broken.front()))};
}

void readComputerSeats(const QJsonObject& top, SavedGame& game) {
    const QJsonArray players = top.value(QLatin1String("players")).toArray();
    for (int p = 1; p <= kPlayerCount; ++p) {
        const QJsonObject o = players[p - 1].toObject();
        // Files from before computer players simply have none.
        if (o.contains(QLatin1String("computer")))
            game.computerSeats[p] = flagOf(o.value(QLatin1String("computer")), ofPlayer("computer seat", p));
        // Files from before the levels play every seat at Normal.
        if (o.contains(QLatin1String("level"))) {
            const std::string name = textOf(o.value(QLatin1String("level")), ofPlayer("computer level", p));
            const std::optional<ComputerLevel> level = levelNamed(name);
            if (!level)
                damaged(ofPlayer("computer level", p).text() + QStringLiteral(" (easy, normal or hard)"));
            game.computerLevels[p] = *level;
        }
    }
}

// An action in progress is far shorter than these: a handful of draws and answers, a few dozen boxes.
constexpr qsizetype kMaxRecordedDraws = 1000;
constexpr qsizetype kMaxRecordedAnswers = 1000;
constexpr int kMaxRecordedBoxes = 100000;
constexpr int kMaxActionNumber = 1000000;

/// A screen that shows nothing and passes every question: the loader plays a recorded action on
/// with it to see that the record fits the game.
class SilentUi final : public Ui {
  public:
    void tell(const Box&) override {}
    bool ask(const Box&) override { return false; }
    void endProgram() override {}
};

/// Stands in for the dice beyond what a record holds, while the loader checks the record.
class SteadyRandom final : public RandomSource {
  public:
    float next() override { return 0.5f; }
};

QJsonObject writeInProgress(const ActionInProgress& record) {
    QJsonArray draws;
    for (const float d : record.draws)
        draws.append(static_cast<double>(d));
    QJsonArray answers;
    for (const int a : record.answers)
        answers.append(a);
    const Action& a = record.action;
    return {{"action", QJsonObject{{"kind", text(std::string(actionKindName(a.kind)))},
                                   {"number", a.number},
                                   {"text", text(a.text)},
                                   {"otherText", text(a.otherText)}}},
            {"draws", draws},
            {"answers", answers},
            {"boxesShown", record.boxesShown}};
}

int wholeNumberOf(const QJsonValue& value, const QString& what, int low, int high) {
    const double d = value.toDouble();
    if (!value.isDouble() || d != std::floor(d) || d < low || d > high)
        damaged(QStringLiteral("%1 is not a whole number from %2 to %3").arg(what).arg(low).arg(high));
    return static_cast<int>(d);
}

void readInProgress(const QJsonObject& top, SavedGame& game) {
    // Files saved between actions have none.
    if (!top.contains(QLatin1String("inProgress"))) return;
    const QString name = QStringLiteral("the action in progress");
    const QJsonObject o = objectOf(top.value(QLatin1String("inProgress")), name);
    // The action starts from the game the file holds.
    ActionInProgress record;
    record.before = game.state;
    const QJsonObject action = objectOf(field(o, "action", name), name);
    const std::optional<ActionKind> kind =
        actionKindNamed(textOf(field(action, "kind", name), QStringLiteral("the kind of %1").arg(name)));
    if (!kind || *kind == ActionKind::Answer) damaged(QStringLiteral("%1 is of no known kind").arg(name));
    record.action.kind = *kind;
    record.action.number =
        wholeNumberOf(field(action, "number", name), QStringLiteral("the number of %1").arg(name),
                      -kMaxActionNumber, kMaxActionNumber);
    record.action.text = textOf(field(action, "text", name), QStringLiteral("the text of %1").arg(name));
    record.action.otherText =
        textOf(field(action, "otherText", name), QStringLiteral("the other text of %1").arg(name));
    const QJsonArray draws = arrayOf(field(o, "draws", name), QStringLiteral("the draws of %1").arg(name));
    if (draws.size() > kMaxRecordedDraws) damaged(QStringLiteral("%1 holds too many draws").arg(name));
    for (const QJsonValue d : draws) {
        const double value = d.toDouble(-1);
        if (!d.isDouble() || !(value >= 0 && value < 1))
            damaged(QStringLiteral("a draw of %1 is not in [0, 1)").arg(name));
        record.draws.push_back(static_cast<float>(value));
    }
    const QJsonArray answers =
        arrayOf(field(o, "answers", name), QStringLiteral("the answers of %1").arg(name));
    if (answers.size() > kMaxRecordedAnswers) damaged(QStringLiteral("%1 holds too many answers").arg(name));
    for (const QJsonValue a : answers)
        record.answers.push_back(wholeNumberOf(a, QStringLiteral("an answer of %1").arg(name), 0, kMax16));
    record.boxesShown =
        wholeNumberOf(field(o, "boxesShown", name), QStringLiteral("the boxes shown of %1").arg(name), 0,
                      kMaxRecordedBoxes);
    // The record must play on from its start as the rules would: the action available, every answer
    // one its question allows.
    SilentUi silent;
    SteadyRandom steady;
    Game check(silent, steady);
    check.setQuestionsWait(true);
    if (check.resume(record) == ActionResult::Refused)
        damaged(QStringLiteral("%1 does not fit the game it starts from").arg(name));
    game.inProgress = std::move(record);
}

SavedGame readGame(const QJsonObject& top, int version) {
    SavedGame game;
    const double actions = field(top, "actions", "action count").toDouble(-1);
    if (!(actions >= 0 && actions < kMaxActions) || actions != std::floor(actions))
        damaged(QStringLiteral("the action count is not a whole number of actions"));
    game.actions = static_cast<std::int64_t>(actions);
    // Files from before the playing time was kept have none.
    if (top.contains(QLatin1String("playSeconds"))) {
        const double seconds = top.value(QLatin1String("playSeconds")).toDouble(-1);
        if (!(seconds >= 0 && seconds < kMaxActions) || seconds != std::floor(seconds))
            damaged(QStringLiteral("the playing time is not a whole number of seconds"));
        game.playSeconds = static_cast<std::int64_t>(seconds);
    }
    // Files from before the house rules have none: the game goes on with every rule off.
    readStateFields(top, game.state, true,
                    version >= kSavedGameVersion ? RulesField::Required : RulesField::Optional);
    readComputerSeats(top, game);
    readLog(top, game);
    readInProgress(top, game);
    return game;
}

QString notSavedGame() {
    return QStringLiteral("The file is not a Dealbrix saved game.");
}

} // namespace

void writeGameState(const GameState& s, bool withDecks, JsonText& json) {
    const auto numbers = [&json](std::string_view name, const auto& values) {
        json.beginArray(name);
        for (int i = values.first; i <= values.last; ++i)
            json.value(static_cast<int>(values[i]));
        json.endArray();
    };
    json.beginObject();
    json.member("playerCount", s.playerCount);
    json.member("turn", s.turn);
    json.member("debtor", s.debtor);
    json.member("turnAfterDebt", s.turnAfterDebt);
    json.member("tradePartner", s.tradePartner);
    json.member("houseOptionsSquare", s.houseOptionsSquare);
    json.member("rent", s.rent);
    json.member("purchaseAnswer", s.purchaseAnswer);
    json.beginArray("diceRoll");
    for (const i16 die : s.diceRoll)
        json.value(die);
    json.endArray();

    json.beginArray("players");
    for (int p = 1; p <= kPlayerCount; ++p) {
        const TokenView& t = s.board.tokens[p];
        json.beginObject();
        json.member("money", s.money[p]);
        json.member("position", s.positions[p]);
        json.member("jailTurns", s.jailTurns[p]);
        json.member("jailCards", s.jailCards[p]);
        json.member("out", s.seatOut[p] == kTrue);
        json.member("moneyLabel", s.board.moneyLabels[p]);
        json.beginObject("token");
        json.member("square", t.square);
        json.member("stack", t.stack);
        json.member("moved", t.moved);
        json.member("visible", t.visible);
        json.endObject();
        json.beginArray("gridTicks");
        for (int sq = 0; sq < kSquareCount; ++sq)
            if (s.grid.ticked[p][sq]) json.value(sq);
        json.endArray();
        // A seat without a name is written as before names existed.
        if (!s.names[p].empty()) json.member("name", s.names[p]);
        json.endObject();
    }
    json.endArray();
    numbers("owners", s.owners);
    numbers("houses", s.houses);
    numbers("pricePaid", s.pricePaid);

    const BoardView& b = s.board;
    json.beginObject("board");
    json.member("rollEnabled", b.rollEnabled);
    json.member("endTurnEnabled", b.endTurnEnabled);
    json.member("giveUpEnabled", b.giveUpEnabled);
    json.member("turnLabel", b.turnLabel);
    json.beginArray("dice");
    json.value(b.dice[1]);
    json.value(b.dice[2]);
    json.endArray();
    json.member("checkedPlayers", b.checkedPlayers);
    json.endObject();

    const HouseOptionsView& h = s.houseOptions;
    json.beginObject("houseOptions");
    json.member("open", h.open);
    json.member("titleSquare", h.titleSquare);
    json.member("buyEnabled", h.buyEnabled);
    json.member("sellEnabled", h.sellEnabled);
    json.member("mortgageEnabled", h.mortgageEnabled);
    json.member("mortgageCaption", h.mortgageCaption);
    json.endObject();

    const TradeView& trade = s.trade;
    json.beginObject("trade");
    json.member("open", trade.open);
    json.member("traderName", trade.traderName);
    json.member("partnerName", trade.partnerName);
    json.beginArray("moneyOffered");
    json.value(trade.moneyOffered[0]);
    json.value(trade.moneyOffered[1]);
    json.endArray();
    json.beginArray("squaresOffered");
    for (const auto& side : trade.squaresOffered) {
        json.beginArray();
        for (const OfferedSquare& label : side) {
            json.beginObject();
            json.member("text", label.text);
            json.member("typed", label.typed);
            json.endObject();
        }
        json.endArray();
    }
    json.endArray();
    json.endObject();

    const GameHistory& history = s.history;
    json.beginObject("history");
    json.member("rounds", history.rounds);
    json.beginArray("worth");
    for (const RoundWorth& entry : history.worth) {
        json.beginArray();
        json.value(entry.round);
        for (int p = 1; p <= kPlayerCount; ++p)
            json.value(entry.worth[p]);
        json.endArray();
    }
    json.endArray();
    json.beginArray("landings");
    for (int sq = 0; sq < kSquareCount; ++sq)
        json.value(history.landings[sq]);
    json.endArray();
    json.endObject();

    const AuctionView& a = s.auction;
    json.beginObject("houseRules");
    json.beginArray("chosen");
    for (const HouseRuleInfo& info : houseRuleTable())
        if (s.rules.has(info.rule)) json.value(std::string_view(info.name));
    json.endArray();
    json.member("startingMoney", s.rules.startingMoney);
    json.member("pot", s.pot);
    json.member("housesInBank", s.housesInBank);
    json.member("hotelsInBank", s.hotelsInBank);
    numbers("creditors", s.creditor);
    json.beginObject("auction");
    json.member("open", a.open);
    json.member("square", a.square);
    json.member("bidder", a.bidder);
    json.member("highBid", a.highBid);
    json.member("highBidder", a.highBidder);
    json.endObject();
    json.endObject();

    if (withDecks) {
        json.beginArray("decks");
        for (int deck = 1; deck <= 2; ++deck) {
            json.beginObject();
            numbers("cards", s.decks[deck]);
            json.member("next", s.nextCard[deck]);
            json.endObject();
        }
        json.endArray();
    }
    json.endObject();
}

QJsonObject writeGameState(const GameState& s, bool withDecks) {
    // One writer for both: the object is the text read back, which costs a saved game little and
    // keeps the file and the network's state the same fields by construction.
    QByteArray text;
    JsonText json(text);
    writeGameState(s, withDecks, json);
    return QJsonDocument::fromJson(text).object();
}

QString readGameState(const QJsonObject& fields, GameState& state, bool withDecks) {
    GameState read = state;
    try {
        readStateFields(fields, read, withDecks, RulesField::Optional);
    } catch (const Refusal& refusal) {
        return refusal.reason;
    }
    state = read;
    return {};
}

QString readGameStateChanges(const QJsonObject& fields, const QJsonObject& changed, GameState& state) {
    GameState read = state;
    try {
        readStateFields(fields, read, /*withDecks=*/false, RulesField::Optional, &changed);
    } catch (const Refusal& refusal) {
        return refusal.reason;
    }
    state = read;
    return {};
}

QJsonObject savedGameObject(const SavedGame& game) {
    // A game saved mid-action holds the game as the action found it, and the action to play on.
    QJsonObject top = writeGameState(game.inProgress ? game.inProgress->before : game.state);
    top.insert(QLatin1String("format"), QLatin1String(kSavedGameFormat));
    top.insert(QLatin1String("version"), kSavedGameVersion);
    top.insert(QLatin1String("actions"), static_cast<double>(game.actions));
    top.insert(QLatin1String("playSeconds"), static_cast<double>(game.playSeconds));
    QJsonArray players = top.value(QLatin1String("players")).toArray();
    for (int p = 1; p <= kPlayerCount; ++p) {
        QJsonObject player = players[p - 1].toObject();
        player.insert(QLatin1String("computer"), game.computerSeats[p]);
        const std::string_view level = levelName(game.computerLevels[p]);
        player.insert(QLatin1String("level"),
                      QString::fromLatin1(level.data(), static_cast<qsizetype>(level.size())));
        players[p - 1] = player;
    }
    top.insert(QLatin1String("players"), players);
    QJsonArray log;
    for (const std::string& line : game.log)
        log.append(text(line));
    top.insert(QLatin1String("log"), log);
    if (game.inProgress) top.insert(QLatin1String("inProgress"), writeInProgress(*game.inProgress));
    return top;
}

QByteArray writeSavedGame(const SavedGame& game) {
    return QJsonDocument(savedGameObject(game)).toJson(QJsonDocument::Indented);
}

LoadResult readSavedGame(const QByteArray& bytes) {
    if (bytes.trimmed().isEmpty())
        return {{}, QStringLiteral("The file is empty: it is not a Dealbrix saved game.")};
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
        // A saved game cut short or broken in the middle still names its format near the top.
        if (bytes.trimmed().startsWith('{') && bytes.contains(kSavedGameFormat))
            return {{},
                    QStringLiteral("The file is a damaged Dealbrix saved game: it ends too soon or its text "
                                   "is broken (%1).")
                        .arg(parseError.errorString())};
        return {{}, notSavedGame()};
    }
    return readSavedGameObject(document.object());
}

LoadResult readSavedGameObject(const QJsonObject& top) {
    if (top.value(QLatin1String("format")).toString() != QLatin1String(kSavedGameFormat))
        return {{}, notSavedGame()};
    const QJsonValue version = top.value(QLatin1String("version"));
    const double number = version.toDouble();
    if (!version.isDouble() || number != std::floor(number) || number < kOldestSavedGameVersion ||
        number > kSavedGameVersion)
        return {
            {},
            QStringLiteral("The file is a Dealbrix saved game of another version (%1); this program opens "
                           "versions %2 to %3.")
                .arg(version.isDouble() ? QString::number(number) : QStringLiteral("none"))
                .arg(kOldestSavedGameVersion)
                .arg(kSavedGameVersion)};
    try {
        return {readGame(top, static_cast<int>(number)), {}};
    } catch (const Refusal& refusal) {
        return {{}, refusal.reason};
    }
}

QString saveGameFile(const QString& path, const SavedGame& game) {
    QSaveFile file(path);
    const QByteArray bytes = writeSavedGame(game);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return QStringLiteral("The game could not be saved: %1.").arg(file.errorString());
    return {};
}

QString autosaveGameFile(const QString& path, const SavedGame& game) {
    const QString error = writeFileKeptOnKill(path, writeSavedGame(game));
    return error.isEmpty() ? QString() : QStringLiteral("The game could not be saved: %1.").arg(error);
}

LoadResult loadGameFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {{}, QStringLiteral("The file could not be read: %1.").arg(file.errorString())};
    const QString tooLarge =
        QStringLiteral("The file is larger than any saved game (over %1 bytes).").arg(kMaxSavedGameBytes);
    // The size is judged before anything is read; the read stops one byte past the limit in case the
    // file grew meanwhile.
    if (file.size() > kMaxSavedGameBytes) return {{}, tooLarge};
    const QByteArray bytes = file.read(kMaxSavedGameBytes + 1);
    if (bytes.size() > kMaxSavedGameBytes) return {{}, tooLarge};
    return readSavedGame(bytes);
}

} // namespace dealbrix
