#include "remote_player.h"

namespace dealbrix::net {

/// The mirror game's screen and dice: it is only read, never played, so neither is ever used.
class RemotePlayer::Quiet final : public Ui, public RandomSource {
  public:
    void tell(const Box&) override {}
    bool ask(const Box&) override { return false; }
    void endProgram() override {}
    float next() override { return 0.0f; }
};

RemotePlayer::RemotePlayer(Client& client, std::uint64_t seed, int delayMs, QObject* parent)
    : QObject(parent), client_(client), quiet_(std::make_unique<Quiet>()),
      mirror_(std::make_unique<Game>(*quiet_, *quiet_)), computer_(ComputerWeights{}, seed) {
    timer_.setSingleShot(true);
    timer_.setInterval(delayMs);
    connect(&timer_, &QTimer::timeout, this, &RemotePlayer::move);
    connect(&client_, &Client::stateChanged, this, [this] {
        ++statesSeen_;
        refusedInRow_ = 0;
        consider();
    });
    connect(&client_, &Client::questionAsked, this, &RemotePlayer::consider);
    connect(&client_, &Client::seatsChanged, this, &RemotePlayer::consider);
    connect(&client_, &Client::joined, this, [this] {
        // Back in the room: whatever was sent before the drop may never have arrived.
        movedAtState_ = -1;
        computer_.dropPlan();
    });
    connect(&client_, &Client::errorReceived, this, [this](const QString&, const QString&) {
        // A refused move leaves the state as it was: plan afresh and try again, a few times.
        computer_.dropPlan();
        if (++refusedInRow_ > kRetries) return;
        movedAtState_ = -1;
        consider();
    });
}

RemotePlayer::~RemotePlayer() = default;

void RemotePlayer::consider() {
    if (client_.openQuestion() || client_.mayAct()) timer_.start();
}

void RemotePlayer::move() {
    if (!client_.isReady()) return;
    if (const std::optional<Question>& question = client_.openQuestion()) {
        const Question asked = *question;
        int given = 0; // amount questions are passed
        if (!isAmountQuestion(asked.box)) {
            OfferedMoney offered;
            if (asked.offer)
                offered = {Game::readNumber(asked.offer->text), Game::readNumber(asked.offer->otherText)};
            given = computer_.answer(client_.state(), asked.box, offered) ? 1 : 0;
        }
        const bool sent =
            isAmountQuestion(asked.box) ? client_.answerAmount(given) : client_.answer(given != 0);
        if (sent) {
            ++moves_;
            emit moved(Action::answerAmount(given));
        }
        return;
    }
    // One move per state told: the next comes once the server has told what the last one did.
    if (!client_.mayAct() || movedAtState_ == statesSeen_) return;
    mirror_->restore(client_.state());
    const std::optional<Action> action = computer_.nextAction(*mirror_);
    if (!action) return;
    movedAtState_ = statesSeen_;
    client_.sendAction(*action);
    ++moves_;
    emit moved(*action);
}

} // namespace dealbrix::net
