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

    board.act(dealbrix::Action::start());
    for (int roll = 0; roll < kTurns && !board.ended(); ++roll) {
        board.act(dealbrix::Action::roll());
        board.act(dealbrix::Action::endTurn());
    }
    board.act(dealbrix::Action::roll());
    const int square = game.state.positions[game.state.turn];
    board.clickSquare(dealbrix::isOwnable(square) ? square : 39);
    board.clickPlayerHeading(game.state.turn % dealbrix::kPlayerCount + 1);

    bool ok = save(&board, folder, QStringLiteral("board"));
    ok = save(board.grid(), folder, QStringLiteral("properties")) && ok;
    ok = save(board.houseOptionsWindow(), folder, QStringLiteral("housework")) && ok;
    ok = save(board.tradeWindow(), folder, QStringLiteral("trade")) && ok;
    return ok ? 0 : 1;
}
