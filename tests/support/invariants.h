#pragma once
// The rules' invariants, checked against a game's whole state.

#include "game.h"

#include <string>
#include <vector>

namespace dealbrix::testing {

/// Every invariant the state breaks, one line each; empty when the state is sound. Checked between
/// handlers; `afterHandOver` adds what End Turn guarantees.
std::vector<std::string> brokenInvariants(const GameState& state, bool afterHandOver = false);

} // namespace dealbrix::testing
