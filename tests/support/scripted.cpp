#include "scripted.h"

#include <gtest/gtest.h>

namespace dealbrix::testing {

ExpectedBox msg(std::string text, std::string title) {
    return {ExpectedBox::Message, std::move(text), std::move(title), false};
}

ExpectedBox ask(std::string text, bool yes, std::string title) {
    return {ExpectedBox::Question, std::move(text), std::move(title), yes};
}

ExpectedBox bid(std::string text, int amount) {
    return {ExpectedBox::Amount, std::move(text), "Auction", false, amount};
}

ExpectedBox landing(int player, int square) {
    return msg("Player " + std::to_string(player) + " lands on " +
               std::string(squareInfo(square).landingText));
}

std::string debtText(int player) {
    return "Player " + std::to_string(player) +
           " must acheive a positive money balance or declare bankruptcy before continuing";
}

void ScriptedUi::expect(std::vector<ExpectedBox> boxes) {
    for (ExpectedBox& box : boxes)
        script_.push_back(std::move(box));
}

const ExpectedBox* ScriptedUi::next(ExpectedBox::Kind kind, const Box& shown) {
    const std::string_view text = shown.text;
    const std::string_view title = shown.title;
    shown_.emplace_back(text);
    boxes_.push_back(shown);
    if (script_.empty()) {
        if (!lenient_) ADD_FAILURE() << "unexpected box: \"" << text << "\"";
        return nullptr;
    }
    last_ = script_.front();
    script_.pop_front();
    EXPECT_EQ(last_.kind, kind) << "box \"" << text << "\"";
    EXPECT_EQ(last_.text, text);
    EXPECT_EQ(last_.title, title) << "title of \"" << text << "\"";
    return &last_;
}

void ScriptedUi::tell(const Box& box) {
    next(ExpectedBox::Message, box);
}

bool ScriptedUi::ask(const Box& question) {
    const ExpectedBox* box = next(ExpectedBox::Question, question);
    if (box == nullptr) return lenient_ && lenientAnswer_;
    return box->answer;
}

int ScriptedUi::askAmount(const Box& question) {
    const ExpectedBox* box = next(ExpectedBox::Amount, question);
    return box == nullptr ? 0 : box->amount;
}

void ScriptedUi::endProgram() {
    ended_ = true;
}

float ScriptedRandom::next() {
    if (draws_.empty()) {
        ADD_FAILURE() << "the rules drew more random numbers than the test scripted";
        return 0.0f;
    }
    const float draw = draws_.front();
    draws_.pop_front();
    return draw;
}

void ScriptedRandom::push(std::initializer_list<float> draws) {
    for (const float d : draws)
        draws_.push_back(d);
}

void ScriptedRandom::dice(int first, int second) {
    // The middle of each face's sixth of [0, 1).
    draws_.push_back((static_cast<float>(first) - 0.5f) / 6.0f);
    draws_.push_back((static_cast<float>(second) - 0.5f) / 6.0f);
}

void ScriptedRandom::swapWith(int r) {
    draws_.push_back((static_cast<float>(r) - 0.5f) / 17.0f);
}

void ScriptedRandom::identityShuffle() {
    for (int pass = 0; pass < 2; ++pass)
        for (int j = 1; j <= kCardsPerDeck; ++j)
            swapWith(j);
}

ScriptedRandom ScriptedRandom::withDecksInOrder() {
    ScriptedRandom random;
    random.identityShuffle();
    random.identityShuffle();
    return random;
}

Table::Table() : random(ScriptedRandom::withDecksInOrder()), game(ui, random) {}

void Table::start(int players) {
    game.choosePlayers(players);
    game.start();
}

void Table::own(int square, int player) {
    s().owners[square] = static_cast<i16>(player);
    s().grid.ticked[player][square] = true;
    s().pricePaid[square] = squareInfo(square).price;
}

} // namespace dealbrix::testing
