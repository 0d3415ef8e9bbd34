#pragma once
// A running game of Dealbrix: its state, what the four windows show, and every rule, driven by the
// handlers the windows call. Nothing here knows about widgets.

#include "board.h"
#include "geometry.h"
#include "ports.h"
#include "values.h"

#include <array>
#include <string>
#include <string_view>

namespace dealbrix {

/// The arrays every window reads and writes in place.
struct PublicArrays {
    SquareArray<i16> Owner{};     // 0 bank, 1..4 player, 5..8 mortgaged by player (code - 4)
    PlayerArray<i16> Money{};     // whole dollars, may be negative
    SquareArray<i16> Houses{};    // 0..5, 5 is a hotel
    SquareArray<i16> PricePaid{}; // what the first buyer paid the bank
};

/// A player token on the board window: a filled square, in twips.
struct TokenView {
    int left = 0;
    int top = 0;
    bool visible = false;
};

/// What the game board window shows.
struct BoardView {
    bool rollEnabled = false;
    bool endTurnEnabled = false;
    bool bankruptEnabled = false;
    std::string turnLabel = "Player 1's turn";
    PlayerArray<std::string> moneyLabel{}; // Label1(1..4)
    PlayerArray<TokenView> tokens{};       // lbl(1..4)
    Indexed<int, 1, 2> dice{};             // face shown in Dice(1), Dice(2): 1..6, 0 empty
    int checkedPlayers = 4;                // the ticked Players item: 2, 3 or 4
};

/// What the ownership grid window shows: box of player n for square s is ticked[n][s].
struct GridView {
    PlayerArray<SquareArray<bool>> ticked{};
};

/// What the House Options window shows while it is open.
struct HouseWorkView {
    bool open = false;
    i16 titleSquare = 0; // the square whose title and colour the window was loaded with
    bool buyEnabled = false;
    bool sellEnabled = false;
    bool mortgageEnabled = false;
    std::string mortgageCaption = "Mortgage";
};

/// One of the seven list labels of a trade side: the square's title and, as its tag, the number typed.
struct OfferedSquare {
    std::string text; // empty while the label is free
    double tag = 0;
};

/// What the trade window shows while it is open (the text fields belong to the window).
struct TradeView {
    bool open = false;
    std::string lblTrader;
    std::string lblTradee;
    std::array<std::string, 2> moneyOff{};                 // lblMoneyOff(0..1), running sums
    std::array<std::array<OfferedSquare, 7>, 2> propOff{}; // PropOff0(0..6), PropOff1(0..6)
};

/// Everything that makes up a running game, under the names the rules use.
struct GameState : PublicArrays {
    i16 turn = 0;                  // the player whose turn it is (the debtor during a hold)
    i16 PIndex = 0;                // the square of the House Options window
    PlayerArray<i16> Position{};   // square of each token
    std::array<i16, 3> DiceRoll{}; // first die, second die, their sum
    i16 NumPlayers = 0;            // 2, 3 or 4 from Start
    i16 Rent = 0;                  // rent of the landing in progress
    i16 Answer = 0;                // last purchase answer: 6 Yes, 7 No
    PlayerArray<i16> JailTurns{};  // 0 free; 1..3 in jail; 4 stay used up
    PlayerArray<i16> JailCards{};  // "Get Out of Jail Free" cards held
    Indexed<i16, 1, 2> CardPos{};  // next position to draw in deck 1 (Chance) and 2 (Community Chest)
    Indexed<Indexed<i16, 1, kCardsPerDeck>, 1, 2> Decks{}; // card numbers by deck and position
    i16 SavedTurn = 0;                                     // where the turn goes back after a debt hold
    PlayerArray<i16> Bankrupt{};                           // 0 in play, -1 out
    i16 Debtor = 0;                                        // player held for debt, 0 none
    i16 tradeto = 0;                                       // the other party of a trade, chosen in the grid

    BoardView board;
    GridView grid;
    HouseWorkView houseWork;
    TradeView trade;
};

inline constexpr int kEnterKey = 13;
inline constexpr i16 kAnswerYes = 6;
inline constexpr i16 kAnswerNo = 7;

/// The game board window's rules and the handlers of all four windows. Each handler runs to
/// completion; message boxes go through the Ui. Once the program has been told to end, the handler
/// stops by throwing ProgramEnded.
class Game {
  public:
    /// Creates the game as the board window loads: 1500 for every seat, turn 1, both decks shuffled,
    /// the ownership grid shown.
    Game(Ui& ui, RandomSource& random);

    GameState state;

    // --- Board window -------------------------------------------------------------------------
    /// Roll: two dice, then jail or a move.
    void cmdRoll_Click();
    /// End Turn: hands the turn on.
    void cmdEndTurn_Click();
    /// "Bankrupt (Give up)": the player holding the turn gives up.
    void cmdBankrupt_Click();
    /// A Players item (2, 3 or 4) takes the check mark.
    void mnuFilePlayers_Click(int players);
    /// Start: fixes the player count, shows the tokens in play and enables Roll.
    void mnuFileStart_Click();
    /// Exit: ends the program at once.
    void mnuFileExit_Click();
    /// A click on square picture 0..39: opens the House Options window on an ownable square.
    void Square_Click(int square);

    // --- House Options window -----------------------------------------------------------------
    /// Buy House for `PIndex`, judged for `turn` as they are now.
    void cmdBuyHouse_Click();
    /// Sell House for `PIndex`.
    void cmdSellHouse_Click();
    /// Mortgage or Unmortgage `PIndex`.
    void cmdMortgage_Click();
    /// The window's close box: the window is discarded.
    void closeHouseWork();

    // --- Ownership grid window ----------------------------------------------------------------
    /// A click on the heading of player 1..4: the other party of a trade; shows the trade window.
    void lblPlayer_Click(int player);

    // --- Trade window -------------------------------------------------------------------------
    /// A key goes down in txtMoney(side) holding `text`; Enter adds the amount to the running sum.
    void txtMoney_KeyDown(int side, int key, std::string_view text);
    /// A key goes down in txtProperty(side) holding `text`; Enter adds the square to the side's list.
    void txtProperty_KeyDown(int side, int key, std::string_view text);
    /// Either "?" button: the list of square numbers and titles.
    void cmdHelp_Click();
    /// "Finalize offer" with the two money fields as they stand: puts the offer to `tradeto`.
    void cmdOffer_Click(std::string_view money0, std::string_view money1);
    /// The trade window's close box: the window and the offer in it are discarded.
    void closeTrade();

    // --- Public operations of the board window ------------------------------------------------
    /// Redraws the money labels, holds a player below zero, ends the game when fewer than two
    /// seats are in play. Every money change calls it last.
    void RefreshMoney();
    /// True when the three squares carry one owner code; then doubles `Rent`.
    bool ownall(int num1, int num2, int num3);
    /// Adds a house on `Property` and charges `turn` `cost`.
    void BuyHouse(int Property, i16 cost);
    /// Takes a house off `Property` and refunds `turn` half of `cost`.
    void sellhouse(int Property, i16 cost);

    // --- Turn engine and landing (public so tests can drive a single step) --------------------
    /// Re-seeds and returns r * (high - 1) + low, r uniform in [0, 1), computed exactly.
    double RandomValue(i16 low, i16 high);
    /// Pays `turn` the salary for passing Go, with its message.
    void PassGo();
    /// Puts `turn`'s token on `square`, makes room beside other tokens, lands, refreshes money.
    void MoveToken(int square);
    /// Announces the landing on `square` and carries out its kind.
    void LandOn(int square);
    /// Fills deck 1 or 2 with 1..17, shuffles it and draws from position 1 again.
    void ShuffleDeck(int deck);
    /// Carries out Chance card 1..17 drawn by `turn`.
    void ChanceCard(int card);
    /// Carries out Community Chest card 1..17 drawn by `turn`.
    void ChestCard(int card);

    /// Position 1..4 of the smallest value, the earliest winning ties.
    static int Nearest(int a, int b, int c, int d);
    /// The absolute value of n.
    static int Distance(int n);
    /// Reads a number the way the trade window does: blanks skipped, the longest leading decimal
    /// number (sign, digits, point, fraction, exponent); anything else reads as 0.
    static double readNumber(std::string_view text);
    /// A number as the trade window shows it: plain decimal, no point when whole.
    static std::string showNumber(double value);
    /// The text of the "?" help box: 28 lines "n = title".
    static std::string helpText();

  private:
    void die(int which);
    void NextTurn();
    void HoldDebtor(int player);
    [[noreturn]] void quit();
    void HouseRent(const std::array<i16, 5>& rents);
    void ResolveProperty(int square, std::string_view name, i16 price);
    void OfferPurchase(int square, std::string_view name, i16 price);
    void playCard(int deck, int card);
    void cardMoney(int player, int delta);
    void moveToNearestRailroad();
    void moveToNearestUtility();
    void sendToJail();
    bool houseRequirementsMet(const ColourGroup& group);
    bool changeMoneyByChoice(int player, long long delta);
    void loadHouseWork();
    void loadTrade();
    bool offerCanBeMade(double amount0, double amount1);
    void giveSquare(int square, int player);
    void setMoneyLabel(int player);

    Ui& ui_;
    RandomSource& random_;
};

} // namespace dealbrix
