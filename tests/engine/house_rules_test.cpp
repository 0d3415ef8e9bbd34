#include "computer_player.h"
#include "game_log.h"
#include "invariants.h"
#include "scripted.h"
#include "seat_router.h"

#include <gtest/gtest.h>

#include <string>

using namespace dealbrix;
using namespace dealbrix::testing;

namespace {

constexpr int kBaltic = 3;
constexpr int kMediterranean = 1;
constexpr int kBoardwalk = 39;
constexpr int kParkPlace = 37;
constexpr int kOriental = 6;

/// A game of `players` with `rules` chosen before Start; player 1 to move.
struct RulesTable : Table {
    explicit RulesTable(std::initializer_list<HouseRule> chosen, int players = 4, int money = 1500) {
        HouseRules rules;
        for (const HouseRule rule : chosen)
            rules.set(rule, true);
        rules.startingMoney = static_cast<i16>(money);
        EXPECT_EQ(game.chooseRules(rules), ActionResult::Done);
        start(players);
    }
    /// Player 1 rolls `a` and `b` from `from`.
    void rollFrom(int from, int a, int b) {
        s().turn = 1;
        s().positions[1] = static_cast<i16>(from);
        s().board.rollEnabled = true;
        random.dice(a, b);
        game.roll();
    }
    /// Player 1 lands on Baltic Avenue from Go and turns it down.
    void declineBaltic() {
        ui.expect({landing(1, kBaltic), ask("Buy Baltic Avenue?", false, "Buy Property"),
                   msg("Property Turned Down")});
    }
    void expectSound() {
        const auto broken = brokenInvariants(s());
        EXPECT_TRUE(broken.empty()) << broken.front();
    }
};

std::string bidText(int bidder, int high = 0, int holder = 0) {
    return "Auction of Baltic Avenue: Player " + std::to_string(bidder) + " to bid, " +
           (holder == 0 ? std::string("no bid yet")
                        : "high bid $" + std::to_string(high) + " by Player " + std::to_string(holder));
}

} // namespace

// --- Auction ----------------------------------------------------------------------------------------

TEST(AuctionRule, EverySeatPassingLeavesTheSquareWithTheBank) {
    RulesTable t({HouseRule::Auction});
    t.declineBaltic();
    t.ui.expect({bid(bidText(2), 0), bid(bidText(3), 0), bid(bidText(4), 0), bid(bidText(1), 0),
                 msg("Nobody bid: Baltic Avenue stays with the bank")});
    t.rollFrom(0, 1, 2);
    EXPECT_TRUE(t.ui.done());
    EXPECT_EQ(t.s().owners[kBaltic], kBank);
    EXPECT_EQ(t.s().money[1], 1500);
    EXPECT_FALSE(t.s().auction.open);
    t.expectSound();
}

TEST(AuctionRule, OneBidderPaysItsBidAndTakesTheSquare) {
    RulesTable t({HouseRule::Auction});
    t.declineBaltic();
    t.ui.expect({bid(bidText(2), 10), bid(bidText(3, 10, 2), 0), bid(bidText(4, 10, 2), 0),
                 bid(bidText(1, 10, 2), 0), msg("Baltic Avenue goes to Player 2 for $10")});
    t.rollFrom(0, 1, 2);
    EXPECT_TRUE(t.ui.done());
    EXPECT_EQ(t.s().owners[kBaltic], 2);
    EXPECT_TRUE(t.s().grid.ticked[2][kBaltic]);
    EXPECT_EQ(t.s().pricePaid[kBaltic], 10) << "the price paid is the bid";
    EXPECT_EQ(t.s().money[2], 1490);
    EXPECT_EQ(t.s().money[1], 1500);
    t.expectSound();
}

TEST(AuctionRule, TheDeclinerBidsLastAndMayWin) {
    RulesTable t({HouseRule::Auction}, 2);
    t.declineBaltic();
    t.ui.expect({bid(bidText(2), 30), bid(bidText(1, 30, 2), 31), bid(bidText(2, 31, 1), 0),
                 msg("Baltic Avenue goes to Player 1 for $31")});
    t.rollFrom(0, 1, 2);
    EXPECT_TRUE(t.ui.done());
    EXPECT_EQ(t.s().owners[kBaltic], 1);
    EXPECT_EQ(t.s().money[1], 1469);
    EXPECT_EQ(t.s().money[2], 1500) << "the outbid bidder pays nothing";
}

TEST(AuctionRule, ABidAboveCashIsAPassAndTheQuestionIsBoundedByCash) {
    RulesTable t({HouseRule::Auction}, 2);
    t.s().money[2] = 40;
    t.declineBaltic();
    t.ui.expect(
        {bid(bidText(2), 41), bid(bidText(1), 0), msg("Nobody bid: Baltic Avenue stays with the bank")});
    t.rollFrom(0, 1, 2);
    EXPECT_TRUE(t.ui.done());
    const Box& asked = t.ui.boxes()[3];
    EXPECT_EQ(asked.kind, BoxKind::AuctionBid);
    EXPECT_EQ(asked.minimum, 1);
    EXPECT_EQ(asked.maximum, 40);
    EXPECT_EQ(t.s().owners[kBaltic], kBank);
    EXPECT_EQ(t.s().money[2], 40);
}

TEST(AuctionRule, ASeatThatCannotBeatTheHighBidDropsOutWithALogLine) {
    RulesTable t({HouseRule::Auction}, 3);
    t.s().money[3] = 50;
    t.declineBaltic();
    t.ui.expect(
        {bid(bidText(2), 50), bid(bidText(1, 50, 2), 0), msg("Baltic Avenue goes to Player 2 for $50")});
    GameLog log(t.ui);
    t.random.identityShuffle();
    t.random.identityShuffle();
    Game logged(log, t.random);
    logged.restore(t.s());
    t.random.dice(1, 2);
    logged.roll();
    EXPECT_TRUE(t.ui.done());
    EXPECT_EQ(logged.state.owners[kBaltic], 2);
    ASSERT_EQ(t.ui.notes().size(), 2u) << "the rules line at Start, then the seat that dropped out";
    EXPECT_EQ(t.ui.notes()[1].seat, 3);
    const auto& lines = log.lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Player 1: " + bidText(2) + " - bids $50"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "Player 1: Auction of Baltic Avenue: Player 3 has $50 and cannot beat the high bid "
                        "$50 by Player 2, and passes"),
              lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Player 1: " + bidText(1, 50, 2) + " - passes"),
              lines.end());
}

TEST(AuctionRule, BidsWaitAsQuestionsAndRefuseAnAmountBeyondCash) {
    RulesTable t({HouseRule::Auction}, 2);
    t.game.setQuestionsWait(true);
    t.ui.expect(
        {landing(1, kBaltic), msg("Property Turned Down"), msg("Baltic Avenue goes to Player 2 for $60")});
    t.random.dice(1, 2);
    EXPECT_EQ(t.game.roll(), ActionResult::Waiting);
    EXPECT_EQ(t.game.apply(Action::answer(false)), ActionResult::Waiting);
    ASSERT_NE(t.game.openQuestion(), nullptr);
    EXPECT_EQ(t.game.openQuestion()->kind, BoxKind::AuctionBid);
    EXPECT_EQ(t.s().auction.bidder, 2);
    EXPECT_EQ(t.game.apply(Action::answerAmount(1501)), ActionResult::Refused);
    EXPECT_EQ(t.game.apply(Action::answerAmount(60)), ActionResult::Waiting);
    EXPECT_EQ(t.s().auction.highBid, 60) << "the state shows the auction while the next bid waits";
    EXPECT_EQ(t.s().auction.highBidder, 2);
    EXPECT_EQ(t.game.apply(Action::answerAmount(60)), ActionResult::Refused)
        << "a bid must beat the high bid";
    EXPECT_EQ(t.game.apply(Action::answerAmount(0)), ActionResult::Done);
    EXPECT_EQ(t.s().owners[kBaltic], 2);
    EXPECT_EQ(t.s().money[2], 1440);
    EXPECT_TRUE(t.ui.done());
    t.expectSound();
}

TEST(AuctionRule, OffTheDeclinedSquareStaysWithTheBankWithoutBids) {
    RulesTable t({});
    t.declineBaltic();
    t.rollFrom(0, 1, 2);
    EXPECT_TRUE(t.ui.done());
    EXPECT_EQ(t.s().owners[kBaltic], kBank);
}

// --- Even building ----------------------------------------------------------------------------------

namespace {
/// Player 1 holds Mediterranean and Baltic with the houses given, and House Options is open on `square`.
void holdPurples(RulesTable& t, int onMediterranean, int onBaltic, int square) {
    t.own(kMediterranean, 1);
    t.own(kBaltic, 1);
    t.s().houses[kMediterranean] = static_cast<i16>(onMediterranean);
    t.s().houses[kBaltic] = static_cast<i16>(onBaltic);
    t.game.openHouseOptions(square);
}
} // namespace

TEST(EvenBuildingRule, RefusesAHouseOnASquareAheadOfItsGroup) {
    RulesTable t({HouseRule::EvenBuilding});
    holdPurples(t, 1, 0, kMediterranean);
    t.ui.expect({msg("Build evenly: another square of this group has fewer houses")});
    t.game.buyHouse();
    EXPECT_EQ(t.s().houses[kMediterranean], 1);
    t.game.closeHouseOptions();
    t.game.openHouseOptions(kBaltic);
    t.ui.expect({ask("Are you sure you want to buy a house here?", true),
                 msg("House successfully purchased. Baltic Avenue now has 1 houses")});
    t.game.buyHouse();
    EXPECT_TRUE(t.ui.done());
    EXPECT_EQ(t.s().houses[kBaltic], 1);
}

TEST(EvenBuildingRule, RefusesASaleFromASquareBehindItsGroup) {
    RulesTable t({HouseRule::EvenBuilding});
    holdPurples(t, 2, 1, kBaltic);
    t.ui.expect({msg("Sell evenly: another square of this group has more houses")});
    t.game.sellHouse();
    EXPECT_EQ(t.s().houses[kBaltic], 1);
    t.game.closeHouseOptions();
    t.game.openHouseOptions(kMediterranean);
    t.ui.expect({ask("Are you sure you want to sell a house here?", true),
                 msg("House successfully sold. Mediteranean Avenue now has 1 houses")});
    t.game.sellHouse();
    EXPECT_TRUE(t.ui.done());
    EXPECT_EQ(t.s().houses[kMediterranean], 1);
}

TEST(EvenBuildingRule, RefusesToMortgageASquareWhoseGroupHasHouses) {
    RulesTable t({HouseRule::EvenBuilding});
    holdPurples(t, 1, 0, kBaltic);
    t.ui.expect({msg("Cannot mortgage a property while its group has houses, please sell them first")});
    t.game.toggleMortgage();
    EXPECT_TRUE(t.ui.done());
    EXPECT_EQ(t.s().owners[kBaltic], 1);
    EXPECT_EQ(t.s().money[1], 1500);
}

// --- Limited houses ---------------------------------------------------------------------------------

TEST(LimitedHousesRule, BuildingTakesFromTheBankUntilItRunsOut) {
    RulesTable t({HouseRule::LimitedHouses});
    holdPurples(t, 0, 0, kMediterranean);
    t.s().housesInBank = 1; // the other 31 stand elsewhere, as far as this square is concerned
    t.ui.expect({ask("Are you sure you want to buy a house here?", true),
                 msg("House successfully purchased. Mediteranean Avenue now has 1 houses"),
                 msg("The bank has no houses left")});
    t.game.buyHouse();
    EXPECT_EQ(t.s().housesInBank, 0);
    t.game.buyHouse();
    EXPECT_TRUE(t.ui.done());
    EXPECT_EQ(t.s().houses[kMediterranean], 1);
}

TEST(LimitedHousesRule, AHotelGivesItsFourHousesBackAndNeedsAHotelInTheBank) {
    RulesTable t({HouseRule::LimitedHouses});
    holdPurples(t, 4, 4, kMediterranean);
    t.s().housesInBank = kBankHouses - 8;
    t.s().hotelsInBank = 0;
    t.ui.expect({msg("The bank has no hotels left")});
    t.game.buyHouse();
    EXPECT_EQ(t.s().houses[kMediterranean], 4);
    t.s().hotelsInBank = 1;
    t.ui.expect({ask("Are you sure you want to buy a house here?", true),
                 msg("House successfully purchased. Mediteranean Avenue now has 5 houses")});
    t.game.buyHouse();
    EXPECT_TRUE(t.ui.done());
    EXPECT_EQ(t.s().hotelsInBank, 0);
    EXPECT_EQ(t.s().housesInBank, kBankHouses - 4);
}

TEST(LimitedHousesRule, SellingAHotelNeedsFourHousesInTheBank) {
    RulesTable t({HouseRule::LimitedHouses});
    holdPurples(t, 5, 4, kMediterranean);
    t.s().housesInBank = 3;
    t.s().hotelsInBank = kBankHotels - 1;
    t.ui.expect({msg("The bank needs 4 houses to take a hotel back and has 3")});
    t.game.sellHouse();
    EXPECT_EQ(t.s().houses[kMediterranean], 5);
    t.s().housesInBank = 4;
    t.ui.expect({ask("Are you sure you want to sell a house here?", true),
                 msg("House successfully sold. Mediteranean Avenue now has 4 houses")});
    t.game.sellHouse();
    EXPECT_TRUE(t.ui.done());
    EXPECT_EQ(t.s().housesInBank, 0);
    EXPECT_EQ(t.s().hotelsInBank, kBankHotels);
}

TEST(LimitedHousesRule, ChoosingTheRuleCountsTheBankFromTheBoard) {
    Table t;
    t.s().houses[kMediterranean] = 2;
    t.s().houses[kBaltic] = 5;
    HouseRules rules;
    rules.set(HouseRule::LimitedHouses, true);
    t.game.chooseRules(rules);
    EXPECT_EQ(t.s().housesInBank, kBankHouses - 2);
    EXPECT_EQ(t.s().hotelsInBank, kBankHotels - 1);
    EXPECT_TRUE(brokenInvariants(t.s()).empty());
    EXPECT_EQ(t.s().rules, rules);
}

// --- Bankruptcy to the creditor ---------------------------------------------------------------------

TEST(CreditorBankruptcyRule, RentDebtHandsSquaresHousesMortgagesAndJailCardsToTheLandlord) {
    RulesTable t({HouseRule::CreditorBankruptcy, HouseRule::LimitedHouses});
    holdPurples(t, 2, 2, kMediterranean);
    t.game.closeHouseOptions();
    t.s().housesInBank = kBankHouses - 4;
    t.own(kOriental, 1);
    t.s().owners[kOriental] = mortgagedCode(1);
    t.s().jailCards[1] = 1;
    t.own(kParkPlace, 2);
    t.own(kBoardwalk, 2);
    t.s().money[1] = 60;
    t.ui.expect(
        {landing(1, kBoardwalk), msg("You Owe $100 to Player 2"), msg(debtText(1)), msg(debtText(1))});
    t.rollFrom(34, 2, 3);
    EXPECT_EQ(t.s().money[1], -40) << "the group rent of Boardwalk is 100";
    t.ui.expect({msg("Player 1's estate goes to Player 2")});
    t.game.giveUp();
    EXPECT_TRUE(t.ui.done());
    EXPECT_EQ(t.s().owners[kMediterranean], 2);
    EXPECT_EQ(t.s().owners[kBaltic], 2);
    EXPECT_EQ(t.s().houses[kBaltic], 2) << "the houses go with the squares";
    EXPECT_EQ(t.s().owners[kOriental], mortgagedCode(2)) << "mortgaged squares stay mortgaged";
    EXPECT_TRUE(t.s().grid.ticked[2][kOriental]);
    EXPECT_FALSE(t.s().grid.ticked[1][kOriental]);
    EXPECT_EQ(t.s().jailCards[2], 1);
    EXPECT_EQ(t.s().jailCards[1], 0);
    EXPECT_EQ(t.s().housesInBank, kBankHouses - 4);
    t.expectSound();
}

TEST(CreditorBankruptcyRule, RentThatLeavesThePayerBelowZeroNamesTheLandlord) {
    RulesTable t({HouseRule::CreditorBankruptcy});
    t.own(kParkPlace, 2);
    t.own(kBoardwalk, 2);
    t.s().money[1] = 40;
    t.ui.expect(
        {landing(1, kBoardwalk), msg("You Owe $100 to Player 2"), msg(debtText(1)), msg(debtText(1))});
    t.rollFrom(34, 2, 3);
    EXPECT_TRUE(t.ui.done());
    EXPECT_EQ(t.s().creditor[1], 2);
    // A tax that takes the player deeper below zero makes it a debt to the bank.
    t.ui.expect({landing(1, 38), msg(debtText(1))});
    t.game.moveToken(38);
    EXPECT_EQ(t.s().creditor[1], kBank);
}

TEST(CreditorBankruptcyRule, AnyOtherDebtReturnsEverythingToTheBankForSaleAgain) {
    RulesTable t({HouseRule::CreditorBankruptcy, HouseRule::LimitedHouses});
    holdPurples(t, 1, 5, kMediterranean);
    t.game.closeHouseOptions();
    t.s().housesInBank = kBankHouses - 1;
    t.s().hotelsInBank = kBankHotels - 1;
    t.own(kOriental, 1);
    t.s().owners[kOriental] = mortgagedCode(1);
    t.s().money[1] = 100;
    t.ui.expect({landing(1, 4), msg(debtText(1)), msg(debtText(1))});
    t.rollFrom(0, 1, 3);
    EXPECT_EQ(t.s().creditor[1], kBank);
    t.ui.expect({msg("Player 1's estate goes back to the bank")});
    t.game.giveUp();
    EXPECT_TRUE(t.ui.done());
    for (const int square : {kMediterranean, kBaltic, kOriental}) {
        EXPECT_EQ(t.s().owners[square], kBank) << square;
        EXPECT_EQ(t.s().houses[square], 0) << square;
        EXPECT_FALSE(t.s().grid.ticked[1][square]) << square;
    }
    EXPECT_EQ(t.s().housesInBank, kBankHouses);
    EXPECT_EQ(t.s().hotelsInBank, kBankHotels);
    t.expectSound();
}

// --- Free Parking pot -------------------------------------------------------------------------------

TEST(FreeParkingPotRule, TaxesAndCardPaymentsGoIntoThePotThatFreeParkingTakes) {
    RulesTable t({HouseRule::FreeParkingPot});
    t.ui.expect({landing(1, 4)});
    t.rollFrom(0, 1, 3);
    EXPECT_EQ(t.s().pot, 200);
    t.s().nextCard[1] = 10; // "Parking Fine $15"
    t.ui.expect({landing(1, 7), msg("Chance Card: 10\r\nCurrent Card: 10"), msg("Parking Fine $15")});
    t.game.moveToken(7);
    EXPECT_EQ(t.s().pot, 215);
    t.s().nextCard[1] = 16; // "Pay Each Player $50": paid to the players, not the bank
    t.ui.expect({landing(1, 22), msg("Chance Card: 16\r\nCurrent Card: 16"),
                 msg("You are Elected Chairman of the Board. Pay Each Player $50")});
    t.game.moveToken(22);
    EXPECT_EQ(t.s().pot, 215);
    const int before = t.s().money[1];
    t.ui.expect({landing(1, 20), msg("Player 1 collects the Free Parking pot of $215")});
    t.game.moveToken(20);
    EXPECT_TRUE(t.ui.done());
    EXPECT_EQ(t.s().money[1], before + 215);
    EXPECT_EQ(t.s().pot, 0);
    t.expectSound();
}

TEST(FreeParkingPotRule, ThePotNeverTakesABalanceBeyondWhatTheBankCounts) {
    RulesTable t({HouseRule::FreeParkingPot});
    t.s().pot = 300;
    t.s().money[1] = kMax16 - 100;
    t.ui.expect({landing(1, 20), msg("Player 1 collects the Free Parking pot of $100")});
    t.game.moveToken(20);
    EXPECT_EQ(t.s().money[1], kMax16);
    EXPECT_EQ(t.s().pot, 200) << "the rest waits for the next player";
}

TEST(FreeParkingPotRule, OffTaxesGoToTheBank) {
    RulesTable t({});
    t.ui.expect({landing(1, 4)});
    t.rollFrom(0, 1, 3);
    EXPECT_EQ(t.s().pot, 0);
}

// --- Double salary on Go ----------------------------------------------------------------------------

TEST(DoubleGoRule, ExactlyOnGoPaysTwiceAndPassingPaysOnce) {
    RulesTable t({HouseRule::DoubleGo});
    t.ui.expect({msg("Player 1 Passed GO"), msg("Player 1 lands exactly on GO and collects another $200"),
                 landing(1, 0)});
    t.rollFrom(31, 4, 5);
    EXPECT_EQ(t.s().money[1], 1900);
    t.ui.expect({msg("Player 1 Passed GO"), landing(1, 5),
                 ask("Buy Reading Railread?", false, "Buy Property"), msg("Property Turned Down")});
    t.rollFrom(38, 3, 4);
    EXPECT_TRUE(t.ui.done());
    EXPECT_EQ(t.s().money[1], 2100);
}

// --- No rent in jail --------------------------------------------------------------------------------

TEST(NoRentInJailRule, ALandlordInJailCollectsNothingAndOutOfJailCollects) {
    RulesTable t({HouseRule::NoRentInJail});
    t.own(kBoardwalk, 2);
    t.s().jailTurns[2] = 2;
    t.ui.expect({landing(1, kBoardwalk), msg("Player 2 is in jail and collects no rent")});
    t.game.moveToken(kBoardwalk);
    EXPECT_EQ(t.s().money[1], 1500);
    EXPECT_EQ(t.s().money[2], 1500);
    t.s().jailTurns[2] = 0;
    t.ui.expect({landing(1, kBoardwalk), msg("You Owe $50 to Player 2")});
    t.game.moveToken(kBoardwalk);
    EXPECT_TRUE(t.ui.done());
    EXPECT_EQ(t.s().money[2], 1550);
}

// --- Choosing the rules -----------------------------------------------------------------------------

TEST(ChooseRules, StartingMoneyGoesToEverySeatAndTheRulesAreLoggedAtStart) {
    Table t;
    HouseRules rules;
    rules.set(HouseRule::Auction, true);
    rules.startingMoney = 2000;
    EXPECT_EQ(t.game.chooseRules(rules), ActionResult::Done);
    for (int seat = 1; seat <= kPlayerCount; ++seat) {
        EXPECT_EQ(t.s().money[seat], 2000);
        EXPECT_EQ(t.s().board.moneyLabels[seat], "2000");
    }
    t.start(3);
    ASSERT_EQ(t.ui.notes().size(), 1u);
    EXPECT_EQ(t.ui.notes()[0].text, "House rules: Auction; starting money 2000");
    t.game.start();
    EXPECT_EQ(t.ui.notes().size(), 1u) << "a second Start writes no second line";
    EXPECT_FALSE(t.game.isAvailable(Action::chooseRules({}))) << "the rules are fixed at Start";
}

TEST(ChooseRules, AWrongNameOrStartingMoneyChangesNothing) {
    Table t;
    const GameState before = t.s();
    for (const Action& wrong :
         {Action{ActionKind::ChooseRules, 1500, "auction,gambling", {}},
          Action{ActionKind::ChooseRules, 1550, "auction", {}}, Action{ActionKind::ChooseRules, 400, "", {}},
          Action{ActionKind::ChooseRules, 5100, "", {}}}) {
        t.game.apply(wrong);
        EXPECT_EQ(t.s(), before) << wrong.describe();
    }
    t.start(4);
    EXPECT_TRUE(t.ui.notes().empty()) << "the plain game writes no rules line";
}

TEST(HouseRuleNames, ReadTheCommandLineListAndNameTheWrongOne) {
    HouseRules rules;
    EXPECT_EQ(readHouseRuleNames(" auction, ,no-rent-in-jail ", rules), "");
    EXPECT_TRUE(rules.has(HouseRule::Auction));
    EXPECT_TRUE(rules.has(HouseRule::NoRentInJail));
    EXPECT_EQ(houseRuleList(rules), "auction,no-rent-in-jail");
    EXPECT_EQ(readHouseRuleNames("auction,Double-Go", rules), "Double-Go");
    EXPECT_TRUE(rules.has(HouseRule::NoRentInJail)) << "a list with a wrong name changes nothing";
    EXPECT_TRUE(validStartingMoney(500));
    EXPECT_TRUE(validStartingMoney(5000));
    EXPECT_FALSE(validStartingMoney(5100));
    EXPECT_FALSE(validStartingMoney(1550));
}

// --- The invariants and the computer ----------------------------------------------------------------

TEST(HouseRuleInvariants, CatchABankOutOfStepAndANegativePot) {
    RulesTable t({HouseRule::LimitedHouses, HouseRule::FreeParkingPot});
    t.s().houses[kBoardwalk] = 1;
    t.s().owners[kBoardwalk] = 2;
    t.s().grid.ticked[2][kBoardwalk] = true;
    t.s().pot = -1;
    const auto broken = brokenInvariants(t.s());
    ASSERT_EQ(broken.size(), 2u);
    EXPECT_EQ(broken[0], "Free Parking pot of -1");
    EXPECT_EQ(broken[1], "bank holds 32 houses and 12 hotels, board 1 houses and 0 hotels");
}

TEST(ComputerHouseRules, BidsMoreForASquareThatCompletesAGroup) {
    RulesTable t({HouseRule::Auction});
    const ComputerPlayer computer;
    const Box question{
        .kind = BoxKind::AuctionBid, .seat = 2, .square = kBaltic, .minimum = 61, .maximum = 1500};
    EXPECT_EQ(computer.bid(t.s(), question), 0) << "a lone Baltic is worth its price, 60, and no more";
    t.own(kMediterranean, 2);
    const int completing = computer.bid(t.s(), question);
    EXPECT_GE(completing, 61);
    EXPECT_GT(computer.squareValue(t.s(), kBaltic, 2), 2 * squareInfo(kBaltic).price);
    t.s().owners[kMediterranean] = 3;
    t.s().grid.ticked[2][kMediterranean] = false;
    EXPECT_GT(computer.squareValue(t.s(), kBaltic, 2), squareInfo(kBaltic).price) << "blocking counts too";
    EXPECT_EQ(
        computer.bid(
            t.s(),
            {.kind = BoxKind::AuctionBid, .seat = 2, .square = kBaltic, .minimum = 1400, .maximum = 1500}),
        0)
        << "never beyond what the square is worth";
}

TEST(ComputerHouseRules, BuildsEvenlyAndOnlyWhileTheBankHasHouses) {
    RulesTable t({HouseRule::EvenBuilding, HouseRule::LimitedHouses});
    t.own(kMediterranean, 1);
    t.own(kBaltic, 1);
    t.s().houses[kMediterranean] = 1;
    t.s().housesInBank = kBankHouses - 1;
    ComputerPlayer computer;
    const std::optional<Action> first = computer.nextAction(t.game);
    ASSERT_TRUE(first);
    EXPECT_EQ(*first, Action::openHouseOptions(kBaltic)) << "the square with fewer houses";
    t.s().housesInBank = 0;
    t.s().board.rollEnabled = true;
    ComputerPlayer fresh;
    EXPECT_EQ(fresh.nextAction(t.game), Action::roll()) << "nothing to build with";
}

TEST(ComputerHouseRules, TheSeatRouterLetsAComputerSeatBidAndAPersonAnswerOnTheScreen) {
    RulesTable t({HouseRule::Auction}, 2);
    t.own(kMediterranean, 2);
    ComputerPlayer computer;
    SeatRouter router(t.ui, computer);
    router.attach(t.game);
    router.setComputer(2, true);
    std::vector<int> shown;
    router.setComputerBidShown([&shown](const Box&, int amount) { shown.push_back(amount); });
    const Box question{
        .kind = BoxKind::AuctionBid, .seat = 2, .square = kBaltic, .minimum = 1, .maximum = 1500};
    const int amount = router.askAmount(question);
    EXPECT_GE(amount, 1) << "Baltic completes the computer's group";
    EXPECT_EQ(shown, std::vector<int>{amount});
    t.ui.expect({bid("for the person", 7)});
    EXPECT_EQ(router.askAmount({.kind = BoxKind::AuctionBid,
                                .seat = 1,
                                .square = kBaltic,
                                .minimum = 1,
                                .maximum = 1500,
                                .title = "Auction",
                                .text = "for the person"}),
              7);
    EXPECT_TRUE(t.ui.done());
}
