#pragma once
// A scripted screen and scripted dice for driving the rules in tests.

#include "game.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

namespace dealbrix::testing {

/// One box the rules are expected to show: its text, its title, and for questions the answer to give.
struct ExpectedBox {
    enum Kind { Message, Question, Amount } kind;
    std::string text;
    std::string title;
    bool answer = false;
    int amount = 0; // the answer to an amount question
};

/// Expects an OK box with `text` (and `title`, empty for the program's own caption).
ExpectedBox msg(std::string text, std::string title = {});
/// Expects a Yes/No question with `text`, answered `yes`.
ExpectedBox ask(std::string text, bool yes, std::string title = {});

/// Expects an amount question with `text` (title "Auction"), answered `amount` (0 passes).
ExpectedBox bid(std::string text, int amount);

/// The landing message of `player` on `square`.
ExpectedBox landing(int player, int square);
/// The text of the debt hold's message for `player`.
std::string debtText(int player);

/// A Ui that checks every box against a script and answers the questions. Unexpected boxes fail the
/// test; `done()` tells whether the whole script was used.
class ScriptedUi final : public Ui {
  public:
    void tell(const Box& box) override;
    bool ask(const Box& question) override;
    int askAmount(const Box& question) override;
    void note(const Box& line) override { notes_.push_back(line); }
    void endProgram() override;

    /// Appends boxes to the script.
    void expect(std::vector<ExpectedBox> boxes);
    /// Answers every question with `yes` and accepts any box, recording them (no script).
    void acceptAnything(bool yes) { lenient_ = true, lenientAnswer_ = yes; }
    /// True when every scripted box has been shown.
    bool done() const { return script_.empty(); }
    /// The texts of every box shown so far, in order.
    const std::vector<std::string>& shown() const { return shown_; }
    /// Every box shown so far, typed, in order.
    const std::vector<Box>& boxes() const { return boxes_; }
    /// True once the rules have ended the program.
    bool ended() const { return ended_; }
    /// The lines noted for the log (no box shows them), in order.
    const std::vector<Box>& notes() const { return notes_; }

  private:
    const ExpectedBox* next(ExpectedBox::Kind kind, const Box& box);

    std::deque<ExpectedBox> script_;
    std::vector<std::string> shown_;
    std::vector<Box> boxes_;
    std::vector<Box> notes_;
    ExpectedBox last_{};
    bool lenient_ = false;
    bool lenientAnswer_ = false;
    bool ended_ = false;
};

/// Random numbers from a list; running out fails the test.
class ScriptedRandom final : public RandomSource {
  public:
    float next() override;
    /// Appends raw draws in [0, 1).
    void push(std::initializer_list<float> draws);
    /// Appends the two draws that roll dice `first` and `second` (1..6 each).
    void dice(int first, int second);
    /// Appends the 34 draws of a shuffle that leaves the deck as it was filled: 1, 2, ..., 17.
    void identityShuffle();
    /// Appends a draw that picks r = `r` (1..17) in a shuffle swap.
    void swapWith(int r);
    /// Draws not yet used.
    std::size_t left() const { return draws_.size(); }
    /// A source holding the two shuffles of a game's load that leave both decks in order 1..17.
    static ScriptedRandom withDecksInOrder();

  private:
    std::deque<float> draws_;
};

/// A game with scripted screen and dice, loaded with both decks in order 1..17.
struct Table {
    ScriptedRandom random;
    ScriptedUi ui;
    Game game;

    Table();
    GameState& s() { return game.state; }
    /// Starts a game of `players` players from the menu.
    void start(int players);
    /// Gives `square` to `player` as a purchase would (owner, grid box, price paid).
    void own(int square, int player);
};

/// A test on a fresh table; every box scripted for it must have been shown by the end of the test.
class TableTest : public ::testing::Test {
  protected:
    Table t;
    void TearDown() override { EXPECT_TRUE(t.ui.done()) << "a scripted box was never shown"; }
};

} // namespace dealbrix::testing
