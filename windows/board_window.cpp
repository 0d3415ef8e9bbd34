#include "board_window.h"

#include "geometry.h"
#include "ownership.h"
#include "placement.h"
#include "qt_ui.h"
#include "remembered.h"

#include "auction_window.h"
#include "house_options_window.h"
#include "ownership_grid.h"
#include "trade_window.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>
#include <QWindow>

// Resources live in the static windows library; they must be registered by name from outside any namespace.
static void initAssets() {
    Q_INIT_RESOURCE(assets);
}

namespace dealbrix {

namespace {

constexpr int kBoardWidthPx = kBoardClientWidth / kTwipsPerPixel;   // 649
constexpr int kBoardHeightPx = kBoardClientHeight / kTwipsPerPixel; // 647
constexpr int kDieSize = 750;
constexpr int kDiceTop = 3840;
constexpr std::array<int, 3> kDiceLeft{0, 5400, 2880}; // Dice(2) is drawn left of Dice(1)
constexpr int kMoneyLeft = 3480;
constexpr int kMoneyWidth = 2055;
constexpr int kLineHeight = 375;
constexpr std::array<int, kPlayerCount + 1> kMoneyTop{0, 5520, 6000, 6480, 6960};
constexpr int kButtonLeft = 2640;
constexpr int kButtonWidth = 3855;
constexpr int kButtonHeight = 615;
constexpr int kAwayWidth = 900;     // "(away)" right of a money line, in a network game
const QColor kAwayText(96, 96, 96); // the dimmed "(away)"
constexpr int kSwatchSize = 210;    // the token colour square left of a money line
constexpr int kSwatchGap = 90;
// While the window manager places the board and the grid, the grid's place is checked this often, up
// to this many times, and for this many checks once both are on the screen.
constexpr int kSettleCheckMs = 100;
constexpr int kSettleChecks = 150;
constexpr int kExposedChecks = 15;
// The house rules' lines, under the money lines in the board's empty middle.
constexpr int kRulesLineLeft = 2640;
constexpr int kRulesLineWidth = 4455;
constexpr int kPotTop = 7560;
constexpr int kBankTop = 7980;
const QColor kFelt(214, 232, 208); // the middle of the board

QString squarePicture(int square) {
    return QStringLiteral(":/squares/square%1.jpg").arg(square, 2, 10, QChar('0'));
}

} // namespace

BoardWindow::BoardWindow(Game& game, QtUi& ui, QWidget* parent) : QMainWindow(parent), game_(game) {
    initAssets();
    installAccessibility();
    setWindowTitle(QStringLiteral("Game Board"));
    setAccessibleName(windowTitle());
    setObjectName(QStringLiteral("Form1"));

    auto* board = new QWidget(this);
    board->setObjectName(QStringLiteral("board"));
    board->setFixedSize(kBoardWidthPx, kBoardHeightPx);
    board->setAutoFillBackground(true);
    QPalette felt = board->palette();
    felt.setColor(QPalette::Window, kFelt);
    board->setPalette(felt);
    setCentralWidget(board);
    buildBoard(board);
    buildMenu();

    grid_ = new OwnershipGrid(this);
    grid_->installEventFilter(this);
    settleTimer_.setInterval(kSettleCheckMs);
    connect(&settleTimer_, &QTimer::timeout, this, &BoardWindow::checkGridSettled);
    connect(grid_, &OwnershipGrid::headingClicked, this, &BoardWindow::clickPlayerHeading);
    ui.setParentWindow(this);
    ui.setBeforeBox([this] {
        syncAll();
        if (beforeBox_) beforeBox_();
    });
    ui.setPlacement([this](QMessageBox& box, const Box& about) { placeBox(box, about); });
    ui.setAmountAsker([this](const Box& question) { return askAuction(question); });
    syncAll();
}

BoardWindow::~BoardWindow() = default;

HouseOptionsWindow* BoardWindow::houseOptionsWindow() const {
    return houseOptions_;
}

TradeWindow* BoardWindow::tradeWindow() const {
    return trade_;
}

void BoardWindow::buildBoard(QWidget* board) {
    for (int i = 0; i < kSquareCount; ++i) {
        auto* square = new SquareView(i, board);
        const Rect r = squareRect(i);
        placeTwips(square, r.left, r.top, r.width, r.height);
        square->setPixmap(loadPicture(squarePicture(i), devicePixelRatioF()));
        nameControl(square, QStringLiteral("Square(%1)").arg(i), toQString(squareInfo(i).landingText));
        square->setProperty("tag", toQString(squareTitle(i)));
        square->setFocusPolicy(Qt::NoFocus);
        connect(square, &ClickableLabel::clicked, this, [this, i] { clickSquare(i); });
        connect(square, &ClickableLabel::arrowPressed, this,
                [this, i](Qt::Key key) { stepAroundBoard(i, key); });
        squares_[static_cast<std::size_t>(i)] = square;
    }
    for (int n = 0; n < 6; ++n) {
        auto* face = new QLabel(board);
        placeTwips(face, 0, 0, kDieSize, kDieSize);
        face->setPixmap(loadPicture(QStringLiteral(":/dice/die%1.gif").arg(n + 1), devicePixelRatioF()));
        nameControl(face, QStringLiteral("die(%1)").arg(n), QStringLiteral("Die face %1").arg(n + 1));
        face->hide();
        dieFaces_[static_cast<std::size_t>(n)] = face;
    }
    for (int k = 1; k <= 2; ++k) {
        auto* shown = new QLabel(board);
        placeTwips(shown, kDiceLeft[static_cast<std::size_t>(k)], kDiceTop, kDieSize, kDieSize);
        shown->setObjectName(QStringLiteral("Dice(%1)").arg(k));
        shown->setAccessibleDescription(k == 1 ? QStringLiteral("First die") : QStringLiteral("Second die"));
        diceShown_[static_cast<std::size_t>(k)] = shown;
    }
    for (int p = 1; p <= kPlayerCount; ++p) {
        auto* money = new QLabel(board);
        placeTwips(money, kMoneyLeft, kMoneyTop[static_cast<std::size_t>(p)], kMoneyWidth, kLineHeight);
        money->setFrameStyle(QFrame::Box | QFrame::Plain);
        money->setAlignment(Qt::AlignCenter);
        money->setObjectName(QStringLiteral("Label1(%1)").arg(p));
        moneyLabels_[static_cast<std::size_t>(p)] = money;
        // Right of the line, shown only while a network game's seat has nobody connected.
        auto* away = new QLabel(QStringLiteral("(away)"), board);
        placeTwips(away, kMoneyLeft + kMoneyWidth + kSwatchGap, kMoneyTop[static_cast<std::size_t>(p)],
                   kAwayWidth, kLineHeight);
        QPalette dimmed = away->palette();
        dimmed.setColor(QPalette::WindowText, kAwayText);
        away->setPalette(dimmed);
        nameControl(away, QStringLiteral("away(%1)").arg(p), QStringLiteral("Player %1 away").arg(p));
        away->hide();
        awayMarks_[static_cast<std::size_t>(p)] = away;
    }
    buildMoneySwatches(board);
    for (QLabel** line : {&potLabel_, &bankLabel_}) {
        *line = new QLabel(board);
        placeTwips(*line, kRulesLineLeft, line == &potLabel_ ? kPotTop : kBankTop, kRulesLineWidth,
                   kLineHeight);
        (*line)->setAlignment(Qt::AlignCenter);
        (*line)->hide();
    }
    potLabel_->setObjectName(QStringLiteral("lblPot"));
    bankLabel_->setObjectName(QStringLiteral("lblBank"));
    turnLabel_ = new QLabel(board);
    placeTwips(turnLabel_, 3360, 4800, 2295, kLineHeight);
    turnLabel_->setAlignment(Qt::AlignCenter);
    turnLabel_->setObjectName(QStringLiteral("lblTurn"));

    auto button = [board](const char* name, const char* caption, int top) {
        return makeButton(board, QString::fromLatin1(name), QString::fromLatin1(caption),
                          {kButtonLeft, top, kButtonWidth, kButtonHeight});
    };
    rollButton_ = button("cmdRoll", "Roll", 1680);
    endTurnButton_ = button("cmdEndTurn", "End Turn", 2400);
    giveUpButton_ = button("cmdBankrupt", "Bankrupt (Give up)", 3120);
    connect(rollButton_, &QPushButton::clicked, this, [this] { act(Action::roll()); });
    connect(endTurnButton_, &QPushButton::clicked, this, [this] { act(Action::endTurn()); });
    connect(giveUpButton_, &QPushButton::clicked, this, [this] { act(Action::giveUp()); });
    setTabOrder(rollButton_, endTurnButton_);
    setTabOrder(endTurnButton_, giveUpButton_);
    makeKeyboardSquare(0);

    // Tokens last, so they stand over the square pictures.
    for (int p = 1; p <= kPlayerCount; ++p) {
        auto* token = new QLabel(board);
        token->setFixedSize(toPixels(kTokenSize), toPixels(kTokenSize));
        token->setAutoFillBackground(true);
        QPalette colour = token->palette();
        colour.setColor(QPalette::Window, tokenColour(p));
        token->setPalette(colour);
        token->setFrameStyle(QFrame::Box | QFrame::Plain);
        nameControl(token, QStringLiteral("lbl(%1)").arg(p), QStringLiteral("Player %1 token").arg(p));
        tokens_[static_cast<std::size_t>(p)] = token;
    }
}

void BoardWindow::buildMoneySwatches(QWidget* board) {
    // A square of each token's colour just left of its money line, in the board's empty middle.
    for (int p = 1; p <= kPlayerCount; ++p) {
        auto* swatch = new QLabel(board);
        const int top = kMoneyTop[static_cast<std::size_t>(p)] + (kLineHeight - kSwatchSize) / 2;
        placeTwips(swatch, kMoneyLeft - kSwatchGap - kSwatchSize, top, kSwatchSize, kSwatchSize);
        swatch->setAutoFillBackground(true);
        swatch->setFrameStyle(QFrame::Box | QFrame::Plain);
        QPalette colour = swatch->palette();
        colour.setColor(QPalette::Window, tokenColour(p));
        // Out of the game, the colour fades into the felt like the dimmed money line beside it.
        const QColor token = tokenColour(p);
        const QColor faded((token.red() + 2 * kFelt.red()) / 3, (token.green() + 2 * kFelt.green()) / 3,
                           (token.blue() + 2 * kFelt.blue()) / 3);
        colour.setColor(QPalette::Disabled, QPalette::Window, faded);
        swatch->setPalette(colour);
        nameControl(swatch, QStringLiteral("swatch(%1)").arg(p), QStringLiteral("Player %1 colour").arg(p));
        swatches_[static_cast<std::size_t>(p)] = swatch;
    }
}

void BoardWindow::buildMenu() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    fileMenu_ = file;
    file->setObjectName(QStringLiteral("mnuFile"));
    // Menu commands run once the menu has closed, so a box they show never opens inside the menu.
    auto later = [this](Action action) {
        return [this, action] { QTimer::singleShot(0, this, [this, action] { act(action); }); };
    };
    QAction* exit = file->addAction(QStringLiteral("&Exit"));
    exit->setObjectName(QStringLiteral("mnuFileExit"));
    connect(exit, &QAction::triggered, this, later(Action::exit()));

    QMenu* players = file->addMenu(QStringLiteral("&Players"));
    players->setObjectName(QStringLiteral("mnuFilePlayers"));
    auto* choice = new QActionGroup(this);
    choice->setExclusive(true);
    for (int n = 2; n <= kPlayerCount; ++n) {
        QAction* item = players->addAction(QStringLiteral("%1 Players").arg(n));
        item->setObjectName(QStringLiteral("mnuFilePlayers%1Players").arg(n));
        item->setCheckable(true);
        choice->addAction(item);
        connect(item, &QAction::triggered, this, [this, n] { act(Action::choosePlayers(n)); });
        playerItems_[static_cast<std::size_t>(n)] = item;
    }
    QAction* start = file->addAction(QStringLiteral("&Start"));
    start->setObjectName(QStringLiteral("mnuFileStart"));
    connect(start, &QAction::triggered, this, later(Action::start()));
    startItem_ = start;
}

void BoardWindow::showWithGrid() {
    // Left where the window manager likes (centred, say), the board leaves no room beside it for the
    // grid and the windows that open beside them on a common screen; unless it has a place of its
    // own, the board opens at the top left of the screen, where it stands without a window manager.
    if (!testAttribute(Qt::WA_Moved)) move(screen()->availableGeometry().topLeft());
    show();
    const bool remembered = remembered_ != nullptr && remembered_->restorePlace(grid_);
    if (!remembered) {
        placeGrid();
        // A window manager puts the board where it likes once it is mapped (centred, say) and gives it
        // a frame; the grid follows the board's moves for a while, so it ends beside the board as it
        // stands rather than beside where it was before the window manager saw it.
        gridSettling_ = true;
        settleChecks_ = 0;
        exposedChecks_ = 0;
        settleTimer_.start();
    }
    grid_->show();
}

void BoardWindow::placeGrid() {
    const QRect board = frameGeometry();
    const QRect screenArea = screen()->availableGeometry();
    const QSize size = frameSizeOf(grid_);
    // Right of the board where it fits, as the grid always opened; anywhere clear of it otherwise.
    const QRect right(QPoint(board.right() + 1, board.top()), size);
    grid_->move(screenArea.contains(right) ? right.topLeft() : placeBeside(board, {}, size, screenArea));
}

void BoardWindow::checkGridSettled() {
    // The grid follows until both windows have been on the screen for a while (a loaded machine maps
    // them late), or at the most for kSettleChecks checks.
    const bool exposed = windowHandle() != nullptr && windowHandle()->isExposed() &&
                         grid_->windowHandle() != nullptr && grid_->windowHandle()->isExposed();
    if (exposed) {
        placeGrid();
        ++exposedChecks_;
    }
    if (exposedChecks_ >= kExposedChecks || ++settleChecks_ >= kSettleChecks) {
        settleTimer_.stop();
        gridSettling_ = false;
    }
}

void BoardWindow::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    if (gridSettling_) placeGrid();
}

bool BoardWindow::eventFilter(QObject* watched, QEvent* event) {
    // The grid's own frame comes once the window manager has mapped it; it is placed again with it.
    if (watched == grid_ && gridSettling_ && (event->type() == QEvent::Move || event->type() == QEvent::Show))
        QTimer::singleShot(0, this, [this] {
            if (gridSettling_) placeGrid();
        });
    return QMainWindow::eventFilter(watched, event);
}

void BoardWindow::setRemembered(Remembered* remembered) {
    remembered_ = remembered;
}

ActionResult BoardWindow::act(const Action& action) {
    if (ended_) return ActionResult::Refused;
    // Exit always ends this program; a game played elsewhere goes on without it.
    if (sink_ && action.kind != ActionKind::Exit) {
        if (!controlsEnabled_ || !game_.isAvailable(action)) return ActionResult::Refused;
        sink_(action);
        return ActionResult::Done;
    }
    if (!controlsEnabled_ && action.kind != ActionKind::Exit) return ActionResult::Refused;
    emit acting(action);
    const ActionResult result = game_.apply(action);
    return afterActing(action, result);
}

ActionResult BoardWindow::resumeAction(const ActionInProgress& record) {
    if (ended_) return ActionResult::Refused;
    emit acting(record.action);
    const ActionResult result = game_.resume(record);
    return afterActing(record.action, result);
}

ActionResult BoardWindow::afterActing(const Action& action, ActionResult result) {
    if (result == ActionResult::Ended) ended_ = true;
    syncAll();
    if (afterAction_) afterAction_(action, result);
    emit acted();
    return result;
}

void BoardWindow::syncAll() {
    drawBoard();
    grid_->draw(game_.state);
    syncSecondaryWindows();
    emit synced();
}

void BoardWindow::setActionSink(ActionSink sink) {
    sink_ = std::move(sink);
}

void BoardWindow::setControlsEnabled(bool enabled) {
    if (controlsEnabled_ == enabled) return;
    controlsEnabled_ = enabled;
    syncAll();
}

void BoardWindow::setSeatAway(int seat, bool away) {
    if (!isPlayer(seat) || away_[seat] == away) return;
    away_[seat] = away;
    drawSeats();
}

void BoardWindow::drawBoard() {
    const BoardView& view = game_.state.board;
    // A button pressed from the keyboard disables itself; the focus goes on to the button the player
    // needs next (End Turn after Roll, Roll after End Turn) rather than wherever the tab chain leads.
    QPushButton* next = nullptr;
    if (rollButton_->hasFocus() && !view.rollEnabled && view.endTurnEnabled) next = endTurnButton_;
    if (endTurnButton_->hasFocus() && !view.endTurnEnabled && view.rollEnabled) next = rollButton_;
    rollButton_->setEnabled(controlsEnabled_ && view.rollEnabled);
    endTurnButton_->setEnabled(controlsEnabled_ && view.endTurnEnabled);
    giveUpButton_->setEnabled(controlsEnabled_ && view.giveUpEnabled);
    if (next != nullptr) next->setFocus(Qt::TabFocusReason);
    setAnnounced(turnLabel_, toQString(view.turnLabel), toQString(view.turnLabel));
    for (int p = 1; p <= kPlayerCount; ++p) {
        const QString money = toQString(view.moneyLabels[p]);
        const QString called = toQString(seatName(game_.state, p));
        setAnnounced(moneyLabels_[static_cast<std::size_t>(p)], money,
                     QStringLiteral("%1: %2").arg(called, money));
        const TokenView& t = view.tokens[p];
        QLabel* token = tokens_[static_cast<std::size_t>(p)];
        const Rect place = tokenPlace(p, t);
        token->move(toPixels(place.left), toPixels(place.top));
        token->setVisible(t.visible);
        if (token->accessibleName() != called + QStringLiteral(" token")) {
            token->setAccessibleName(called + QStringLiteral(" token"));
            swatches_[static_cast<std::size_t>(p)]->setAccessibleName(called + QStringLiteral(" colour"));
        }
        token->setAccessibleDescription(
            QStringLiteral("On %1").arg(toQString(squareInfo(game_.state.positions[p]).landingText)));
    }
    for (int k = 1; k <= 2; ++k) {
        QLabel* shown = diceShown_[static_cast<std::size_t>(k)];
        const int face = view.dice[k];
        if (face >= 1 && face <= 6) {
            shown->setPixmap(dieFaces_[static_cast<std::size_t>(face - 1)]->pixmap());
            shown->setAccessibleName(QStringLiteral("Die showing %1").arg(face));
        } else {
            shown->clear();
            shown->setAccessibleName(QStringLiteral("Die"));
        }
    }
    for (int n = 2; n <= kPlayerCount; ++n) {
        QAction* item = playerItems_[static_cast<std::size_t>(n)];
        item->setChecked(view.checkedPlayers == n);
        item->setEnabled(controlsEnabled_);
    }
    startItem_->setEnabled(controlsEnabled_);
    drawHoldings();
    drawSeats();
    drawHouseRules();
}

void BoardWindow::drawHouseRules() {
    // With the rules off the board looks exactly as it always did: the lines are not there.
    const GameState& s = game_.state;
    const bool pot = s.rules.has(HouseRule::FreeParkingPot);
    const bool bank = s.rules.has(HouseRule::LimitedHouses);
    if (pot) {
        const QString text = QStringLiteral("Free Parking pot: $%1").arg(s.pot);
        setAnnounced(potLabel_, text, text);
    }
    if (bank) {
        const QString text =
            QStringLiteral("Houses left: %1, hotels left: %2").arg(s.housesInBank).arg(s.hotelsInBank);
        setAnnounced(bankLabel_, text, text);
    }
    potLabel_->setVisible(pot);
    bankLabel_->setVisible(bank);
}

int BoardWindow::askAuction(const Box& question) {
    AuctionWindow window(game_.state, question, this);
    window.adjustSize();
    placeBesideBoard(&window);
    return auctionRunner_ ? auctionRunner_(window) : window.ask();
}

void BoardWindow::showComputerBid(const Box& question, int amount, int delayMs) {
    if (delayMs <= 0 || ended_) return;
    syncAll();
    AuctionWindow window(game_.state, question, this);
    window.showChosen(amount);
    window.adjustSize();
    placeBesideBoard(&window);
    // The timer belongs to the window: it closes itself once people have seen the bid.
    QTimer::singleShot(delayMs, &window, [&window] { window.accept(); });
    window.exec();
}

void BoardWindow::drawHoldings() {
    const GameState& s = game_.state;
    for (const i16 square : ownableSquares()) {
        SquareView* picture = squares_[static_cast<std::size_t>(square)];
        picture->setHolding(holdingOf(s, square));
        const QString description = toQString(ownershipDescription(s, square));
        if (picture->accessibleDescription() != description) picture->setAccessibleDescription(description);
        const QString facts = labelText(squareFacts(s, square));
        if (picture->toolTip() != facts) picture->setToolTip(facts);
    }
}

void BoardWindow::drawSeats() {
    for (int p = 1; p <= kPlayerCount; ++p) {
        const bool out = game_.state.seatOut[p] == kTrue;
        QLabel* money = moneyLabels_[static_cast<std::size_t>(p)];
        money->setEnabled(!out);
        QStringList seat;
        if (out) seat << QStringLiteral("Out of the game");
        if (away_[p]) seat << QStringLiteral("away");
        const QString description = seat.join(QStringLiteral(", "));
        if (money->accessibleDescription() != description) money->setAccessibleDescription(description);
        swatches_[static_cast<std::size_t>(p)]->setEnabled(!out);
        awayMarks_[static_cast<std::size_t>(p)]->setVisible(away_[p]);
    }
}

/// Opens, redraws or discards one secondary window so that it is there exactly while the game has it
/// open. `closeInGame` is what the window's close box does in the game.
template <class Window>
void syncWindow(BoardWindow& board, QPointer<Window>& window, bool open, const Action& closeInGame) {
    const GameState& s = board.game().state;
    if (open && !window) {
        window = new Window(board);
        QObject::connect(window, &Window::closedByUser, &board,
                         [&board, closeInGame] { board.act(closeInGame); });
        window->draw(s);
        board.placeBesideBoard(window);
        window->show();
    } else if (!open && window) {
        Window* closing = window;
        window.clear();
        closing->disconnect(&board);
        closing->close();
    } else if (window) {
        window->draw(s);
    }
    // A window of someone else's turn can be moved and read, not used.
    if (window) window->setEnabled(board.controlsEnabled());
}

void BoardWindow::syncSecondaryWindows() {
    syncWindow(*this, houseOptions_, game_.state.houseOptions.open, Action::closeHouseOptions());
    syncWindow(*this, trade_, game_.state.trade.open, Action::closeTrade());
}

QSize BoardWindow::frameSizeOf(const QWidget* window) const {
    // A window not yet shown has no frame; the window manager will give it one like the board's.
    const QSize margins = frameGeometry().size() - geometry().size();
    return window->isVisible() ? window->frameGeometry().size() : window->size() + margins;
}

void BoardWindow::placeBesideBoard(QWidget* window) {
    const QRect screenArea = screen()->availableGeometry();
    window->move(placeBeside(frameGeometry(), openWindows(window), frameSizeOf(window), screenArea));
}

void BoardWindow::placeBox(QMessageBox& box, const Box& about) {
    box.adjustSize();
    const QRect screenArea = screen()->availableGeometry();
    // The acceptance question, and a computer's answer, stand clear of the offer they are about: over
    // the trade window's lower part, or beside it.
    const bool aboutTrade = about.kind == BoxKind::TradeQuestion || about.kind == BoxKind::TradeAnswer;
    if (aboutTrade && trade_ && trade_->isVisible()) {
        box.move(placeBeside(trade_->offerArea(), {}, frameSizeOf(&box), screenArea));
        return;
    }
    // Every other box stays clear of the dice, the money lines and the token that has just moved, so
    // the player sees what the box is about.
    std::vector<QRect> keepClear;
    auto onScreen = [](const QWidget* w) { return QRect(w->mapToGlobal(QPoint(0, 0)), w->size()); };
    for (int k = 1; k <= 2; ++k)
        keepClear.push_back(onScreen(diceShown_[static_cast<std::size_t>(k)]));
    for (int p = 1; p <= kPlayerCount; ++p) {
        keepClear.push_back(onScreen(moneyLabels_[static_cast<std::size_t>(p)]));
        keepClear.push_back(onScreen(swatches_[static_cast<std::size_t>(p)]));
    }
    const int mover = about.turn;
    if (isPlayer(mover) && tokens_[static_cast<std::size_t>(mover)]->isVisible())
        keepClear.push_back(onScreen(tokens_[static_cast<std::size_t>(mover)]));
    box.move(placeBoxClear(frameGeometry(), keepClear, openWindows(nullptr), frameSizeOf(&box), screenArea));
}

std::vector<QRect> BoardWindow::openWindows(const QWidget* except) const {
    std::vector<QRect> open;
    for (const QWidget* w : {static_cast<const QWidget*>(grid_), static_cast<const QWidget*>(houseOptions_),
                             static_cast<const QWidget*>(trade_)})
        if (w != nullptr && w != except && w->isVisible()) open.push_back(w->frameGeometry());
    return open;
}

void BoardWindow::raiseWindow(QWidget* window) {
    if (window == nullptr) return;
    window->show();
    window->raise();
    window->activateWindow();
}

void BoardWindow::makeKeyboardSquare(int square) {
    squares_[static_cast<std::size_t>(keyboardSquare_)]->setFocusPolicy(Qt::NoFocus);
    keyboardSquare_ = square;
    ClickableLabel* picture = squares_[static_cast<std::size_t>(square)];
    picture->setFocusPolicy(Qt::TabFocus);
    setTabOrder(giveUpButton_, picture);
}

void BoardWindow::stepAroundBoard(int from, Qt::Key key) {
    // Of the two neighbours on the ring, take the one that lies in the arrow's direction on screen.
    const QPoint direction = key == Qt::Key_Left    ? QPoint(-1, 0)
                             : key == Qt::Key_Right ? QPoint(1, 0)
                             : key == Qt::Key_Up    ? QPoint(0, -1)
                                                    : QPoint(0, 1);
    const QPoint here = squares_[static_cast<std::size_t>(from)]->geometry().center();
    int best = from;
    int bestReach = 0;
    for (const int step : {1, kSquareCount - 1}) {
        const int next = (from + step) % kSquareCount;
        const QPoint way = squares_[static_cast<std::size_t>(next)]->geometry().center() - here;
        const int reach = QPoint::dotProduct(way, direction);
        if (reach > bestReach) {
            best = next;
            bestReach = reach;
        }
    }
    if (best == from) return;
    makeKeyboardSquare(best);
    squares_[static_cast<std::size_t>(best)]->setFocus(Qt::TabFocusReason);
}

void BoardWindow::clickSquare(int square) {
    act(Action::openHouseOptions(square));
    if (isOwnable(square)) raiseWindow(houseOptions_);
}

void BoardWindow::clickPlayerHeading(int player) {
    act(Action::chooseTradePartner(player));
    raiseWindow(trade_);
}

void BoardWindow::closeEvent(QCloseEvent* event) {
    // Closing the board closes the grid, the House Options window and the trade window, in that order.
    grid_->close();
    if (houseOptions_) houseOptions_->close();
    if (trade_) trade_->close();
    event->accept();
}

} // namespace dealbrix
