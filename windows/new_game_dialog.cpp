#include "new_game_dialog.h"

#include "widgets.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace dealbrix {

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
    seats->addWidget(new QLabel(QStringLiteral("Name (optional)"), this), 0, 2);
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
        auto* name = new QLineEdit(toQString(offered.names[seat]), this);
        name->setMaxLength(kMaxNameLength);
        name->setPlaceholderText(called);
        nameControl(name, QStringLiteral("seatName(%1)").arg(seat), QStringLiteral("%1 name").arg(called));
        label->setBuddy(kind);
        seats->addWidget(label, seat, 0);
        seats->addWidget(kind, seat, 1);
        seats->addWidget(name, seat, 2);
        kinds_[static_cast<std::size_t>(seat)] = kind;
        names_[static_cast<std::size_t>(seat)] = name;
    }
    layout->addLayout(seats);

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
}

void NewGameDialog::enableSeats() {
    // Seats beyond the count stay as they are, greyed, so a count put back keeps them.
    for (int seat = 1; seat <= kPlayerCount; ++seat) {
        const bool seated = seat <= count_->value();
        kinds_[static_cast<std::size_t>(seat)]->setEnabled(seated);
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
        // Seats beyond the count are not at the table: their names are not asked for.
        if (seat <= choice.players)
            typed[seat] = names_[static_cast<std::size_t>(seat)]->text().toStdString();
    }
    choice.names = checkNames(typed).names;
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
