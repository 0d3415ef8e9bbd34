// Draws the game's windows offscreen and saves them as PNG pictures, after a few scripted turns so the
// board shows a game in progress. Usage: dealbrix_screenshot [output folder]

#include "board_window.h"
#include "house_options_window.h"
#include "ownership_grid.h"
#include "qt_ui.h"
#include "trade_window.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>

#include <cstdio>

namespace {

/// Repeatable numbers, so every run draws the same pictures.
class FixedRandom final : public dealbrix::RandomSource {
  public:
    float next() override {
        state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<float>(state_ >> 40) / 16777216.0f;
    }

  private:
    std::uint64_t state_ = 20261208;
};

/// "board.png", or "board@2x.png" on a screen of twice the density.
QString fileName(const QString& name) {
    const int scale = qRound(qApp->devicePixelRatio());
    return scale > 1 ? QStringLiteral("%1@%2x.png").arg(name).arg(scale) : name + QStringLiteral(".png");
}

constexpr int kTurns = 16; // enough for a few purchases round the board

/// Gives `square` to `player` as a purchase would, with `houses` on it (5 a hotel), mortgaged or not.
void give(dealbrix::GameState& state, int square, int player, int houses, bool mortgaged = false) {
    state.owners[square] = mortgaged ? dealbrix::mortgagedCode(player) : static_cast<dealbrix::i16>(player);
    state.pricePaid[square] = dealbrix::squareInfo(square).price;
    state.houses[square] = static_cast<dealbrix::i16>(houses);
    for (int seat = 1; seat <= dealbrix::kPlayerCount; ++seat)
        state.grid.ticked[seat][square] = seat == player;
}

/// A game well on: every seat holds squares, with houses, a hotel and a mortgage among them.
void dealHoldings(dealbrix::GameState& state) {
    give(state, 1, 1, 3);
    give(state, 3, 1, 5);
    give(state, 5, 1, 0);
    give(state, 6, 2, 1);
    give(state, 8, 2, 2);
    give(state, 9, 2, 2);
    give(state, 12, 3, 0, true);
    give(state, 16, 3, 0);
    give(state, 21, 3, 4);
    give(state, 23, 3, 4);
    give(state, 24, 3, 5);
    give(state, 25, 2, 0, true);
    give(state, 28, 1, 0);
    give(state, 31, 1, 0);
    give(state, 34, 3, 0, true);
    give(state, 37, 2, 2);
    give(state, 39, 2, 3);
}

bool save(QWidget* window, const QDir& folder, const QString& name) {
    const QString path = folder.filePath(fileName(name));
    const bool ok = window != nullptr && window->grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(path));
    return ok;
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const QDir folder(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
    if (!folder.exists() && !QDir().mkpath(folder.path())) return 1;

    FixedRandom random;
    // Every question is answered Yes and every box closed at once: the turns below buy what they land on.
    // The first purchase question and the first landing message are kept as pictures of a box.
    bool askedToBuy = false;
    bool landed = false;
    dealbrix::QtUi ui([] {},
                      [&](QMessageBox& box) {
                          bool* first = box.windowTitle() == QStringLiteral("Buy Property") ? &askedToBuy
                                        : box.text().contains(QStringLiteral(" lands on ")) ? &landed
                                                                                            : nullptr;
                          if (first != nullptr && !*first) {
                              *first = true;
                              box.show();
                              save(&box, folder,
                                   first == &askedToBuy ? QStringLiteral("question")
                                                        : QStringLiteral("message"));
                              box.hide();
                          }
                          return QMessageBox::Yes;
                      });
    dealbrix::Game game(ui, random);
    dealbrix::BoardWindow board(game, ui);
    board.showWithGrid();

    // Three players, so the fourth money line shows dimmed, as a seat out of the game does.
    board.act(dealbrix::Action::choosePlayers(3));
    board.act(dealbrix::Action::start());
    for (int roll = 0; roll < kTurns && !board.ended(); ++roll) {
        board.act(dealbrix::Action::roll());
        board.act(dealbrix::Action::endTurn());
    }
    board.act(dealbrix::Action::roll());
    dealHoldings(game.state);
    board.syncAll();
    board.clickSquare(39); // a dark group colour, so the title shows its white caption
    board.clickPlayerHeading(game.state.turn % dealbrix::kPlayerCount + 1);

    bool ok = save(&board, folder, QStringLiteral("board"));
    ok = save(board.grid(), folder, QStringLiteral("properties")) && ok;
    ok = save(board.houseOptionsWindow(), folder, QStringLiteral("housework")) && ok;
    ok = save(board.tradeWindow(), folder, QStringLiteral("trade")) && ok;
    return ok ? 0 : 1;
}
