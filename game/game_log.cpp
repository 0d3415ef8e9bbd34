#include "game_log.h"

#include "seats.h"
#include "values.h"

namespace dealbrix {

namespace {
constexpr const char* kLineBreak = " / "; // card texts and the help list come in several lines
}

GameLog::GameLog(Ui& inner) : inner_(inner) {}

std::string GameLog::lineFor(const Box& box, const bool* answer) {
    std::string line = (box.turnName.empty() ? seatName({}, box.turn) : box.turnName) + ": ";
    const std::string& text = box.text;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            // "\r\n" is one break, as is a lone "\r" or "\n".
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            line += kLineBreak;
        } else {
            line += text[i];
        }
    }
    // A house's box names the square and the houses now; the log keeps what it cost or paid back too.
    if (box.kind == BoxKind::HouseBought) line += " - paid $" + num(box.amount);
    if (box.kind == BoxKind::HouseSold) line += " - paid back $" + num(box.amount);
    if (answer != nullptr) line += *answer ? " - Yes" : " - No";
    return line;
}

void GameLog::tell(const Box& box) {
    // Written before the box shows, so the log is whole even if the program ends at this box.
    const std::string line = lineFor(box);
    if (!countRepeat(box)) {
        add(line);
        if (box.kind == BoxKind::Debt) {
            repeated_ = box.text;
            repeatedAmount_ = box.amount;
            repeats_ = 1;
        }
    }
    inner_.tell(box);
}

bool GameLog::countRepeat(const Box& box) {
    // Every money refresh repeats the debt hold's box while the balance stays below zero; the log
    // keeps the hold's first line and counts. A balance that has moved is news.
    if (box.kind != BoxKind::Debt || repeated_.empty() || box.text != repeated_ ||
        box.amount != repeatedAmount_ || lines_.empty())
        return false;
    if (repeats_ == 1) firstLine_ = lines_.back();
    ++repeats_;
    lines_.back() = firstLine_ + " (" + num(repeats_) + " times)";
    if (rewriteListener_) rewriteListener_(lines_.back());
    return true;
}

bool GameLog::ask(const Box& question) {
    const bool yes = inner_.ask(question);
    add(lineFor(question, &yes));
    return yes;
}

std::string GameLog::lineForAmount(const Box& question, int amount) {
    return lineFor(question) + (amount == 0 ? " - passes" : " - bids $" + num(amount));
}

int GameLog::askAmount(const Box& question) {
    const int amount = inner_.askAmount(question);
    // An amount outside the question's bounds is taken as a pass by the rules, and logged as one.
    const bool fits = amount >= question.minimum && amount <= question.maximum;
    add(lineForAmount(question, fits ? amount : 0));
    return amount;
}

void GameLog::note(const Box& line) {
    add(lineFor(line));
    inner_.note(line);
}

void GameLog::endProgram() {
    inner_.endProgram();
}

void GameLog::add(std::string line) {
    repeated_.clear();
    lines_.push_back(std::move(line));
    if (listener_) listener_(lines_.back());
}

} // namespace dealbrix
