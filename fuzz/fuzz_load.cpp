// Any bytes as a saved game: the loader answers with a game or a reason, never a crash; a game it
// accepts is sound, writes back to itself and plays on without breaking a rule.
#include "invariants.h"
#include "random_player.h"
#include "saved_game.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>

using namespace dealbrix;

namespace {

constexpr int kActionsAfterLoad = 40;

/// Answers Yes to every question and notes the end of the program.
class QuietUi final : public Ui {
  public:
    void tell(const Box&) override {}
    bool ask(const Box&) override { return true; }
    void endProgram() override { ended = true; }
    bool ended = false;
};

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "fuzz_load: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const LoadResult loaded = readSavedGame(bytes);
    if (!loaded.game) {
        if (loaded.error.isEmpty()) fail("a refusal without a reason");
        return 0;
    }
    if (!brokenInvariants(loaded.game->state).empty()) fail("an accepted game breaks an invariant");
    const LoadResult again = readSavedGame(writeSavedGame(*loaded.game));
    if (!again.game || !(*again.game == *loaded.game)) fail("an accepted game does not write back to itself");

    std::mt19937_64 rng(size);
    testing::SeededRandom random(rng);
    QuietUi ui;
    Game game(ui, random);
    game.restore(loaded.game->state);
    for (int n = 0; n < kActionsAfterLoad && !ui.ended; ++n) {
        const Action action = testing::randomAvailableAction(game, rng);
        const bool handsOver = action.kind == ActionKind::EndTurn && game.state.board.endTurnEnabled;
        if (game.apply(action) == ActionResult::Ended) break;
        const std::vector<std::string> broken = brokenInvariants(game.state, handsOver);
        if (!broken.empty()) {
            std::fprintf(stderr, "after %s: %s\n", action.describe().c_str(), broken.front().c_str());
            fail("play from an accepted game breaks an invariant");
        }
    }
    return 0;
}
