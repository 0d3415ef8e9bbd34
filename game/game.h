#pragma once
// A running game of Dealbrix: its state, what the four windows show, and every rule, driven by
// actions. Nothing here knows about widgets.

#include "action.h"
#include "board.h"
#include "history.h"
#include "house_rules.h"
#include "ports.h"
#include "seats.h"
#include "values.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dealbrix {

/// Who holds each square and what stands on it.
struct Holdings {
    SquareArray<i16> owners{};    // owner codes: see ownerOf, isMortgaged
    PlayerArray<i16> money{};     // whole dollars, may be negative
    SquareArray<i16> houses{};    // 0..5, 5 is a hotel
    SquareArray<i16> pricePaid{}; // what the first buyer paid the bank
    bool operator==(const Holdings&) const = default;
};

/// The rent a landing on `square` charges under `holdings` with the dice showing `diceSum`, as the
/// rules charge it: whoever owns the square, the bank and mortgages aside (those charge nothing, which
/// the landing decides before asking this).
i16 rentFor(const Holdings& holdings, int square, int diceSum);

/// A player's token: the square it stands on and how many tokens it was set beside there. A token
/// that has never moved stands in its own starting place on Go.
struct TokenView {
    i16 square = 0;
    i16 stack = 0; // 0 is the square's first place; each token already there moves it one place on
    bool moved = false;
    bool visible = false;
    bool operator==(const TokenView&) const = default;
};

/// What the game board window shows.
struct BoardView {
    bool rollEnabled = false;
    bool endTurnEnabled = false;
    bool giveUpEnabled = false;
    std::string turnLabel = "Player 1's turn";
    PlayerArray<std::string> moneyLabels{};
    PlayerArray<TokenView> tokens{};
    Indexed<int, 1, 2> dice{}; // face shown on each die: 1..6, 0 empty
    int checkedPlayers = 4;    // the ticked Players item: 2, 3 or 4
    bool operator==(const BoardView&) const = default;
};

/// What the ownership grid window shows: box of player n for square s is ticked[n][s].
struct GridView {
    PlayerArray<SquareArray<bool>> ticked{};
    bool operator==(const GridView&) const = default;
};

/// What the House Options window shows while it is open.
struct HouseOptionsView {
    bool open = false;
    i16 titleSquare = 0; // the square whose title and colour the window was loaded with
    bool buyEnabled = false;
    bool sellEnabled = false;
    bool mortgageEnabled = false;
    std::string mortgageCaption = "Mortgage";
    bool operator==(const HouseOptionsView&) const = default;
};

/// One of the seven list labels of a trade side: the square's title and the number typed for it.
struct OfferedSquare {
    std::string text; // empty while the label is free
    double typed = 0;
    bool operator==(const OfferedSquare&) const = default;
};

inline constexpr int kOfferedSquaresPerSide = 7;

/// What the trade window shows while it is open (the text fields belong to the window).
struct TradeView {
    bool open = false;
    std::string traderName;
    std::string partnerName;
    std::array<std::string, 2> moneyOffered{}; // running sums of side 0 and side 1
    std::array<std::array<OfferedSquare, kOfferedSquaresPerSide>, 2> squaresOffered{};
    bool operator==(const TradeView&) const = default;
};

/// The auction under way while its bids are asked for; closed between auctions.
struct AuctionView {
    bool open = false;
    i16 square = 0;     // the square on sale
    i16 bidder = 0;     // the seat whose bid it is
    i16 highBid = 0;    // 0 until someone bids
    i16 highBidder = 0; // the seat holding the high bid, 0 for none
    bool operator==(const AuctionView&) const = default;
};

/// Everything that makes up a running game.
struct GameState : Holdings {
    i16 turn = 0;                  // the player whose turn it is (the debtor during a hold)
    i16 houseOptionsSquare = 0;    // the square of the House Options window
    PlayerArray<i16> positions{};  // square of each token
    std::array<i16, 3> diceRoll{}; // first die, second die, their sum
    i16 playerCount = 0;           // 2, 3 or 4 from Start; 0 before
    i16 rent = 0;                  // rent of the landing in progress
    i16 purchaseAnswer = 0;        // last purchase answer: kAnswerYes or kAnswerNo
    PlayerArray<i16> jailTurns{};  // 0 free; 1..3 in jail; 4 stay used up
    PlayerArray<i16> jailCards{};  // "Get Out of Jail Free" cards held
    Indexed<i16, 1, 2> nextCard{}; // next position to draw in deck 1 (Chance) and 2 (Community Chest)
    Indexed<Indexed<i16, 1, kCardsPerDeck>, 1, 2> decks{}; // card numbers by deck and position
    i16 turnAfterDebt = 0;                                 // where the turn goes back after a debt hold
    PlayerArray<i16> seatOut{};                            // 0 in play, kTrue out (bankrupt or not seated)
    i16 debtor = 0;                                        // player held for debt, 0 none
    i16 tradePartner = 0;                                  // the other party of a trade, chosen in the grid
    PlayerArray<std::string> names{};                      // the seats' own names, empty for "Player N"
    GameHistory history;                                   // worth by round and landings, for the statistics

    // The house rules and what they keep; untouched while the rules are off.
    HouseRules rules;
    i16 pot = 0;                    // money waiting on Free Parking
    i16 housesInBank = kBankHouses; // houses the bank can still sell
    i16 hotelsInBank = kBankHotels; // hotels the bank can still sell
    PlayerArray<i16> creditor{};    // the landlord whose rent left a player below zero, 0 the bank

    BoardView board;
    GridView grid;
    HouseOptionsView houseOptions;
    TradeView trade;
    AuctionView auction;

    bool operator==(const GameState&) const = default;
};

/// What `seat` (1..4) is called in `state`: its name, or "Player N".
inline std::string seatName(const GameState& state, int seat) {
    return seatName(isPlayer(seat) ? state.names[seat] : std::string(), seat);
}

/// A seat's worth: its cash, its squares at their price, their houses at their cost and mortgaged
/// squares at half their price.
int worthOf(const Holdings& holdings, int seat);

inline constexpr i16 kAnswerYes = 6;
inline constexpr i16 kAnswerNo = 7;

/// An action on its way: the state it started from and every random draw and answer it has used so
/// far. Played again from `before` with the same draws and answers it comes out exactly as before,
/// which is how a question waits for its answer and how a killed program resumes an action with the
/// same dice.
struct ActionInProgress {
    GameState before;
    Action action;
    std::vector<float> draws;    // random draws in the order the rules made them
    std::vector<int> answers;    // answers given, in order: 1 Yes, 0 No, or an amount
    int boxesShown = 0;          // boxes of this action already shown (and closed) on the screen
    std::optional<Box> question; // the question being asked now, if any
    bool operator==(const ActionInProgress&) const = default;
};

/// The rules of the game. Actions go in through `apply`; boxes come out through the Ui. Each action
/// runs to completion. Once the program has been told to end, the rules stop by throwing
/// ProgramEnded, which `apply` turns into ActionResult::Ended.
class Game {
  public:
    /// Creates the game as the board window loads: 1500 for every seat, turn 1, both decks shuffled.
    Game(Ui& ui, RandomSource& random);

    GameState state;

    /// Takes a snapshot of the state back, as an opened saved game does; play goes on from there.
    /// Any action on its way is dropped.
    void restore(const GameState& snapshot) {
        state = snapshot;
        inProgress_.reset();
    }

    /// Gives the seats their names (already judged by checkNames) before the start; the turn label
    /// follows.
    void nameSeats(const PlayerArray<std::string>& names) {
        state.names = names;
        state.board.turnLabel = seatName(state, state.turn) + "'s turn";
    }

    /// Keeps a record of each action while it runs (`inProgress`), so that a copy of the game taken
    /// while a box is open can resume that action with the same draws. Off, actions run as fast as
    /// they can (the computer's play-outs).
    void setRecording(bool recording) { recording_ = recording; }
    /// Questions wait as part of the state instead of calling the screen: an action that reaches a
    /// question returns ActionResult::Waiting, `openQuestion` says what is asked, and only an Answer
    /// action is available until it comes. Implies recording.
    void setQuestionsWait(bool wait) {
        questionsWait_ = wait;
        if (wait) recording_ = true;
    }
    bool questionsWait() const { return questionsWait_; }
    /// The action on its way (while its boxes are shown, or while its question waits), or nullptr.
    const ActionInProgress* inProgress() const { return inProgress_ ? &*inProgress_ : nullptr; }
    /// The question waiting for its answer, or nullptr (always nullptr unless questions wait).
    const Box* openQuestion() const;
    /// Plays a recorded action on from its start, as a saved game taken mid-action holds it: the
    /// state goes back to `record.before`, the recorded draws and answers are used again and the
    /// boxes already shown are not shown again. Returns what became of the action; Refused (and
    /// nothing changed) when the record does not fit the rules: an action not available, draws
    /// outside [0, 1), answers out of range, or more draws or answers than the action uses.
    ActionResult resume(const ActionInProgress& record);

    /// Carries out `action` if it is available now; an action that is not is refused and changes nothing.
    ActionResult apply(const Action& action);
    /// True when `action` can be taken now: its button is enabled, its window open, its square or
    /// player valid. The texts of an action never make it unavailable.
    bool isAvailable(const Action& action) const;
    /// Every action available now, one for each button, square and heading; the text actions come
    /// with empty texts.
    std::vector<Action> availableActions() const;
    /// The same actions as `availableActions`, in the same order, into a fixed-size list: the fast
    /// way for players that choose among them many times a second.
    void listAvailable(ActionChoices& out) const;

    // --- The user's actions, each through `apply` --------------------------------------------
    /// Roll: two dice, then jail or a move.
    ActionResult roll() { return apply(Action::roll()); }
    /// End Turn: hands the turn on.
    ActionResult endTurn() { return apply(Action::endTurn()); }
    /// "Bankrupt (Give up)": the player holding the turn gives up.
    ActionResult giveUp() { return apply(Action::giveUp()); }
    /// A Players item (2, 3 or 4) takes the check mark.
    ActionResult choosePlayers(int players) { return apply(Action::choosePlayers(players)); }
    /// Start: fixes the player count, shows the tokens in play and enables Roll.
    ActionResult start() { return apply(Action::start()); }
    /// Exit: ends the program at once.
    ActionResult exitProgram() { return apply(Action::exit()); }
    /// A click on square 0..39: opens the House Options window on an ownable square.
    ActionResult openHouseOptions(int square) { return apply(Action::openHouseOptions(square)); }
    /// Buy House for `houseOptionsSquare`, judged for `turn` as things are now.
    ActionResult buyHouse() { return apply(Action::buyHouse()); }
    /// Sell House for `houseOptionsSquare`.
    ActionResult sellHouse() { return apply(Action::sellHouse()); }
    /// Mortgage or Unmortgage `houseOptionsSquare`.
    ActionResult toggleMortgage() { return apply(Action::toggleMortgage()); }
    /// The House Options window's close box.
    ActionResult closeHouseOptions() { return apply(Action::closeHouseOptions()); }
    /// A grid heading of player 1..4: the other party of a trade; opens the trade window.
    ActionResult chooseTradePartner(int player) { return apply(Action::chooseTradePartner(player)); }
    /// Enter in side 0's or 1's money field holding `text`: adds the amount to the running sum.
    ActionResult enterMoney(int side, std::string text) {
        return apply(Action::enterMoney(side, std::move(text)));
    }
    /// Enter in side 0's or 1's property field holding `text`: adds the square to the side's list.
    ActionResult enterSquare(int side, std::string text) {
        return apply(Action::enterSquare(side, std::move(text)));
    }
    /// Either "?" button: the list of square numbers and titles.
    ActionResult showTradeHelp() { return apply(Action::tradeHelp()); }
    /// "Finalize offer" with the two money fields as they stand: puts the offer to `tradePartner`.
    ActionResult finalizeOffer(std::string money0, std::string money1) {
        return apply(Action::finalizeOffer(std::move(money0), std::move(money1)));
    }
    /// The trade window's close box: the window and the offer in it are discarded.
    ActionResult closeTrade() { return apply(Action::closeTrade()); }
    /// Chooses the house rules and the starting money before Start.
    ActionResult chooseRules(const HouseRules& rules) { return apply(Action::chooseRules(rules)); }

    // --- Steps of the rules (public so tests can drive a single step; they may throw ProgramEnded)
    /// Redraws the money labels, holds a player below zero, ends the game when fewer than two
    /// seats are in play. Every money change calls it last.
    void refreshMoney();
    /// True when every square of `group` carries one owner code.
    bool ownsWholeGroup(const ColourGroup& group) const;
    /// Adds a house on `square` and charges `turn` `cost`.
    void addHouse(int square, i16 cost);
    /// Takes a house off `square` and refunds `turn` half of `cost`.
    void removeHouse(int square, i16 cost);
    /// Returns r * (high - 1) + low for a fresh draw r uniform in [0, 1), computed exactly.
    double randomValue(i16 low, i16 high);
    /// Pays `turn` the salary for passing Go, with its message.
    void passGo();
    /// Puts `turn`'s token on `square`, beside any tokens there, lands, refreshes money.
    void moveToken(int square);
    /// Announces the landing on `square` and carries out its kind.
    void landOn(int square);
    /// Fills deck 1 or 2 with 1..17, shuffles it and draws from position 1 again.
    void shuffleDeck(int deck);
    /// Carries out Chance card 1..17 drawn by `turn`.
    void playChanceCard(int card);
    /// Carries out Community Chest card 1..17 drawn by `turn`.
    void playChestCard(int card);

    /// Reads a number the way the trade window does: blanks skipped, the longest leading decimal
    /// number (sign, digits, point, fraction, exponent); anything else reads as 0.
    static double readNumber(std::string_view text);
    /// A number as the trade window shows it: plain decimal, no point when whole.
    static std::string showNumber(double value);
    /// The text of the "?" help box: 28 lines "n = title".
    static std::string helpText();

  private:
    void carryOut(const Action& action);
    ActionResult runInProgress();
    ActionResult answerQuestion(int answer);
    bool answerFits(const Box& question, int answer) const;
    int nextAnswer(Box box);
    void rollDice();
    void rollDie(int which);
    void handOverTurn();
    /// `seat`, or the first seat in play after it in turn order (past the player count back to 1).
    int seatInPlayFrom(int seat) const;
    void holdDebtor(int player);
    void declareBankruptcy();
    void startGame();
    void passTurnFromSeatOut();
    [[noreturn]] void quit();
    void settleOwnedSquare(int square, std::string_view name, i16 price);
    void offerPurchase(int square, std::string_view name, i16 price);
    /// The figures beside the purchase question: the price, the rent once bought, the cash left.
    MoneyFacts purchaseFacts(int square, i16 price) const;
    /// The figures beside a house question on `square`: price, houses, rent before and after.
    MoneyFacts houseFacts(int square, bool buying) const;
    void playCard(int deck, int card);
    void cardMoney(int player, int delta);
    void moveToNearest(std::span<const i16> squares);
    void sendToJail();
    bool houseRequirementsMet(const ColourGroup& group);
    bool changeMoneyByChoice(int player, long long delta);
    void openHouseOptionsOn(int square);
    void buyHouseHere();
    void sellHouseHere();
    void toggleMortgageHere();
    void loadHouseOptions();
    void openTradeWith(int player);
    void loadTrade();
    void addMoneyToOffer(int side, std::string_view text);
    void addSquareToOffer(int side, std::string_view text);
    void putOffer(std::string_view money0, std::string_view money1);
    void giveSquare(int square, int player);
    // The house rules (house_rules_play.cpp).
    void applyRules(const Action& action);
    void noteRules();
    void runAuction(int square, std::string_view name);
    int nextBidder(int from, const PlayerArray<bool>& passed) const;
    bool evenBuildingRefuses(int square, bool buying);
    bool bankRefuses(int square, bool buying);
    void takeFromBank(int square);
    void giveToBank(int square);
    bool groupHasHouses(int square) const;
    void owe(int player, int creditor, i16 before);
    void intoPot(long long amount);
    void collectPot();
    bool collectsNoRent(int owner);
    void settleEstate(int debtor);
    void goBonus();
    void note(Box box);
    void setMoneyLabel(int player);
    void tell(Box box);
    bool ask(Box box);
    /// Asks for an amount in [box.minimum, box.maximum], or 0 to pass.
    int askAmount(Box box);
    float draw();
    /// Adds the worth of every seat to the history: at the start (once), or as a round ends.
    void recordRound(bool start);
    /// The squares of `squares` named one after another ("A, B and C").
    static std::string squareList(const std::vector<int>& squares);

    Ui& ui_;
    RandomSource& random_;
    bool recording_ = false;
    bool questionsWait_ = false;
    std::optional<ActionInProgress> inProgress_;
    // Where a replay of `inProgress_` stands: draws, answers and boxes used so far in this run.
    std::size_t drawsUsed_ = 0;
    std::size_t answersUsed_ = 0;
    int boxesTold_ = 0;
    bool answersRejected_ = false; // a resumed record held an answer its question does not allow
};

/// Houses and hotels, as counted on the board or in the bank.
struct BankCount {
    int houses = 0;
    int hotels = 0;
};

/// The houses and hotels standing on the board (a square of 5 holds one hotel and no houses).
BankCount buildingsOnBoard(const GameState& state);

/// Thrown when the rules reach a question that waits for its answer: the action stops where it is.
struct QuestionWaits {};

} // namespace dealbrix
