#include "room.h"

#include "game_log.h"
#include "saved_game.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QPasswordDigestor>
#include <QRandomGenerator>

#include <limits>

namespace dealbrix::net {

namespace {

constexpr int kTokenBytes = 16; // 128 bits
constexpr int kSaltBytes = 16;
// PBKDF2 rounds for a room password: a guess costs a little work, a join hardly notices.
constexpr int kPasswordRounds = 4096;
constexpr int kPasswordHashBytes = 32;

QByteArray randomBytes(int count) {
    // Whole 32-bit words, then their bytes: no value is narrowed on the way.
    std::vector<quint32> words(static_cast<std::size_t>((count + 3) / 4));
    QRandomGenerator::system()->fillRange(words.data(), static_cast<qsizetype>(words.size()));
    return QByteArray(reinterpret_cast<const char*>(words.data()), count);
}

bool isClientKind(ActionKind kind) {
    // The room chooses the players and its rules and starts itself, nothing a client sends ends its
    // game, and answers come as answer messages.
    return kind != ActionKind::ChoosePlayers && kind != ActionKind::Start && kind != ActionKind::Exit &&
           kind != ActionKind::Answer && kind != ActionKind::ChooseRules;
}

QString defaultName(int seat) {
    return QStringLiteral("Player %1").arg(seat);
}

constexpr int kHashBytes = 32; // SHA-256 and the password key
constexpr qsizetype kMaxStoredText = 1000;

QString hex(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toHex());
}

/// Hex of `bytes` bytes (or empty when `emptyAllowed`), else nothing.
std::optional<QByteArray> hashOf(const QJsonValue& value, bool emptyAllowed = true) {
    if (!value.isString()) return std::nullopt;
    const QByteArray bytes = QByteArray::fromHex(value.toString().toLatin1());
    if (bytes.isEmpty() && emptyAllowed && value.toString().isEmpty()) return QByteArray();
    if (bytes.size() != kHashBytes && bytes.size() != kSaltBytes) return std::nullopt;
    return bytes;
}

std::optional<std::uint64_t> u64Of(const QJsonValue& value) {
    bool ok = false;
    const std::uint64_t n = value.toString().toULongLong(&ok);
    if (!value.isString() || !ok) return std::nullopt;
    return n;
}

std::optional<QString> storedText(const QJsonValue& value) {
    if (!value.isString() || value.toString().size() > kMaxStoredText) return std::nullopt;
    return value.toString();
}

} // namespace

QByteArray writeRoomSnapshot(const RoomSnapshot& s) {
    SavedGame game;
    game.state = s.state;
    for (int seat = 1; seat <= kPlayerCount; ++seat) {
        game.computerSeats[seat] = s.seats[seat].computer;
        game.computerLevels[seat] = s.settings.levels[seat];
    }
    for (const QString& line : s.log)
        game.log.push_back(line.toStdString());
    game.actions = s.version;
    game.inProgress = s.inProgress;
    QJsonArray computer;
    for (int seat = 1; seat <= kPlayerCount; ++seat)
        if (s.settings.computer[seat]) computer.append(seat);
    QJsonArray seats;
    for (int seat = 1; seat <= kPlayerCount; ++seat)
        seats.append(QJsonObject{{"name", s.seats[seat].name},
                                 {"computer", s.seats[seat].computer},
                                 {"tokenHash", hex(s.seats[seat].tokenHash)}});
    QJsonArray chat;
    for (const ChatLine& line : s.chat)
        chat.append(chatToJson(line));
    const QJsonObject top{
        {"code", s.code},
        {"players", s.settings.players},
        {"computer", computer},
        {"passwordHash", hex(s.settings.passwordHash)},
        {"passwordSalt", hex(s.settings.passwordSalt)},
        {"game", savedGameObject(game)},
        {"seats", seats},
        {"hostTokenHash", hex(s.hostTokenHash)},
        {"chat", chat},
        {"questionId", s.questionId},
        {"random", QString::number(s.random)},
        {"computerSeed", QString::number(s.computerSeed)},
        {"started", s.started},
        {"ended", s.ended},
        {"logTotal", QString::number(s.logTotal)},
        {"chatTotal", QString::number(s.chatTotal)},
        {"runs", QString::number(s.runs)},
    };
    return QJsonDocument(top).toJson(QJsonDocument::Compact);
}

std::optional<RoomSnapshot> readRoomSnapshot(const QByteArray& bytes, QString* error) {
    auto refuse = [error](const QString& why) -> std::optional<RoomSnapshot> {
        if (error != nullptr) *error = why;
        return std::nullopt;
    };
    const QJsonDocument document = QJsonDocument::fromJson(bytes);
    if (!document.isObject()) return refuse(QStringLiteral("The room is not a JSON object."));
    const QJsonObject top = document.object();
    RoomSnapshot s;
    const std::optional<int> players = intField(top, "players", 2, kPlayerCount);
    const std::optional<QList<int>> computer =
        players ? seatListOf(top.value(QLatin1String("computer")), *players) : std::nullopt;
    const std::optional<QByteArray> passwordHash = hashOf(top.value(QLatin1String("passwordHash")));
    const std::optional<QByteArray> passwordSalt = hashOf(top.value(QLatin1String("passwordSalt")));
    const std::optional<QByteArray> hostHash = hashOf(top.value(QLatin1String("hostTokenHash")));
    const std::optional<int> questionId = intField(top, "questionId", 0, std::numeric_limits<int>::max());
    const std::optional<std::uint64_t> random = u64Of(top.value(QLatin1String("random")));
    const std::optional<std::uint64_t> computerSeed = u64Of(top.value(QLatin1String("computerSeed")));
    const QJsonValue code = top.value(QLatin1String("code"));
    const QJsonArray seats = top.value(QLatin1String("seats")).toArray();
    if (!players || !computer || !passwordHash || !passwordSalt || !hostHash || !questionId || !random ||
        !computerSeed || !code.isString() || code.toString().isEmpty() || seats.size() != kPlayerCount ||
        !top.value(QLatin1String("started")).isBool() || !top.value(QLatin1String("ended")).isBool())
        return refuse(QStringLiteral("The room's own fields are damaged."));
    s.code = code.toString();
    s.settings.players = *players;
    for (const int seat : *computer)
        s.settings.computer[seat] = true;
    s.settings.passwordHash = *passwordHash;
    s.settings.passwordSalt = *passwordSalt;
    s.hostTokenHash = *hostHash;
    s.questionId = *questionId;
    s.random = *random;
    s.computerSeed = *computerSeed;
    s.started = top.value(QLatin1String("started")).toBool();
    s.ended = top.value(QLatin1String("ended")).toBool();
    for (int seat = 1; seat <= kPlayerCount; ++seat) {
        const QJsonObject o = seats[seat - 1].toObject();
        const std::optional<QString> name = storedText(o.value(QLatin1String("name")));
        const std::optional<QByteArray> token = hashOf(o.value(QLatin1String("tokenHash")));
        if (!name || !token || !o.value(QLatin1String("computer")).isBool())
            return refuse(QStringLiteral("Seat %1 of the room is damaged.").arg(seat));
        s.seats[seat] = {*name, o.value(QLatin1String("computer")).toBool(), *token};
    }
    for (const QJsonValue line : top.value(QLatin1String("chat")).toArray()) {
        const std::optional<ChatLine> said = chatFromJson(line.toObject());
        if (!said || said->text.size() > kMaxStoredText || said->name.size() > kMaxStoredText)
            return refuse(QStringLiteral("The room's chat is damaged."));
        s.chat.push_back(*said);
    }
    const LoadResult loaded = readSavedGameObject(top.value(QLatin1String("game")).toObject());
    if (!loaded.game) return refuse(loaded.error);
    s.state = loaded.game->state;
    // The rules live in the game; the levels beside its computer seats.
    s.settings.rules = s.state.rules;
    s.settings.levels = loaded.game->computerLevels;
    s.inProgress = loaded.game->inProgress;
    s.version = loaded.game->actions;
    for (const std::string& line : loaded.game->log)
        s.log.append(QString::fromStdString(line));
    // Counts of lines ever added, for a store that keeps the lines apart; at least what is here.
    const std::optional<std::uint64_t> logTotal =
        top.contains(QLatin1String("logTotal")) ? u64Of(top.value(QLatin1String("logTotal"))) : 0;
    const std::optional<std::uint64_t> chatTotal =
        top.contains(QLatin1String("chatTotal")) ? u64Of(top.value(QLatin1String("chatTotal"))) : 0;
    constexpr std::uint64_t kMaxTotal = std::uint64_t{1} << 53;
    if (!logTotal || !chatTotal || *logTotal > kMaxTotal || *chatTotal > kMaxTotal)
        return refuse(QStringLiteral("The room's line counts are damaged."));
    s.logTotal = std::max<qint64>(static_cast<qint64>(*logTotal), s.log.size());
    s.chatTotal = std::max<qint64>(static_cast<qint64>(*chatTotal), static_cast<qint64>(s.chat.size()));
    const std::optional<std::uint64_t> runs =
        top.contains(QLatin1String("runs")) ? u64Of(top.value(QLatin1String("runs"))) : 0;
    if (!runs || *runs > kMaxTotal) return refuse(QStringLiteral("The room's run count is damaged."));
    s.runs = static_cast<qint64>(*runs);
    return s;
}

float RoomRandom::next() {
    // SplitMix64: every state gives the next by one addition, so the state is all there is to keep.
    state_ += 0x9E3779B97F4A7C15ull;
    std::uint64_t z = state_;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return static_cast<float>(z >> 40) * (1.0f / 16777216.0f); // 24 bits: exact in a float
}

QString newToken() {
    return QString::fromLatin1(randomBytes(kTokenBytes).toHex());
}

bool equalInConstantTime(const QByteArray& a, const QByteArray& b) {
    if (a.size() != b.size()) return false;
    unsigned char difference = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

/// The room's screen: boxes are collected for the connections, questions wait in the game's state.
class Room::Screen final : public Ui {
  public:
    explicit Screen(Room& room) : room_(room) {}
    void tell(const Box& box) override {
        if (box.kind == BoxKind::Winner) room_.winner_ = box.seat;
        room_.pendingBoxes_.push_back(box);
        if (!room_.replaying_) room_.addLog(GameLog::lineFor(box));
    }
    // A line no box shows (the rules chosen at Start, a bidder dropping out) goes to the room's log.
    void note(const Box& line) override { room_.addLog(GameLog::lineFor(line)); }
    bool ask(const Box&) override { return false; } // questions wait; the rules never call this here
    void endProgram() override {}                   // the rules stop by themselves; the room ends

  private:
    Room& room_;
};

Room::Room(QString code, RoomSettings settings, std::uint64_t seed, RoomEvents& events)
    : code_(std::move(code)), settings_(std::move(settings)), events_(events), random_(seed) {
    for (int seat = 1; seat <= kPlayerCount; ++seat) {
        seats_[seat].computer = seat <= settings_.players && settings_.computer[seat];
        seats_[seat].name = seats_[seat].computer ? QStringLiteral("Computer") : defaultName(seat);
    }
    // The computer's own choices vary with the room, from the same source as the dice.
    createGame(static_cast<std::uint64_t>(random_.next() * 16777216.0f));
    game_->apply(Action::choosePlayers(settings_.players));
    // The creator's rules through the game's own choice, before Start fixes them; the server has
    // already refused names and money the game does not have.
    if (!settings_.rules.plain()) game_->apply(Action::chooseRules(settings_.rules));
    startIfReady();
}

Room::Room(const RoomSnapshot& snapshot, RoomEvents& events)
    : code_(snapshot.code), settings_(snapshot.settings), events_(events), random_(snapshot.random) {
    createGame(snapshot.computerSeed);
    game_->restore(snapshot.state);
    random_.setState(snapshot.random);
    seats_ = snapshot.seats;
    hostTokenHash_ = snapshot.hostTokenHash;
    log_ = snapshot.log;
    chat_ = snapshot.chat;
    logTotal_ = snapshot.logTotal;
    chatTotal_ = snapshot.chatTotal;
    runs_ = snapshot.runs;
    version_ = snapshot.version;
    questionId_ = snapshot.questionId;
    started_ = snapshot.started;
    ended_ = snapshot.ended;
    // The waiting action is played on from its start with its recorded draws: it stops at the same
    // question, and no box it had shown is shown again.
    if (snapshot.inProgress) game_->resume(*snapshot.inProgress);
    pendingBoxes_.clear();
}

Room::~Room() = default;

void Room::createGame(std::uint64_t computerSeed) {
    computerSeed_ = computerSeed;
    screen_ = std::make_unique<Screen>(*this);
    game_ = std::make_unique<Game>(*screen_, random_);
    game_->setQuestionsWait(true);
    computer_ = std::make_unique<ComputerPlayer>(ComputerWeights{}, computerSeed);
    for (int seat = 1; seat <= kPlayerCount; ++seat)
        computer_->setLevel(seat, settings_.levels[seat]);
}

RoomSnapshot Room::snapshot() const {
    RoomSnapshot s;
    s.code = code_;
    s.settings = settings_;
    s.state = game_->state;
    if (const ActionInProgress* record = game_->inProgress()) s.inProgress = *record;
    s.seats = seats_;
    s.hostTokenHash = hostTokenHash_;
    s.log = log_;
    s.chat = chat_;
    s.logTotal = logTotal_;
    s.chatTotal = chatTotal_;
    s.runs = runs_;
    s.version = version_;
    s.questionId = questionId_;
    s.random = random_.state();
    s.computerSeed = computerSeed_;
    s.started = started_;
    s.ended = ended_;
    return s;
}

int Room::openQuestionId() const {
    return game_->openQuestion() != nullptr ? questionId_ : 0;
}

int Room::waitingFor() const {
    const Box* question = game_->openQuestion();
    return question != nullptr ? question->seat : 0;
}

std::optional<Action> Room::offerOnTable() const {
    const ActionInProgress* record = game_->inProgress();
    if (record == nullptr || record->action.kind != ActionKind::FinalizeOffer) return std::nullopt;
    return record->action;
}

QList<SeatInfo> Room::seats(const std::vector<int>& connectedPerSeat) const {
    QList<SeatInfo> out;
    for (int seat = 1; seat <= settings_.players; ++seat) {
        const bool connected =
            static_cast<std::size_t>(seat) < connectedPerSeat.size() && connectedPerSeat[seat] > 0;
        out.append({seat, seats_[seat].name, seats_[seat].computer, connected,
                    !seats_[seat].tokenHash.isEmpty(), computer_->level(seat)});
    }
    return out;
}

QByteArray Room::hashPassword(const QString& password, const QByteArray& salt) {
    return QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, password.toUtf8(), salt,
                                              kPasswordRounds, kPasswordHashBytes);
}

bool Room::passwordFits(const QString& password) const {
    if (settings_.passwordHash.isEmpty()) return true;
    return equalInConstantTime(hashPassword(password, settings_.passwordSalt), settings_.passwordHash);
}

QByteArray Room::hashToken(const QString& token) const {
    // Tokens are 128 random bits: a plain hash keeps a stored copy from being replayed without a salt.
    return QCryptographicHash::hash(token.toLatin1(), QCryptographicHash::Sha256);
}

JoinOutcome Room::join(const QList<int>& wanted, const QString& password, const QString& name) {
    if (!passwordFits(password)) return {ErrorCode::BadPassword, {}, {}, false};
    for (const int seat : wanted)
        if (seat < 1 || seat > settings_.players || seats_[seat].computer ||
            !seats_[seat].tokenHash.isEmpty())
            return {ErrorCode::SeatTaken, {}, {}, false};
    if (wanted.isEmpty()) return {std::nullopt, {}, {}, false};
    const QString token = newToken();
    const QByteArray hash = hashToken(token);
    for (const int seat : wanted) {
        seats_[seat].tokenHash = hash;
        seats_[seat].name = name.isEmpty() ? defaultName(seat) : name;
    }
    startIfReady();
    return {std::nullopt, wanted, token, false};
}

JoinOutcome Room::rejoin(const QString& token) {
    const QByteArray hash = hashToken(token);
    JoinOutcome outcome;
    // Every seat is compared, found or not, so the time taken tells nothing about the token.
    for (int seat = 1; seat <= settings_.players; ++seat)
        if (equalInConstantTime(seats_[seat].tokenHash, hash)) outcome.seats.append(seat);
    outcome.host = !hostTokenHash_.isEmpty() && equalInConstantTime(hostTokenHash_, hash);
    if (outcome.seats.isEmpty() && !outcome.host) outcome.error = ErrorCode::BadToken;
    return outcome;
}

bool Room::isHostToken(const QString& token) const {
    return !hostTokenHash_.isEmpty() && equalInConstantTime(hostTokenHash_, hashToken(token));
}

void Room::setHostToken(const QString& token) {
    hostTokenHash_ = hashToken(token);
}

void Room::startIfReady() {
    if (started_ || ended_) return;
    for (int seat = 1; seat <= settings_.players; ++seat)
        if (!seats_[seat].computer && seats_[seat].tokenHash.isEmpty()) return;
    begin();
}

void Room::begin() {
    started_ = true;
    // The people's names go into the game, so every box, label and log line calls them by name on
    // every client. A name no seat could carry, or one another seat has already, stays "Player N".
    PlayerArray<std::string> names;
    for (int seat = 1; seat <= settings_.players; ++seat) {
        if (seats_[seat].computer || seats_[seat].name == defaultName(seat)) continue;
        PlayerArray<std::string> tried = names;
        tried[seat] = seats_[seat].name.toStdString();
        const NameCheck check = checkNames(tried);
        if (check.error.empty()) names = check.names;
    }
    game_->nameSeats(names);
    // As at one computer, the log says who the computer plays and at which level.
    for (int seat = 1; seat <= settings_.players; ++seat)
        if (seats_[seat].computer)
            addLog(seatName(game_->state, seat) + " is played by the computer (" +
                   std::string(levelTitle(computer_->level(seat))) + ")");
    run(Action::start());
}

std::optional<ErrorCode> Room::startNow() {
    if (started_ || ended_) return ErrorCode::Refused;
    for (int seat = 1; seat <= settings_.players; ++seat)
        if (seats_[seat].tokenHash.isEmpty() && !seats_[seat].computer) {
            seats_[seat].computer = true;
            seats_[seat].name = QStringLiteral("Computer");
        }
    events_.roomSeats(code_);
    begin();
    return std::nullopt;
}

std::optional<ErrorCode> Room::setComputer(int seat, bool computer) {
    if (ended_ || seat < 1 || seat > settings_.players) return ErrorCode::Refused;
    // A seat goes back only to a person who holds it.
    if (!computer && seats_[seat].tokenHash.isEmpty()) return ErrorCode::Refused;
    if (seats_[seat].computer == computer) return std::nullopt;
    seats_[seat].computer = computer;
    computer_->dropPlan();
    events_.roomSeats(code_);
    return std::nullopt;
}

bool Room::seatMayAct(const QList<int>& seats) const {
    if (!started_) return false;
    const Box* question = game_->openQuestion();
    const int seat = question != nullptr ? question->seat : game_->state.turn;
    return isPlayer(seat) && seats.contains(seat) && !seats_[seat].computer;
}

std::optional<ErrorCode> Room::act(const QList<int>& seats, const Action& action) {
    if (!seatMayAct(seats)) return ErrorCode::NotYourTurn;
    if (ended_ || !isClientKind(action.kind)) return ErrorCode::Refused;
    return run(action);
}

std::optional<ErrorCode> Room::answer(const QList<int>& seats, int id, bool yes, int amount) {
    const Box* question = game_->openQuestion();
    if (question == nullptr || !seats.contains(question->seat) || seats_[question->seat].computer)
        return ErrorCode::NotYourTurn;
    const int given = isAmountQuestion(*question) ? amount : (yes ? 1 : 0);
    if (id != questionId_ || ended_ || !game_->isAvailable(Action::answerAmount(given)))
        return ErrorCode::Refused;
    const bool answerYes = given != 0;
    addLog(isAmountQuestion(*question) ? GameLog::lineForAmount(*question, given)
                                       : GameLog::lineFor(*question, &answerYes));
    return run(Action::answerAmount(given));
}

void Room::chat(int seat, const QString& name, const QString& text) {
    ChatLine line{seat, name, text};
    chat_.push_back(line);
    ++chatTotal_;
    if (chat_.size() > kChatKept) chat_.erase(chat_.begin());
    events_.roomChat(code_, line);
}

std::optional<ErrorCode> Room::run(const Action& action) {
    const ActionResult result = game_->apply(action);
    if (result == ActionResult::Refused) {
        pendingBoxes_.clear();
        return ErrorCode::Refused;
    }
    ++runs_;
    recentRuns_.push_back({runs_, action, logTotal_});
    if (recentRuns_.size() > kRunsKept) recentRuns_.pop_front();
    finish(result);
    return std::nullopt;
}

bool Room::replay(const std::vector<RoomRun>& runs) {
    replaying_ = true;
    bool ok = true;
    for (const RoomRun& recorded : runs) {
        if (recorded.seq != runs_ + 1 || ended_) {
            ok = false;
            break;
        }
        // The start, as begin() carries it out; every other run as it came.
        if (recorded.action.kind == ActionKind::Start) started_ = true;
        if (run(recorded.action)) {
            ok = false;
            break;
        }
        logTotal_ = recorded.logTotal;
        recentRuns_.back().logTotal = recorded.logTotal;
    }
    replaying_ = false;
    return ok;
}

void Room::finish(ActionResult result) {
    if (result != ActionResult::Waiting) ++version_;
    if (result == ActionResult::Ended) ended_ = true;
    std::vector<Box> boxes;
    boxes.swap(pendingBoxes_);
    for (const Box& box : boxes)
        events_.roomBox(code_, version_, box);
    events_.roomState(code_);
    if (result == ActionResult::Waiting) {
        ++questionId_;
        events_.roomQuestion(code_, questionId_, *game_->openQuestion());
    }
    if (ended_) events_.roomEnded(code_, winner_);
}

bool Room::computerDue() const {
    if (!started_ || ended_) return false;
    const Box* question = game_->openQuestion();
    const int seat = question != nullptr ? question->seat : game_->state.turn;
    return isPlayer(seat) && seats_[seat].computer;
}

bool Room::stepComputer() {
    if (!computerDue()) return false;
    if (const Box* question = game_->openQuestion()) {
        // An amount question is an auction's bid, which the computer weighs as it does at one screen.
        int given = computer_->bid(game_->state, *question);
        if (!isAmountQuestion(*question)) {
            OfferedMoney offered;
            if (const std::optional<Action> offer = offerOnTable())
                offered = {Game::readNumber(offer->text), Game::readNumber(offer->otherText)};
            given = computer_->answer(game_->state, *question, offered) ? 1 : 0;
        }
        const bool answerYes = given != 0;
        addLog(isAmountQuestion(*question) ? GameLog::lineForAmount(*question, given)
                                           : GameLog::lineFor(*question, &answerYes));
        return !run(Action::answerAmount(given)).has_value();
    }
    const std::optional<Action> action = computer_->nextAction(*game_);
    if (!action || !isClientKind(action->kind)) return false;
    return !run(*action).has_value();
}

void Room::addLog(const std::string& line) {
    log_.append(QString::fromStdString(line));
    ++logTotal_;
    if (log_.size() > kLogKept) log_.removeFirst();
}

} // namespace dealbrix::net
