#pragma once
// The rules' screen in real modal message boxes.

#include "ports.h"

#include <QMessageBox>

#include <functional>

namespace dealbrix {

/// The caption of every box without a title of its own.
inline constexpr const char* kProgramName = "Dealbrix";

/// Shows every box of the rules as a real QMessageBox. Before each box the windows are brought up
/// to date, so a box appears over what the game has done so far.
class QtUi final : public Ui {
  public:
    /// Runs a prepared box and returns the button pressed; tests replace it, the program execs the box.
    using BoxRunner = std::function<QMessageBox::StandardButton(QMessageBox&)>;

    /// `endProgram` ends the process (the program) or records the end (tests).
    QtUi(std::function<void()> endProgram, BoxRunner runner = {});

    /// Called before every box to redraw the windows.
    void setBeforeBox(std::function<void()> beforeBox) { beforeBox_ = std::move(beforeBox); }
    /// Moves a box before it is shown; without it every box is centred on the parent window.
    void setPlacement(std::function<void(QMessageBox&, const Box&)> placement) {
        placement_ = std::move(placement);
    }
    /// The window the boxes are centred on.
    void setParentWindow(QWidget* parent) { parent_ = parent; }
    /// OK boxes for which `closesItself` holds close by themselves after `delayMs` (the boxes of a
    /// computer's turn); questions always wait for an answer.
    void setSelfClosing(std::function<bool(const Box&)> closesItself, int delayMs);

    /// Asks the amount questions (an auction's bids); without one every amount question passes.
    void setAmountAsker(std::function<int(const Box&)> asker) { amountAsker_ = std::move(asker); }

    /// Shows an OK box of the program's own (a file that cannot be opened), through the same runner.
    void inform(const QString& text);
    /// Asks a Yes/No question of the program's own ("Abandon the game in progress?"); true for Yes.
    bool confirm(const QString& text);
    /// The figures a money question carries, one per line, as its box shows them beside its text.
    static QString factsText(const Box& box);

    void tell(const Box& box) override;
    bool ask(const Box& question) override;
    int askAmount(const Box& question) override;
    void endProgram() override;

  private:
    QMessageBox::StandardButton show(const Box& box, QMessageBox::StandardButtons buttons, bool closesItself,
                                     bool ownQuestion = false);

    std::function<void()> endProgram_;
    BoxRunner runner_;
    std::function<void()> beforeBox_;
    std::function<void(QMessageBox&, const Box&)> placement_;
    QWidget* parent_ = nullptr;
    std::function<bool(const Box&)> closesItself_;
    int selfCloseDelayMs_ = 0;
    std::function<int(const Box&)> amountAsker_;
};

} // namespace dealbrix
