#pragma once
// The people at the table: the names a seat may be given, and how a seat is called in every text.

#include "values.h"

#include <string>
#include <string_view>

namespace dealbrix {

/// The longest name a seat may carry, in characters (not bytes).
inline constexpr int kMaxNameLength = 24;

/// How the game calls `seat` (1..4): its name, or "Player N" when it has none.
std::string seatName(const std::string& name, int seat);

/// Names as typed for the four seats, judged together.
struct NameCheck {
    PlayerArray<std::string> names{}; // trimmed; empty for a seat left unnamed
    int seat = 0;                     // the first seat whose name is refused, 0 when all are fine
    std::string error;                // why, as a sentence for the player; empty when all are fine
};

/// Trims each typed name (blanks at both ends) and judges it: valid UTF-8 of printable characters,
/// at most kMaxNameLength of them, no two seats alike (letter case aside), and not "Player M" of
/// another seat. A name left blank is no name.
NameCheck checkNames(const PlayerArray<std::string>& typed);

} // namespace dealbrix
