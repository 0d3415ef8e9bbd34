#pragma once
// The rules' invariants, checked against a game's whole state: by the tests and fuzzers after every
// action, and by the loader before an opened game replaces the running one.

#include "game.h"

#include <string>
#include <vector>

namespace dealbrix {

/// Every invariant the state breaks, one line each; empty when the state is sound, that is when play
/// could have reached it. Checked between actions; `afterHandOver` adds what End Turn guarantees.
std::vector<std::string> brokenInvariants(const GameState& state, bool afterHandOver = false);

} // namespace dealbrix
