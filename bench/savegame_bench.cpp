// How much the saved games cost: writing and reading a typical mid-game, the atomic autosave on disk,
// and play through the real windows (offscreen) with the autosave after every action.
//
//   savegame_bench [--benchmark_filter=...]

#include "board_window.h"
#include "game_files.h"
#include "qt_ui.h"
#include "random_player.h"
#include "saved_game.h"

#include <QApplication>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>
#include <random>

namespace {

using namespace dealbrix;

constexpr std::uint64_t kSeed = 20261209;
constexpr int kMidGameActions = 400; // random actions from Start to a typical mid-game
constexpr int kWindowActionsPerGame = 2'000;

/// Answers Yes three times in four and shows nothing.
class QuietUi final : public Ui {
  public:
    explicit QuietUi(std::mt19937_64& rng) : rng_(rng) {}
    void tell(const Box&) override {}
    bool ask(const Box&) override { return (rng_() & 3) != 0; }
    void endProgram() override {}

  private:
    std::mt19937_64& rng_;
};

/// A four-player game some hundreds of actions in: squares owned, houses built, money moved.
SavedGame midGame() {
    std::mt19937_64 rng(kSeed);
    testing::SeededRandom random(rng);
    QuietUi ui(rng);
    Game game(ui, random);
    game.start();
    for (int n = 0; n < kMidGameActions; ++n) {
        const Action action = testing::randomAvailableAction(game, rng);
        if (action.kind != ActionKind::Exit) game.apply(action);
    }
    return {
        .state = game.state, .computerSeats = {}, .log = {}, .actions = kMidGameActions, .inProgress = {}};
}

void BM_WriteSavedGame(benchmark::State& state) {
    const SavedGame game = midGame();
    for (auto _ : state)
        benchmark::DoNotOptimize(writeSavedGame(game));
    state.counters["bytes"] = static_cast<double>(writeSavedGame(game).size());
}
BENCHMARK(BM_WriteSavedGame)->Unit(benchmark::kMicrosecond);

void BM_ReadSavedGame(benchmark::State& state) {
    const QByteArray bytes = writeSavedGame(midGame());
    for (auto _ : state)
        benchmark::DoNotOptimize(readSavedGame(bytes));
}
BENCHMARK(BM_ReadSavedGame)->Unit(benchmark::kMicrosecond);

/// The autosave as the program writes it: QSaveFile to a temporary file, renamed over the old one.
// What a server does with the game after every move: the state's fields as compact text, written
// directly, then the same through a QJsonObject (what the saved-game file still builds), and what a
// client does with each state it receives (parse, then every range and invariant check).
void BM_WriteStateText(benchmark::State& state) {
    const GameState game = midGame().state;
    QByteArray text;
    for (auto _ : state) {
        text.clear();
        JsonText json(text);
        writeGameState(game, /*withDecks=*/false, json);
        benchmark::DoNotOptimize(text.data());
    }
    state.counters["bytes"] = static_cast<double>(text.size());
}
BENCHMARK(BM_WriteStateText)->Unit(benchmark::kMicrosecond);

void BM_WriteStateThroughObject(benchmark::State& state) {
    const GameState game = midGame().state;
    for (auto _ : state)
        benchmark::DoNotOptimize(QJsonDocument(writeGameState(game, false)).toJson(QJsonDocument::Compact));
}
BENCHMARK(BM_WriteStateThroughObject)->Unit(benchmark::kMicrosecond);

void BM_ReadState(benchmark::State& state) {
    const GameState game = midGame().state;
    const QByteArray text = QJsonDocument(writeGameState(game, false)).toJson(QJsonDocument::Compact);
    for (auto _ : state) {
        GameState read = game;
        const QJsonObject fields = QJsonDocument::fromJson(text).object();
        benchmark::DoNotOptimize(readGameState(fields, read, /*withDecks=*/false));
    }
}
BENCHMARK(BM_ReadState)->Unit(benchmark::kMicrosecond);

void BM_SaveGameFile(benchmark::State& state) {
    const SavedGame game = midGame();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("autosave.dealbrix"));
    for (auto _ : state)
        benchmark::DoNotOptimize(saveGameFile(path, game));
}
BENCHMARK(BM_SaveGameFile)->Unit(benchmark::kMicrosecond);

/// Random play through BoardWindow::act with every window redrawn and the autosave written after
/// each completed action, as in the program. Items are actions.
void BM_WindowPlayWithAutosave(benchmark::State& state) {
    QTemporaryDir dir;
    std::mt19937_64 rng(kSeed);
    testing::SeededRandom random(rng);
    // Boxes are built as the program builds them and answered at once.
    QtUi ui([] {}, [&rng](QMessageBox&) { return (rng() & 3) != 0 ? QMessageBox::Yes : QMessageBox::No; });
    /// One game on the windows as the program wires them; a game that has ended is replaced.
    struct Table {
        Game game;
        BoardWindow board;
        GameFiles files;
        Table(QtUi& ui, RandomSource& random, const QString& autosave)
            : game(ui, random), board(game, ui), files(board, ui, random, autosave) {
            board.setAfterAction([this](const Action&, ActionResult result) { files.afterAction(result); });
            board.showWithGrid();
        }
    };
    const QString autosave = dir.filePath(QStringLiteral("autosave.dealbrix"));
    auto table = std::make_unique<Table>(ui, random, autosave);
    long actions = 0;
    int inGame = 0;
    for (auto _ : state) {
        const Action action = testing::randomAvailableAction(table->game, rng);
        if (action.kind == ActionKind::Exit) continue; // it would end the game at once
        table->board.act(action);
        ++actions;
        if (++inGame == kWindowActionsPerGame || table->board.ended()) {
            state.PauseTiming();
            table = std::make_unique<Table>(ui, random, autosave);
            inGame = 0;
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(actions);
}
BENCHMARK(BM_WindowPlayWithAutosave)->Unit(benchmark::kMicrosecond)->MinTime(3.0);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
