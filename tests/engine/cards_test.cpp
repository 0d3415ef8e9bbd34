#include "scripted.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

using namespace dealbrix;
using namespace dealbrix::testing;

namespace {

std::string heading(int deck, int card, int pos) {
    return (deck == 1 ? "Chance Card: " : "Community Chest Card: ") + std::to_string(card) + "\r\n" +
           "Current Card: " + std::to_string(pos);
}

std::string landsOn(int player, const std::string& text) {
    return "Player " + std::to_string(player) + " lands on " + text;
}

/// The four balances, as "1500 1500 1500 1500".
std::string balances(Table& t) {
    std::string text;
    for (int p = 1; p <= kPlayerCount; ++p)
        text.append(p > 1 ? " " : "").append(std::to_string(t.s().money[p]));
    return text;
}

/// The player holding the turn stands on `from` and draws `card` of `deck`.
void draw(Table& t, int deck, int card, int from) {
    t.s().positions[t.s().turn] = static_cast<i16>(from);
    deck == 1 ? t.game.playChanceCard(card) : t.game.playChestCard(card);
}

/// The cards of `deck` in position order, as "3 1 2 ...".
std::string order(Table& t, int deck) {
    std::string text;
    for (int pos = 1; pos <= kCardsPerDeck; ++pos)
        text.append(pos > 1 ? " " : "").append(std::to_string(t.s().decks[deck][pos]));
    return text;
}

/// Scripts the 34 draws of a shuffle: `swaps` holds {pass, j, r}; every other swap leaves card j in place.
void scriptShuffle(ScriptedRandom& random, std::vector<std::array<int, 3>> swaps) {
    for (int pass = 1; pass <= 2; ++pass) {
        for (int j = 1; j <= kCardsPerDeck; ++j) {
            int r = j;
            for (const auto& s : swaps)
                if (s[0] == pass && s[1] == j) r = s[2];
            random.swapWith(r);
        }
    }
}

/// A screen that records each box together with the state of the Chance deck at that moment.
class DeckWatcher final : public Ui {
  public:
    struct Seen {
        std::string text;
        int chancePos;
        int chanceTop; // the card at position 1
    };
    const GameState* state = nullptr;
    std::vector<Seen> seen;

    void tell(const Box& box) override { seen.push_back({box.text, state->nextCard[1], state->decks[1][1]}); }
    bool ask(const Box& question) override {
        tell(question);
        return false;
    }
    void endProgram() override {}
};

using shuffleDeck = TableTest;
using CardDraw = TableTest;
using CardMoves = TableTest;
using CardMoney = TableTest;
using CardJail = TableTest;

} // namespace

TEST_F(shuffleDeck, SwapsEachPositionInTurnTwiceOver) {
    // First pass: 1 with 2; second pass: 1 with 3. The other 32 swaps leave cards in place.
    scriptShuffle(t.random, {{1, 1, 2}, {2, 1, 3}});
    t.s().nextCard[1] = 9;
    t.game.shuffleDeck(1);
    EXPECT_EQ(order(t, 1), "3 1 2 4 5 6 7 8 9 10 11 12 13 14 15 16 17");
    EXPECT_EQ(t.s().nextCard[1], 1);
    EXPECT_EQ(t.random.left(), 0u);
    EXPECT_EQ(order(t, 2), "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17");
}

TEST_F(shuffleDeck, RefillsFirstAndWalksPositionsInOrder) {
    t.s().decks[1][1] = 5;
    t.s().decks[1][5] = 1;
    std::vector<std::array<int, 3>> swaps; // every swap of the first pass takes position 1
    for (int j = 1; j <= 17; ++j)
        swaps.push_back({1, j, 1});
    scriptShuffle(t.random, swaps);
    t.game.shuffleDeck(1);
    EXPECT_EQ(order(t, 1), "17 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16");
}

TEST_F(shuffleDeck, DrawsMapOntoPositionsOneToSeventeen) {
    t.random.push({0.99999994f, 0.0f}); // the largest draw picks 17, zero picks 1
    for (int j = 3; j <= 17; ++j)
        t.random.swapWith(j);
    for (int j = 1; j <= 17; ++j)
        t.random.swapWith(j);
    t.game.shuffleDeck(2);
    EXPECT_EQ(order(t, 2), "2 17 3 4 5 6 7 8 9 10 11 12 13 14 15 16 1");
}

TEST_F(CardDraw, ShowsCardAndPositionThenTheText) {
    t.s().nextCard[1] = 6; // the deck is in order: card 6 lies there
    t.ui.expect({msg(landsOn(1, "Chance")), msg(heading(1, 6, 6)), msg("Bank pays You Dividend of $50")});
    t.game.moveToken(7);
    EXPECT_EQ(t.s().nextCard[1], 7);
    EXPECT_EQ(t.s().money[1], 1550);

    t.s().decks[2][1] = 4;
    t.s().decks[2][4] = 1;
    t.ui.expect({msg(landsOn(1, "Community Chest")), msg(heading(2, 4, 1)),
                 msg("Bank Error in Your Favor. Collect $200")});
    t.game.moveToken(2);
    EXPECT_EQ(t.s().nextCard[2], 2);
    EXPECT_EQ(t.s().money[1], 1750);
    EXPECT_EQ(t.s().board.moneyLabels[1], "1750");
}

TEST(CardDrawTiming, PositionAdvancesBeforeTheActionAndTheReshuffleComesAfterIt) {
    ScriptedRandom random = ScriptedRandom::withDecksInOrder();
    DeckWatcher ui;
    Game game(ui, random);
    ui.state = &game.state;
    game.state.decks[1][17] = 13; // "Take a Ride on the Reading Railroad" is the last card
    game.state.decks[1][13] = 17;
    game.state.nextCard[1] = 17;
    game.state.positions[1] = 7;
    scriptShuffle(random, {{1, 1, 2}});
    game.playChanceCard(13);

    ASSERT_EQ(ui.seen.size(), 5u); // heading, text, landing, purchase question, turned down
    EXPECT_EQ(ui.seen[0].text, heading(1, 13, 17));
    EXPECT_EQ(ui.seen[0].chancePos, 17);
    EXPECT_EQ(ui.seen[1].chancePos, 18);
    EXPECT_EQ(ui.seen[2].text, landsOn(1, "Reading Railroad $200"));
    EXPECT_EQ(ui.seen[2].chancePos, 18);
    EXPECT_EQ(ui.seen[4].chanceTop, 1); // the old order stands through the whole action
    EXPECT_EQ(game.state.nextCard[1], 1);
    EXPECT_EQ(game.state.decks[1][1], 2);
}

TEST_F(CardDraw, SeventeenDrawsThenAFreshOrderFromPositionOne) {
    t.ui.acceptAnything(false);
    scriptShuffle(t.random, {{1, 1, 5}});
    for (int n = 1; n <= 18; ++n) {
        t.s().positions[1] = 7;
        t.game.landOn(7);
        if (n == 17) {
            EXPECT_EQ(t.s().nextCard[1], 1);
            EXPECT_EQ(t.random.left(), 0u);
        }
    }
    std::vector<std::string> headings;
    for (const std::string& text : t.ui.shown())
        if (text.starts_with("Chance Card: ")) headings.push_back(text);
    ASSERT_EQ(headings.size(), 18u);
    for (int n = 1; n <= 17; ++n)
        EXPECT_EQ(headings[static_cast<std::size_t>(n - 1)], heading(1, n, n));
    EXPECT_EQ(headings[17], heading(1, 5, 1));
    EXPECT_EQ(t.s().nextCard[1], 2);
}

TEST(CardMoveTargets, EachMoveCardGoesToItsSquareWithoutSalary) {
    struct Move {
        int deck, card, from, to;
        const char* landing;
    };
    const Move moves[] = {{1, 1, 36, 0, "Go"},
                          {1, 2, 7, 24, "Illinois Avenue $240"},
                          {1, 3, 22, 11, "St. Charles Place $140"},
                          {1, 13, 36, 5, "Reading Railroad $200"},
                          {1, 14, 7, 39, "Boardwalk $400"},
                          {2, 1, 17, 0, "Go"},
                          {2, 7, 33, 3, "Baltic Avenue $60"}};
    for (const Move& m : moves) {
        SCOPED_TRACE(m.landing);
        Table t;
        t.ui.acceptAnything(false);
        draw(t, m.deck, m.card, m.from);
        EXPECT_EQ(t.s().positions[1], m.to);
        ASSERT_GE(t.ui.shown().size(), 3u);
        EXPECT_EQ(t.ui.shown()[2], landsOn(1, m.landing));
        EXPECT_EQ(t.s().money[1], 1500);
    }
}

TEST_F(CardMoves, AdvanceToGoFromThirtySixOnlyLandsOnGo) {
    t.ui.expect({msg(heading(1, 1, 1)), msg("Advance to Go"), msg(landsOn(1, "Go"))});
    draw(t, 1, 1, 36);
    EXPECT_EQ(t.s().money[1], 1500);
    EXPECT_EQ(t.s().positions[1], 0);
}

TEST(CardMoveTargets, NearestRailroadAndUtilityByDifferenceOfSquareNumbers) {
    struct Case {
        int deck, card, from, to;
    };
    const Case cases[] = {
        {1, 4, 7, 5},   {1, 4, 22, 25}, {1, 4, 36, 35}, {2, 2, 2, 5},   {2, 2, 17, 15},
        {2, 2, 33, 35}, {1, 5, 7, 12},  {1, 5, 22, 28}, {1, 5, 36, 28}, {2, 3, 2, 12},
        {2, 3, 17, 12}, {2, 3, 33, 28}, {1, 4, 10, 5},  {1, 5, 20, 12}, // ties go to the lower square
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("deck " + std::to_string(c.deck) + " card " + std::to_string(c.card) + " from " +
                     std::to_string(c.from));
        Table t;
        t.ui.acceptAnything(false);
        draw(t, c.deck, c.card, c.from);
        EXPECT_EQ(t.s().positions[1], c.to);
        EXPECT_EQ(t.s().money[1], 1500);
    }
}

TEST_F(CardMoves, UtilityReachedByCardUsesTheDiceThatBroughtTheToken) {
    t.start(2);
    t.own(12, 2);
    t.s().decks[1][1] = 5;
    t.s().decks[1][5] = 1;
    t.random.dice(3, 4);
    t.ui.expect({msg(landsOn(1, "Chance")), msg(heading(1, 5, 1)),
                 msg("Advance Token to the Nearest Utility"), msg(landsOn(1, "Electric Company $150")),
                 msg("You Owe $28 to Player 2")});
    t.game.roll();
    EXPECT_EQ(balances(t), "1472 1528 1500 1500");
}

TEST_F(CardMoves, GoBackThreeFromSevenPaysIncomeTax) {
    t.ui.expect({msg(heading(1, 8, 1)), msg("Go Back Three Spaces"), msg(landsOn(1, "Income Tax"))});
    draw(t, 1, 8, 7);
    EXPECT_EQ(t.s().positions[1], 4);
    EXPECT_EQ(t.s().money[1], 1300);
}

TEST_F(CardMoves, GoBackThreeFromTwentyTwoOffersNewYorkAvenue) {
    t.ui.expect({msg(heading(1, 8, 1)), msg("Go Back Three Spaces"), msg(landsOn(1, "New York Avenue $200")),
                 ask("Buy New York Avenue?", false, "Buy Property"), msg("Property Turned Down")});
    draw(t, 1, 8, 22);
    EXPECT_EQ(t.s().positions[1], 19);
}

TEST_F(CardMoves, GoBackThreeFromThirtySixDrawsACommunityChestCardWithinTheChanceDraw) {
    t.s().decks[2][1] = 11;
    t.s().decks[2][11] = 1;
    t.ui.expect({msg(heading(1, 8, 1)), msg("Go Back Three Spaces"), msg(landsOn(1, "Community Chest")),
                 msg(heading(2, 11, 1)), msg("Life Insurance Matures Collect $100")});
    draw(t, 1, 8, 36);
    EXPECT_EQ(t.s().positions[1], 33);
    EXPECT_EQ(t.s().money[1], 1600);
    EXPECT_EQ(t.s().nextCard[1], 2);
    EXPECT_EQ(t.s().nextCard[2], 2);
}

TEST(MoneyCards, EachPaysOrChargesOnlyTheDrawer) {
    struct MoneyCard {
        int deck, card;
        const char* text;
        int delta;
    };
    const MoneyCard cards[] = {{1, 6, "Bank pays You Dividend of $50", 50},
                               {1, 10, "Parking Fine $15", -15},
                               {1, 11, "Pay Poor Tax of $12", -12},
                               {1, 12, "Pay School Tax of $150", -150},
                               {1, 15, "Your Building and Loan Matures Receive $150", 150},
                               {1, 17, "Your Xmas Fund Matures Collect $100", 100},
                               {2, 4, "Bank Error in Your Favor. Collect $200", 200},
                               {2, 5, "Doctor's Fee. Pay $50", -50},
                               {2, 10, "Income Tax Refund Collect $20", 20},
                               {2, 11, "Life Insurance Matures Collect $100", 100},
                               {2, 12, "Pay Hospital $100", -100},
                               {2, 13, "Pay Your Insurance Premium $50", -50},
                               {2, 14, "You have Won 2nd Prize in a Beauty Contest Collect $10", 10},
                               {2, 15, "You Inherit $100", 100},
                               {2, 16, "Your Xmas Fund Matures Collect $100", 100},
                               {2, 17, "We're off the Gold Standard Collect $50", 50}};
    for (const MoneyCard& c : cards) {
        SCOPED_TRACE(c.text);
        Table t;
        t.s().turn = 3;
        t.ui.expect({msg(heading(c.deck, c.card, 1)), msg(c.text)});
        draw(t, c.deck, c.card, c.deck == 1 ? 22 : 17);
        EXPECT_TRUE(t.ui.done());
        EXPECT_EQ(balances(t), "1500 1500 " + std::to_string(1500 + c.delta) + " 1500");
        EXPECT_EQ(t.s().board.moneyLabels[3], std::to_string(1500 + c.delta));
        EXPECT_EQ(t.s().positions[3], c.deck == 1 ? 22 : 17);
    }
}

TEST_F(CardMoney, PayEachPlayerCoversAllFourSeatsWhateverThePlayerCount) {
    t.start(2);
    t.s().turn = 2;
    t.ui.expect({msg(heading(1, 16, 1)), msg("You are Elected Chairman of the Board. Pay Each Player $50")});
    draw(t, 1, 16, 22);
    EXPECT_EQ(balances(t), "1550 1350 1550 1550");
}

TEST_F(CardMoney, CollectFromEachPutsAnEmptyBankruptSeatInDebt) {
    t.start(2);
    t.s().money[4] = 0;
    t.ui.expect(
        {msg(heading(2, 9, 1)), msg("Grand Opera Opening. Collect $50 from Each Player"), msg(debtText(4))});
    draw(t, 2, 9, 33);
    EXPECT_EQ(balances(t), "1650 1450 1450 -50");
    EXPECT_EQ(t.s().debtor, 4);
    EXPECT_EQ(t.s().turn, 4);
}

TEST_F(CardMoney, PaymentsStopAtTheSixteenBitBounds) {
    t.s().money[1] = -32700;
    for (int p = 2; p <= 4; ++p)
        t.s().money[p] = 32750;
    t.ui.expect({msg(heading(1, 16, 1)), msg("You are Elected Chairman of the Board. Pay Each Player $50"),
                 msg(debtText(1))});
    draw(t, 1, 16, 7);
    EXPECT_EQ(balances(t), "-32768 32767 32767 32767");

    t.s().money[1] = 32700;
    t.ui.expect({msg(heading(1, 15, 2)), msg("Your Building and Loan Matures Receive $150")});
    draw(t, 1, 15, 7);
    EXPECT_EQ(t.s().money[1], 32767);
}

TEST_F(CardJail, GetOutOfJailFreeAddsToTheCountAndStaysInTheDeck) {
    const std::string chance = order(t, 1);
    const std::string chest = order(t, 2);
    t.ui.expect({msg(heading(1, 7, 1)), msg("Get Out of Jail Free"), msg(heading(2, 6, 1)),
                 msg("Get Out of Jail Free")});
    draw(t, 1, 7, 7);
    draw(t, 2, 6, 2);
    EXPECT_EQ(t.s().jailCards[1], 2);
    EXPECT_EQ(t.s().positions[1], 2);
    EXPECT_EQ(order(t, 1), chance);
    EXPECT_EQ(order(t, 2), chest);
}

TEST(GoToJailCards, BothJailThePlayerAndShowTheJailLanding) {
    for (const int deck : {1, 2}) {
        SCOPED_TRACE(deck);
        Table t;
        const int card = deck == 1 ? 9 : 8;
        t.ui.expect({msg(heading(deck, card, 1)), msg(deck == 1 ? "Go To Jail" : "Go to Jail"),
                     msg(landsOn(1, "Jail"))});
        draw(t, deck, card, deck == 1 ? 36 : 33);
        EXPECT_TRUE(t.ui.done());
        EXPECT_EQ(t.s().jailTurns[1], 1);
        EXPECT_EQ(t.s().positions[1], 10);
        EXPECT_EQ(t.s().money[1], 1500);
    }
}
