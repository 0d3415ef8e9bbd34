#include "new_game_dialog.h"

#include "widgets.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace dealbrix {

namespace {
constexpr int kSentenceIndentPx = 24;
} // namespace

NewGameDialog::NewGameDialog(const TableChoice& offered, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("New Game"));
    setAccessibleName(windowTitle());
    setObjectName(QStringLiteral("NewGame"));
    setModal(true);

    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    count_ = new QSpinBox(this);
    count_->setRange(2, kPlayerCount);
    count_->setValue(std::clamp(offered.players, 2, kPlayerCount));
    nameControl(count_, QStringLiteral("playerCount"), QStringLiteral("Number of players"));
    form->addRow(QStringLiteral("&Players:"), count_);
    layout->addLayout(form);

    auto* seats = new QGridLayout;
    seats->addWidget(new QLabel(QStringLiteral("Seat"), this), 0, 0);
    seats->addWidget(new QLabel(QStringLiteral("Played by"), this), 0, 1);
    seats->addWidget(new QLabel(QStringLiteral("Level"), this), 0, 2);
    seats->addWidget(new QLabel(QStringLiteral("Name (optional)"), this), 0, 3);
    for (int seat = 1; seat <= kPlayerCount; ++seat) {
        const QString called = toQString(dealbrix::seatName(std::string(), seat));
        auto* label = new QLabel(called, this);
        auto* kind = new QComboBox(this);
        kind->addItem(QStringLiteral("Person"));
        kind->addItem(QStringLiteral("Computer"));
        kind->setCurrentIndex(
            static_cast<int>(offered.computer[seat] ? SeatKind::Computer : SeatKind::Person));
        nameControl(kind, QStringLiteral("seatKind(%1)").arg(seat),
                    QStringLiteral("%1 played by").arg(called));
        auto* level = new QComboBox(this);
        for (const ComputerLevel each : kComputerLevels) {
            level->addItem(toQString(levelTitle(each)), static_cast<int>(each));
            if (each == offered.levels[seat]) level->setCurrentIndex(level->count() - 1);
        }
        nameControl(level, QStringLiteral("seatLevel(%1)").arg(seat), QStringLiteral("%1 level").arg(called));
        auto* name = new QLineEdit(toQString(offered.names[seat]), this);
        name->setMaxLength(kMaxNameLength);
        name->setPlaceholderText(called);
        nameControl(name, QStringLiteral("seatName(%1)").arg(seat), QStringLiteral("%1 name").arg(called));
        label->setBuddy(kind);
        seats->addWidget(label, seat, 0);
        seats->addWidget(kind, seat, 1);
        seats->addWidget(level, seat, 2);
        seats->addWidget(name, seat, 3);
        kinds_[static_cast<std::size_t>(seat)] = kind;
        levels_[static_cast<std::size_t>(seat)] = level;
        connect(kind, &QComboBox::currentIndexChanged, this, &NewGameDialog::enableSeats);
        names_[static_cast<std::size_t>(seat)] = name;
    }
    layout->addLayout(seats);

    // The house rules, as the Rules window offers them: each off unless ticked.
    const HouseRules rules = offered.rules.value_or(HouseRules{});
    auto* ruleGroup = new QGroupBox(QStringLiteral("House rules"), this);
    ruleGroup->setObjectName(QStringLiteral("houseRules"));
    ruleGroup->setAccessibleName(ruleGroup->title());
    auto* ruleLayout = new QVBoxLayout(ruleGroup);
    for (const HouseRuleInfo& info : houseRuleTable()) {
        const QString rule = toQString(info.name);
        auto* box = new QCheckBox(toQString(info.caption), ruleGroup);
        nameControl(box, QStringLiteral("chkRule_%1").arg(rule), toQString(info.caption));
        box->setAccessibleDescription(toQString(info.sentence));
        box->setChecked(rules.has(info.rule));
        auto* sentence = new QLabel(toQString(info.sentence), ruleGroup);
        sentence->setObjectName(QStringLiteral("lblRule_%1").arg(rule));
        sentence->setWordWrap(true);
        sentence->setContentsMargins(kSentenceIndentPx, 0, 0, 0);
        sentence->setBuddy(box);
        ruleLayout->addWidget(box);
        ruleLayout->addWidget(sentence);
        rules_[static_cast<std::size_t>(info.rule)] = box;
    }
    auto* moneyForm = new QFormLayout;
    money_ = new QSpinBox(ruleGroup);
    nameControl(money_, QStringLiteral("txtStartingMoney"), QStringLiteral("Starting money"));
    money_->setPrefix(QStringLiteral("$"));
    money_->setRange(kMinStartingMoney, kMaxStartingMoney);
    money_->setSingleStep(kStartingMoneyStep);
    money_->setValue(validStartingMoney(rules.startingMoney) ? rules.startingMoney : kStartingMoney);
    moneyForm->addRow(QStringLiteral("Starting &money:"), money_);
    ruleLayout->addLayout(moneyForm);
    layout->addWidget(ruleGroup);

    problem_ = new QLabel(this);
    problem_->setWordWrap(true);
    nameControl(problem_, QStringLiteral("problem"), QStringLiteral("Problem"));
    layout->addWidget(problem_);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* start = buttons->addButton(QStringLiteral("&Start"), QDialogButtonBox::AcceptRole);
    nameControl(start, QStringLiteral("cmdStart"), QStringLiteral("Start"));
    start->setDefault(true);
    QPushButton* cancel = buttons->addButton(QDialogButtonBox::Cancel);
    nameControl(cancel, QStringLiteral("cmdCancel"), QStringLiteral("Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &NewGameDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &NewGameDialog::reject);
    layout->addWidget(buttons);

    connect(count_, &QSpinBox::valueChanged, this, &NewGameDialog::enableSeats);
    enableSeats();
    // The keyboard starts at the top, with the number of players; Enter starts the game offered.
    count_->setFocus(Qt::OtherFocusReason);
}

void NewGameDialog::enableSeats() {
    // Seats beyond the count stay as they are, greyed, so a count put back keeps them.
    for (int seat = 1; seat <= kPlayerCount; ++seat) {
        const bool seated = seat <= count_->value();
        QComboBox* kind = kinds_[static_cast<std::size_t>(seat)];
        kind->setEnabled(seated);
        levels_[static_cast<std::size_t>(seat)]->setEnabled(
            seated && kind->currentIndex() == static_cast<int>(SeatKind::Computer));
        names_[static_cast<std::size_t>(seat)]->setEnabled(seated);
    }
}

TableChoice NewGameDialog::choice() const {
    TableChoice choice;
    choice.players = count_->value();
    PlayerArray<std::string> typed;
    for (int seat = 1; seat <= kPlayerCount; ++seat) {
        choice.computer[seat] =
            kinds_[static_cast<std::size_t>(seat)]->currentIndex() == static_cast<int>(SeatKind::Computer);
        choice.levels[seat] =
            static_cast<ComputerLevel>(levels_[static_cast<std::size_t>(seat)]->currentData().toInt());
        // Seats beyond the count are not at the table: their names are not asked for.
        if (seat <= choice.players)
            typed[seat] = names_[static_cast<std::size_t>(seat)]->text().toStdString();
    }
    choice.names = checkNames(typed).names;
    HouseRules rules;
    for (const HouseRuleInfo& info : houseRuleTable())
        rules.set(info.rule, ruleBox(info.rule)->isChecked());
    // A typed amount off the step is put on it, as the spin box's arrows would have it.
    const int money = money_->value() / kStartingMoneyStep * kStartingMoneyStep;
    rules.startingMoney = static_cast<i16>(std::clamp(money, kMinStartingMoney, kMaxStartingMoney));
    choice.rules = rules;
    return choice;
}

void NewGameDialog::accept() {
    PlayerArray<std::string> typed;
    for (int seat = 1; seat <= count_->value(); ++seat)
        typed[seat] = names_[static_cast<std::size_t>(seat)]->text().toStdString();
    const NameCheck check = checkNames(typed);
    if (!check.error.empty()) {
        problem_->setText(toQString(check.error));
        names_[static_cast<std::size_t>(check.seat)]->setFocus(Qt::OtherFocusReason);
        return;
    }
    problem_->clear();
    QDialog::accept();
}

} // namespace dealbrix
