// The Chance and Community Chest decks.
#include "game.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace dealbrix {

namespace {

enum class Action {
    MoveTo,
    NearestRailroad,
    NearestUtility,
    Money,
    JailCard,
    BackThree,
    GoToJail,
    PayEach,
    CollectEach
};

struct Card {
    std::string_view text;
    Action action;
    int value = 0; // the square of a move, or the amount of a money card
};

// What each other seat receives or pays on the pay-each and collect-from-each cards, and the drawer's
// fixed total for the three other seats, whatever the number of players.
constexpr int kEachPlayer = 50;
constexpr int kFromAllThree = 150;
constexpr int kNoUtility = 999; // fills the two unused places of the nearest-utility search

constexpr std::array<Card, kCardsPerDeck> kChance{{
    {"Advance to Go", Action::MoveTo, 0},
    {"Adance to Illinois Ave.", Action::MoveTo, 24},
    {"Advance to Saint Charles Place.", Action::MoveTo, 11},
    {"Advance Token to the Nearest Railroad", Action::NearestRailroad},
    {"Advance Token to the Nearest Utility", Action::NearestUtility},
    {"Bank pays You Dividend of $50", Action::Money, 50},
    {"Get Out of Jail Free", Action::JailCard},
    {"Go Back Three Spaces", Action::BackThree},
    {"Go To Jail", Action::GoToJail},
    {"Parking Fine $15", Action::Money, -15},
    {"Pay Poor Tax of $12", Action::Money, -12},
    {"Pay School Tax of $150", Action::Money, -150},
    {"Take a Ride on the Reading Railroad", Action::MoveTo, 5},
    {"Take a Walk on the Boardwalk", Action::MoveTo, 39},
    {"Your Building and Loan Matures Receive $150", Action::Money, 150},
    {"You are Elected Chairman of the Board. Pay Each Player $50", Action::PayEach},
    {"Your Xmas Fund Matures Collect $100", Action::Money, 100},
}};

constexpr std::array<Card, kCardsPerDeck> kChest{{
    {"Advance to Go", Action::MoveTo, 0},
    {"Advance Token to Nearest Railroad", Action::NearestRailroad},
    {"Advance Token to Nearest Utility", Action::NearestUtility},
    {"Bank Error in Your Favor. Collect $200", Action::Money, 200},
    {"Doctor's Fee. Pay $50", Action::Money, -50},
    {"Get Out of Jail Free", Action::JailCard},
    {"Go Back to Baltic Avenue", Action::MoveTo, 3},
    {"Go to Jail", Action::GoToJail},
    {"Grand Opera Opening. Collect $50 from Each Player", Action::CollectEach},
    {"Income Tax Refund Collect $20", Action::Money, 20},
    {"Life Insurance Matures Collect $100", Action::Money, 100},
    {"Pay Hospital $100", Action::Money, -100},
    {"Pay Your Insurance Premium $50", Action::Money, -50},
    {"You have Won 2nd Prize in a Beauty Contest Collect $10", Action::Money, 10},
    {"You Inherit $100", Action::Money, 100},
    {"Your Xmas Fund Matures Collect $100", Action::Money, 100},
    {"We're off the Gold Standard Collect $50", Action::Money, 50},
}};

} // namespace

void Game::ShuffleDeck(int deck) {
    auto& cards = state.Decks[deck];
    for (int i = 1; i <= kCardsPerDeck; ++i)
        cards[i] = static_cast<i16>(i);
    for (int pass = 0; pass < 2; ++pass) {
        for (int j = 1; j <= kCardsPerDeck; ++j) {
            const double u = random_.next();
            const int r = std::min(static_cast<int>(u * kCardsPerDeck) + 1, kCardsPerDeck);
            std::swap(cards[j], cards[r]);
        }
    }
    state.CardPos[deck] = 1;
}

void Game::ChanceCard(int card) {
    playCard(1, card);
}

void Game::ChestCard(int card) {
    playCard(2, card);
}

void Game::playCard(int deck, int card) {
    const std::string heading = deck == 1 ? "Chance Card: " : "Community Chest Card: ";
    ui_.message(heading + num(card) + "\r\n" + "Current Card: " + num(state.CardPos[deck]));
    ++state.CardPos[deck];
    if (card >= 1 && card <= kCardsPerDeck) {
        const Card& c = (deck == 1 ? kChance : kChest)[static_cast<std::size_t>(card - 1)];
        ui_.message(c.text);
        const int drawer = state.turn;
        switch (c.action) {
        case Action::MoveTo:
            MoveToken(c.value);
            break;
        case Action::NearestRailroad:
            moveToNearestRailroad();
            break;
        case Action::NearestUtility:
            moveToNearestUtility();
            break;
        case Action::Money:
            cardMoney(drawer, c.value);
            break;
        case Action::JailCard:
            state.JailCards[drawer] = clampedAdd(state.JailCards[drawer], 1);
            break;
        case Action::BackThree:
            MoveToken((state.Position[drawer] - 3 + kSquareCount) % kSquareCount);
            break;
        case Action::GoToJail:
            sendToJail();
            break;
        case Action::PayEach:
        case Action::CollectEach: {
            const int sign = c.action == Action::PayEach ? 1 : -1;
            cardMoney(drawer, -sign * kFromAllThree);
            for (int seat = 1; seat <= kPlayerCount; ++seat)
                if (seat != drawer) cardMoney(seat, sign * kEachPlayer);
            break;
        }
        }
    }
    if (state.CardPos[deck] > kCardsPerDeck) ShuffleDeck(deck);
    RefreshMoney();
}

void Game::cardMoney(int player, int delta) {
    state.Money[player] = clampedAdd(state.Money[player], delta);
}

void Game::moveToNearestRailroad() {
    const int p = state.Position[state.turn];
    const int k = Nearest(Distance(p - 5), Distance(p - 15), Distance(p - 25), Distance(p - 35));
    MoveToken(10 * k - 5);
}

void Game::moveToNearestUtility() {
    const int p = state.Position[state.turn];
    const int k = Nearest(Distance(p - 12), Distance(p - 28), kNoUtility, kNoUtility);
    MoveToken(16 * (k - 1) + 12);
}

int Game::Nearest(int a, int b, int c, int d) {
    if (a <= b && a <= c && a <= d) return 1;
    if (b <= a && b <= c && b <= d) return 2;
    if (c <= a && c <= b && c <= d) return 3;
    return 4;
}

int Game::Distance(int n) {
    return std::abs(n);
}

} // namespace dealbrix
