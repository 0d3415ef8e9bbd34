#include "rules_window.h"

#include "board_window.h"
#include "widgets.h"

#include <QAction>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace dealbrix {

namespace {
constexpr int kTextPoints = 10;
constexpr int kWidthPx = 460;
constexpr int kSentenceIndentPx = 24;
} // namespace

RulesWindow::RulesWindow(std::function<void(const Action&)> act, QWidget* parent)
    : QWidget(parent, Qt::Window), act_(std::move(act)) {
    setWindowTitle(QStringLiteral("Rules"));
    setAccessibleName(windowTitle());
    setObjectName(QStringLiteral("Rules"));
    setFont(gameFont(kTextPoints));
    auto* layout = new QVBoxLayout(this);
    for (const HouseRuleInfo& info : houseRuleTable()) {
        const QString name = QString::fromLatin1(info.name.data(), static_cast<qsizetype>(info.name.size()));
        auto* box = new QCheckBox(toQString(info.caption), this);
        nameControl(box, QStringLiteral("chkRule_%1").arg(name), toQString(info.caption));
        box->setAccessibleDescription(toQString(info.sentence));
        auto* sentence = new QLabel(toQString(info.sentence), this);
        sentence->setObjectName(QStringLiteral("lblRule_%1").arg(name));
        sentence->setWordWrap(true);
        sentence->setContentsMargins(kSentenceIndentPx, 0, 0, 0);
        sentence->setBuddy(box);
        layout->addWidget(box);
        layout->addWidget(sentence);
        connect(box, &QCheckBox::toggled, this, &RulesWindow::changed);
        boxes_[static_cast<std::size_t>(info.rule)] = box;
    }
    auto* moneyLabel = new QLabel(QStringLiteral("Starting &money:"), this);
    moneyLabel->setObjectName(QStringLiteral("lblStartingMoney"));
    money_ = new QSpinBox(this);
    nameControl(money_, QStringLiteral("txtStartingMoney"), QStringLiteral("Starting money"));
    money_->setPrefix(QStringLiteral("$"));
    money_->setRange(kMinStartingMoney, kMaxStartingMoney);
    money_->setSingleStep(kStartingMoneyStep);
    money_->setStepType(QAbstractSpinBox::DefaultStepType);
    money_->setKeyboardTracking(false); // a typed amount counts once it is whole
    money_->setValue(kStartingMoney);
    moneyLabel->setBuddy(money_);
    connect(money_, &QSpinBox::valueChanged, this, &RulesWindow::changed);
    layout->addWidget(moneyLabel);
    layout->addWidget(money_);
    fixed_ = new QLabel(QStringLiteral("The game has started: its rules are fixed."), this);
    nameControl(fixed_, QStringLiteral("lblRulesFixed"), fixed_->text());
    layout->addWidget(fixed_);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    nameControl(close, QStringLiteral("cmdRulesClose"), QStringLiteral("Close"));
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    layout->addWidget(close, 0, Qt::AlignRight);
    setFixedWidth(kWidthPx);
}

void RulesWindow::draw(const GameState& state, bool room) {
    drawing_ = true;
    const bool changeable = state.playerCount == 0 && !room;
    for (const HouseRuleInfo& info : houseRuleTable()) {
        QCheckBox* box = ruleBox(info.rule);
        box->setChecked(state.rules.has(info.rule));
        box->setEnabled(changeable);
    }
    money_->setValue(state.rules.startingMoney);
    money_->setEnabled(changeable);
    const QString why = room ? QStringLiteral("The room's rules were fixed when it was opened.")
                             : QStringLiteral("The game has started: its rules are fixed.");
    setAnnounced(fixed_, why, why);
    fixed_->setVisible(!changeable);
    drawing_ = false;
}

void RulesWindow::changed() {
    if (drawing_) return;
    HouseRules rules;
    for (const HouseRuleInfo& info : houseRuleTable())
        rules.set(info.rule, ruleBox(info.rule)->isChecked());
    // The spin box steps by 100 but takes any typed number; the game refuses what is off the step.
    rules.startingMoney = static_cast<i16>(money_->value());
    act_(Action::chooseRules(rules));
}

namespace {

/// The Rules... item's window: made when first opened, redrawn whenever the board is.
class RulesItem final : public QObject {
  public:
    explicit RulesItem(BoardWindow& board) : QObject(&board), board_(board) {
        connect(&board, &BoardWindow::synced, this, [this] {
            if (window_) draw();
        });
    }

    void open() {
        if (!window_) {
            window_ = new RulesWindow([this](const Action& action) { board_.act(action); }, &board_);
            window_->setAttribute(Qt::WA_DeleteOnClose);
            draw();
            window_->adjustSize();
            board_.placeBesideBoard(window_);
        }
        window_->show();
        window_->raise();
        window_->activateWindow();
    }

  private:
    void draw() {
        // A board that sends its actions to a room shows the room's rules, fixed.
        window_->draw(board_.game().state, board_.hasActionSink());
    }

    BoardWindow& board_;
    QPointer<RulesWindow> window_;
};

} // namespace

QAction* addRulesItem(BoardWindow& board) {
    QMenu* file = board.fileMenu();
    file->addSeparator();
    QAction* item = file->addAction(QStringLiteral("&Rules..."));
    item->setObjectName(QStringLiteral("mnuFileRules"));
    auto* rules = new RulesItem(board);
    // Like the game's own items, it runs once the menu has closed.
    QObject::connect(item, &QAction::triggered, rules,
                     [rules] { QTimer::singleShot(0, rules, [rules] { rules->open(); }); });
    return item;
}

} // namespace dealbrix
