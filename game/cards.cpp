// The Chance and Community Chest decks.
#include "game.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace dealbrix {

namespace {

enum class CardEffect {
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
    CardEffect effect;
    int value = 0; // the square of a move, or the amount of a money card
};

// What each other seat receives or pays on the pay-each and collect-from-each cards, and the drawer's
// fixed total for the three other seats, whatever the number of players.
constexpr int kEachPlayer = 50;
constexpr int kFromAllThree = 150;

constexpr std::array<Card, kCardsPerDeck> kChance{{
    {"Advance to Go", CardEffect::MoveTo, 0},
    {"Adance to Illinois Ave.", CardEffect::MoveTo, 24},
    {"Advance to Saint Charles Place.", CardEffect::MoveTo, 11},
    {"Advance Token to the Nearest Railroad", CardEffect::NearestRailroad},
    {"Advance Token to the Nearest Utility", CardEffect::NearestUtility},
    {"Bank pays You Dividend of $50", CardEffect::Money, 50},
    {"Get Out of Jail Free", CardEffect::JailCard},
    {"Go Back Three Spaces", CardEffect::BackThree},
    {"Go To Jail", CardEffect::GoToJail},
    {"Parking Fine $15", CardEffect::Money, -15},
    {"Pay Poor Tax of $12", CardEffect::Money, -12},
    {"Pay School Tax of $150", CardEffect::Money, -150},
    {"Take a Ride on the Reading Railroad", CardEffect::MoveTo, 5},
    {"Take a Walk on the Boardwalk", CardEffect::MoveTo, 39},
    {"Your Building and Loan Matures Receive $150", CardEffect::Money, 150},
    {"You are Elected Chairman of the Board. Pay Each Player $50", CardEffect::PayEach},
    {"Your Xmas Fund Matures Collect $100", CardEffect::Money, 100},
}};

constexpr std::array<Card, kCardsPerDeck> kChest{{
    {"Advance to Go", CardEffect::MoveTo, 0},
    {"Advance Token to Nearest Railroad", CardEffect::NearestRailroad},
    {"Advance Token to Nearest Utility", CardEffect::NearestUtility},
    {"Bank Error in Your Favor. Collect $200", CardEffect::Money, 200},
    {"Doctor's Fee. Pay $50", CardEffect::Money, -50},
    {"Get Out of Jail Free", CardEffect::JailCard},
    {"Go Back to Baltic Avenue", CardEffect::MoveTo, 3},
    {"Go to Jail", CardEffect::GoToJail},
    {"Grand Opera Opening. Collect $50 from Each Player", CardEffect::CollectEach},
    {"Income Tax Refund Collect $20", CardEffect::Money, 20},
    {"Life Insurance Matures Collect $100", CardEffect::Money, 100},
    {"Pay Hospital $100", CardEffect::Money, -100},
    {"Pay Your Insurance Premium $50", CardEffect::Money, -50},
    {"You have Won 2nd Prize in a Beauty Contest Collect $10", CardEffect::Money, 10},
    {"You Inherit $100", CardEffect::Money, 100},
    {"Your Xmas Fund Matures Collect $100", CardEffect::Money, 100},
    {"We're off the Gold Standard Collect $50", CardEffect::Money, 50},
}};

} // namespace

void Game::shuffleDeck(int deck) {
    auto& cards = state.decks[deck];
    for (int i = 1; i <= kCardsPerDeck; ++i)
        cards[i] = static_cast<i16>(i);
    for (int pass = 0; pass < 2; ++pass) {
        for (int j = 1; j <= kCardsPerDeck; ++j) {
            const double u = draw();
            const int r = std::min(static_cast<int>(u * kCardsPerDeck) + 1, kCardsPerDeck);
            std::swap(cards[j], cards[r]);
        }
    }
    state.nextCard[deck] = 1;
}

void Game::playChanceCard(int card) {
    playCard(1, card);
}

void Game::playChestCard(int card) {
    playCard(2, card);
}

void Game::playCard(int deck, int card) {
    const std::string heading = deck == 1 ? "Chance Card: " : "Community Chest Card: ";
    tell({.kind = BoxKind::CardDrawn,
          .seat = state.turn,
          .text = heading + num(card) + "\r\n" + "Current Card: " + num(state.nextCard[deck])});
    ++state.nextCard[deck];
    if (card >= 1 && card <= kCardsPerDeck) {
        const Card& c = (deck == 1 ? kChance : kChest)[static_cast<std::size_t>(card - 1)];
        tell({.kind = BoxKind::CardText,
              .seat = state.turn,
              .square = c.effect == CardEffect::MoveTo ? c.value : -1,
              .amount = c.effect == CardEffect::Money ? c.value : 0,
              .text = std::string(c.text)});
        const int drawer = state.turn;
        switch (c.effect) {
        case CardEffect::MoveTo:
            moveToken(c.value);
            break;
        case CardEffect::NearestRailroad:
            moveToNearest(kRailroads);
            break;
        case CardEffect::NearestUtility:
            moveToNearest(kUtilities);
            break;
        case CardEffect::Money: {
            const i16 before = state.money[drawer];
            cardMoney(drawer, c.value);
            intoPot(before - state.money[drawer]); // what the card pays the bank waits on Free Parking
            break;
        }
        case CardEffect::JailCard:
            state.jailCards[drawer] = clampedAdd(state.jailCards[drawer], 1);
            break;
        case CardEffect::BackThree:
            moveToken((state.positions[drawer] - 3 + kSquareCount) % kSquareCount);
            break;
        case CardEffect::GoToJail:
            sendToJail();
            break;
        case CardEffect::PayEach:
        case CardEffect::CollectEach: {
            const int sign = c.effect == CardEffect::PayEach ? 1 : -1;
            cardMoney(drawer, -sign * kFromAllThree);
            for (int seat = 1; seat <= kPlayerCount; ++seat)
                if (seat != drawer) cardMoney(seat, sign * kEachPlayer);
            break;
        }
        }
    }
    if (state.nextCard[deck] > kCardsPerDeck) shuffleDeck(deck);
    refreshMoney();
}

void Game::cardMoney(int player, int delta) {
    const i16 before = state.money[player];
    state.money[player] = clampedAdd(before, delta);
    owe(player, kBank, before);
}

void Game::moveToNearest(std::span<const i16> squares) {
    // The square with the smallest difference of square numbers, the earliest in board order on a
    // tie; the difference is not taken round the ring.
    const int here = state.positions[state.turn];
    const auto nearest =
        std::ranges::min_element(squares, {}, [here](i16 square) { return std::abs(here - square); });
    moveToken(*nearest);
}

} // namespace dealbrix
