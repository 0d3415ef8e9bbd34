#pragma once
// The two collaborators the rules are given: the screen (typed boxes and questions, and the end of
// the program) and the random source. Real ones live with the windows and in random.h.

#include <optional>
#include <string>
#include <vector>

namespace dealbrix {

/// What a box the rules show is about. The screen may show every kind the same way; the game log,
/// the computer player and the tests tell them apart without reading the English.
enum class BoxKind {
    Landing,          // "Player N lands on ..."
    PassedGo,         // "Player N Passed GO"
    JailTurnsLeft,    // "NTurns left"
    JailCardQuestion, // "Use Get out of jail free card?"
    Doubles,          // "Doubles, Roll Again !!"
    PurchaseOffer,    // "Buy <name>?"
    PurchaseDeclined, // "Property Turned Down"
    PurchaseMade,     // "<name> Bought by player N"
    OwnSquare,        // "You landed on your own property"
    MortgagedSquare,  // "Property mortgaged, just visiting"
    Rent,             // "You Owe $N to Player M"
    CardDrawn,        // "Chance Card: ..." with the deck position
    CardText,         // the card's own words
    Debt,             // the debt hold
    Winner,           // "Player N WINS!!!"
    NoPlayerLeft,     // every seat is out
    HouseQuestion,    // "Are you sure you want to buy (sell) a house here?"
    HouseBought,      // "House successfully purchased. ..."
    HouseSold,        // "House successfully sold. ..."
    HouseRefused,     // not owned, hotel already, no houses, requirements not met, houses block a mortgage
    MoneyOutOfRange,  // a chosen change would leave the 16-bit range: nothing changed
    TradeHelp,        // the list of square numbers
    TradeRefused,     // an offer that cannot be carried out
    TradeQuestion,    // "Player N, do you accept this offer?"
    // The house rules' boxes, shown only while their rule is on.
    RulesChosen,      // the log's line of the rules chosen, at Start (a note, not a box)
    AuctionBid,       // an amount question: the bid of `seat` for `square`, high bid `amount`
    AuctionCannotBid, // a seat without the cash to beat the high bid drops out (a note)
    AuctionWon,       // "<name> goes to Player N for $M"
    AuctionUnsold,    // nobody bid: the square stays with the bank
    GaveUp,           // a seat gave up: where its squares went (a note)
    Mortgaged,        // a square was mortgaged (a note)
    Redeemed,         // a mortgaged square was paid off (a note)
    Traded,           // what an accepted offer moved, both ways (a note)
    ToComputer,       // the computer took a seat over (a note)
    ToPerson,         // a person took a seat back from the computer (a note)
    PotCollected,     // "Player N collects the Free Parking pot of $M"
    NoRentInJail,     // the landlord is in jail
    EstateHandedOver, // a bankrupt's estate goes to the creditor or to the bank
    TradeAnswer,      // a computer seat's answer to a person's offer
};

/// Money facts that come with a question, for the player to weigh; fields that do not apply are 0.
struct MoneyFacts {
    int price = 0;     // the square's or the house's price
    int rentNow = 0;   // the rent as things stand (before buying a house, or the square's rent once bought)
    int rentAfter = 0; // the rent once the house is bought or sold
    int houses = 0;    // houses on the square now
    int cashAfter = 0; // the player's cash once the price is paid
    bool operator==(const MoneyFacts&) const = default;
};

/// One box the rules show: an OK box, a Yes/No question, or a question whose answer is an amount.
struct Box {
    BoxKind kind = BoxKind::Landing;
    int seat = 0;        // the player it concerns; for a question, the player who must answer
    int turn = 0;        // whose turn it was when the box was shown
    int square = -1;     // the square it is about, -1 for none
    int amount = 0;      // the money it names (rent, price, house price), 0 for none
    int minimum = 0;     // an amount question's smallest answer; 0 passes besides
    int maximum = 0;     // an amount question's largest answer; 0 for a Yes/No question
    std::string title{}; // empty for the program's own caption
    std::string text{};
    std::string turnName{};            // what the seat of `turn` is called ("Player N" or its name)
    std::optional<MoneyFacts> facts{}; // the figures behind a money question

    bool operator==(const Box&) const = default;
};

/// How the rules speak to the players. Every call is modal: it returns once the box is closed.
class Ui {
  public:
    virtual ~Ui() = default;
    /// Shows an OK box.
    virtual void tell(const Box& box) = 0;
    /// Asks a Yes/No question of `question.seat`; true for Yes.
    virtual bool ask(const Box& question) = 0;
    /// Asks `question.seat` for an amount from `question.minimum` to `question.maximum`, or 0 to
    /// pass. A screen that knows no amount questions passes.
    virtual int askAmount(const Box& question) {
        (void)question;
        return 0;
    }
    /// Records a line that no box shows (the rules chosen, a bidder dropping out): the game log keeps
    /// it, a screen may ignore it.
    virtual void note(const Box& line) { (void)line; }
    /// Ends the program at once, without close handlers. A test's Ui may return; the rules then stop.
    virtual void endProgram() = 0;
};

/// The random numbers of the dice and the shuffles.
class RandomSource {
  public:
    virtual ~RandomSource() = default;
    /// Draws a uniform value in [0, 1).
    virtual float next() = 0;
};

/// Thrown by the rules once the program has been told to end, so no rule goes on afterwards.
struct ProgramEnded {};

/// True when `box` asks for an amount rather than Yes or No.
inline bool isAmountQuestion(const Box& box) {
    return box.maximum > 0;
}

} // namespace dealbrix
