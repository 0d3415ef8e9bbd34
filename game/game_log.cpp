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
    if (answer != nullptr) line += *answer ? " - Yes" : " - No";
    return line;
}

void GameLog::tell(const Box& box) {
    // Written before the box shows, so the log is whole even if the program ends at this box.
    add(lineFor(box));
    inner_.tell(box);
}

bool GameLog::ask(const Box& question) {
    const bool yes = inner_.ask(question);
    add(lineFor(question, &yes));
    return yes;
}

void GameLog::endProgram() {
    inner_.endProgram();
}

void GameLog::add(std::string line) {
    lines_.push_back(std::move(line));
    if (listener_) listener_(lines_.back());
}

} // namespace dealbrix
