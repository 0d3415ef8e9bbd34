#pragma once
// Window-test support: real message boxes answered from a script, and the board with its game.

#include "board_window.h"
#include "qt_ui.h"
#include "scripted.h"

#include <QMessageBox>
#include <QRect>
#include <QStringList>

#include <deque>
#include <string>
#include <vector>

namespace dealbrix::testing {

/// Answers the real QMessageBoxes the game opens, without showing them: each box is checked against
/// the script (text, caption, buttons) and gets the scripted answer.
class ScriptedBoxes {
  public:
    /// Appends boxes to the script; a ExpectedBox's empty title stands for the "Dealbrix" caption.
    void expect(std::vector<ExpectedBox> boxes);
    /// True when every scripted box has been shown.
    bool done() const { return script_.empty(); }
    /// Texts of all boxes shown so far.
    const std::vector<std::string>& shown() const { return shown_; }
    /// Where each box shown so far was moved before it was shown; an empty rectangle for a box left
    /// where Qt puts it (centred on its parent).
    const std::vector<QRect>& places() const { return places_; }
    /// The informative text (the figures beside a money question) of each box shown so far.
    const std::vector<QString>& informative() const { return informative_; }
    /// The runner to give the QtUi.
    QtUi::BoxRunner runner();

  private:
    QMessageBox::StandardButton answer(QMessageBox& box);

    std::deque<ExpectedBox> script_;
    std::vector<std::string> shown_;
    std::vector<QRect> places_;
    std::vector<QString> informative_;
};

/// A game on the real windows, with scripted dice and boxes. The program's end is recorded, never real.
struct Windows {
    ScriptedRandom random;
    ScriptedBoxes boxes;
    bool programEnded = false;
    QtUi ui;
    Game game;
    BoardWindow board;

    Windows();
    GameState& s() { return game.state; }
    /// Chooses the player count and Start from the real menu (run after the menu closes).
    void start(int players);
    /// Triggers a menu item by its object name and lets the queued command run.
    void menu(const char* objectName);
    /// Clicks a button of any of the windows by its object name.
    void click(QWidget* window, const char* objectName);
};

/// Gives `square` to `player` (mortgaged or not) as a purchase from the bank would, without the boxes.
void own(Windows& w, int square, int player, bool mortgaged = false);

/// The names of the widgets that take the focus with Tab, in order, starting at `first`.
QStringList tabOrder(QWidget* first);

} // namespace dealbrix::testing
