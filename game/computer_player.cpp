// How a computer seat decides: what it buys, builds, mortgages, redeems and trades, and when it
// rolls, ends its turn or gives up.
#include "computer_player.h"

#include <algorithm>
#include <cmath>
#include <span>

namespace dealbrix {

namespace {

/// Every colour group, each once, in board order.
std::vector<const ColourGroup*> colourGroups() {
    std::vector<const ColourGroup*> groups;
    for (int square = 0; square < kSquareCount; ++square) {
        const ColourGroup* group = colourGroupOf(square);
        if (group != nullptr && group->squares[0] == square) groups.push_back(group);
    }
    return groups;
}

const std::vector<const ColourGroup*>& allGroups() {
    static const std::vector<const ColourGroup*> groups = colourGroups();
    return groups;
}

} // namespace

std::span<const i16> squaresOf(const ColourGroup& group) {
    return {group.squares.data(), static_cast<std::size_t>(group.size)};
}

namespace {

int priceOf(int square) {
    return squareInfo(square).price;
}

int groupPrice(const ColourGroup& group) {
    int sum = 0;
    for (const i16 square : squaresOf(group))
        sum += priceOf(square);
    return sum;
}

/// How many squares of `group` `seat` holds, mortgaged or not.
int heldInGroup(const Holdings& h, const ColourGroup& group, int seat) {
    int held = 0;
    for (const i16 square : squaresOf(group))
        if (ownerOf(h.owners[square]) == seat) ++held;
    return held;
}

} // namespace

bool buildable(const Holdings& h, const ColourGroup& group, int seat) {
    for (const i16 square : squaresOf(group))
        if (h.owners[square] != seat) return false;
    return true;
}

namespace {

/// What a mortgage of `square` pays, and what redeeming it costs.
int mortgageValue(const Holdings& h, int square) {
    return static_cast<int>(roundHalfEven(h.pricePaid[square] / 2.0));
}

/// The rent `square`'s owner charges now (the utilities at the highest roll), 0 while it is
/// mortgaged or with the bank.
int rentOf(const Holdings& h, int square) {
    const int code = h.owners[square];
    if (code == kBank || isMortgaged(code)) return 0;
    constexpr int kHighestRoll = 12;
    return rentFor(h, square, kHighestRoll);
}

/// The highest rent a square of `seat`'s rivals charges now. Only a seat in play holds squares that
/// are not mortgaged, so the seats out of the game add nothing.
int worstRivalRent(const Holdings& h, int seat) {
    int worst = 0;
    for (const i16 square : ownableSquares()) {
        const int owner = ownerOf(h.owners[square]);
        if (owner != kBank && owner != seat) worst = std::max(worst, rentOf(h, square));
    }
    return worst;
}

/// True when `seat` would hold every square of `square`'s group once it holds `square` too.
bool completesGroup(const Holdings& h, int square, int seat) {
    const ColourGroup* group = colourGroupOf(square);
    if (group == nullptr) return false;
    for (const i16 other : squaresOf(*group))
        if (other != square && ownerOf(h.owners[other]) != seat) return false;
    return true;
}

/// True when one rival holds every other square of `square`'s group.
bool blocksGroup(const Holdings& h, int square, int seat) {
    const ColourGroup* group = colourGroupOf(square);
    if (group == nullptr) return false;
    int rival = 0;
    for (const i16 other : squaresOf(*group)) {
        if (other == square) continue;
        const int owner = ownerOf(h.owners[other]);
        if (owner == kBank || owner == seat || (rival != 0 && owner != rival)) return false;
        rival = owner;
    }
    return rival != 0;
}

constexpr int kMoneySteps = 4;          // tries at the money of an offer
constexpr long long kSmallestStep = 25; // dollars added to an offer the rival would refuse

} // namespace

bool inPlay(const GameState& s, int seat) {
    return isPlayer(seat) && seat <= s.playerCount && s.seatOut[seat] != kTrue;
}

Holdings afterTrade(const GameState& s, const OfferedMoney& offered) {
    Holdings h = s;
    const int trader = s.turn;
    const int partner = s.tradePartner;
    const double fromTrader = roundHalfEven(offered.fromTrader);
    const double fromPartner = roundHalfEven(offered.fromPartner);
    h.money[trader] = clampedAdd(h.money[trader], static_cast<long long>(fromPartner - fromTrader));
    h.money[partner] = clampedAdd(h.money[partner], static_cast<long long>(fromTrader - fromPartner));
    for (int side = 0; side < 2; ++side) {
        for (const OfferedSquare& label : s.trade.squaresOffered[static_cast<std::size_t>(side)]) {
            if (label.text.empty()) continue;
            const double square = roundHalfEven(label.typed);
            if (isSquare(static_cast<long long>(square)))
                h.owners[static_cast<int>(square)] = static_cast<i16>(side == 0 ? partner : trader);
        }
    }
    return h;
}

std::string_view levelName(ComputerLevel level) {
    switch (level) {
    case ComputerLevel::Easy:
        return "easy";
    case ComputerLevel::Normal:
        return "normal";
    case ComputerLevel::Hard:
        return "hard";
    }
    return "normal";
}

std::string_view levelTitle(ComputerLevel level) {
    switch (level) {
    case ComputerLevel::Easy:
        return "Easy";
    case ComputerLevel::Normal:
        return "Normal";
    case ComputerLevel::Hard:
        return "Hard";
    }
    return "Normal";
}

std::optional<ComputerLevel> levelNamed(std::string_view name) {
    for (const ComputerLevel level : kComputerLevels)
        if (name == levelName(level)) return level;
    return std::nullopt;
}

ComputerWeights ComputerWeights::easy() {
    ComputerWeights w;
    w.reserveBase = 30;              // buys readily, keeps little back
    w.reserveRentShare = 0.1;        // and hardly minds the rents ahead
    w.keyPurchaseReserveShare = 1.0; // sees no square as more important than another
    w.wholeGroupShare = 0.9;         // values its own groups a little low
    w.nearGroupShare = 0.05;
    w.rivalGainWeight = 0.35; // sees what a square does for its rival, if not all of it
    w.tradeMargin = -15;      // a fair offer is good enough
    w.offersPerSquare = 6;    // gives up on a square soon
    w.raisePerRefusal = 0.1;
    w.turnsBetweenOffers = 2; // proposes seldom
    w.firstHouses = 1;        // builds thinly
    w.mostHouses = 3;
    w.buildMargin = 500; // and only with plenty in hand
    w.redeemMargin = 400;
    w.leaveJailWhileUnowned = 0; // always uses the card: it wants to be moving
    return w;
}

ComputerPlayer::ComputerPlayer(ComputerWeights weights, std::uint64_t seed, LookaheadBudget budget)
    : normal_(weights), easy_(ComputerWeights::easy()), weights_(&normal_), seed_(seed), budget_(budget) {
    levels_.fill(ComputerLevel::Normal);
}

void ComputerPlayer::setLevel(int seat, ComputerLevel level) {
    if (!isPlayer(seat)) return;
    if (levels_[seat] != level && planSeat_ == seat) plan_.clear();
    levels_[seat] = level;
    memory_[seat].choresDecidedAt = -1;
}

ComputerLevel ComputerPlayer::level(int seat) const {
    return isPlayer(seat) ? levels_[seat] : ComputerLevel::Normal;
}

void ComputerPlayer::setPerson(int seat, bool person) {
    if (isPlayer(seat)) people_[seat] = person;
}

const ComputerWeights& ComputerPlayer::weightsOf(ComputerLevel level) const {
    return level == ComputerLevel::Easy ? easy_ : normal_;
}

double ComputerPlayer::cashValue(int money) const {
    return money < weights_->plentifulCash ? 1.0 : weights_->plentifulCashShare;
}

int ComputerPlayer::reserve(const GameState& state, int seat) const {
    const ComputerWeights& w = weightsOf(level(seat));
    return w.reserveBase +
           static_cast<int>(w.reserveRentShare * rulesReserveFactor(state) * worstRivalRent(state, seat));
}

double ComputerPlayer::worth(const Holdings& h, int seat) const {
    const int cash = h.money[seat];
    double total =
        cash <= weights_->plentifulCash
            ? cash
            : weights_->plentifulCash + (cash - weights_->plentifulCash) * weights_->plentifulCashShare;
    for (const i16 square : ownableSquares()) {
        if (ownerOf(h.owners[square]) != seat) continue;
        total += isMortgaged(h.owners[square]) ? priceOf(square) / 2.0 : priceOf(square);
        if (const ColourGroup* group = colourGroupOf(square))
            total += h.houses[square] * group->housePrice / 2.0; // what selling them would bring
    }
    for (const ColourGroup* group : allGroups()) {
        const int held = heldInGroup(h, *group, seat);
        if (held == group->size) {
            total += weights_->wholeGroupShare * groupPrice(*group);
        } else if (group->size == 3 && held == 2) {
            // A third square mortgaged by another seat may never be had: no hope counted for it.
            const bool toBeHad =
                std::none_of(squaresOf(*group).begin(), squaresOf(*group).end(), [&](i16 square) {
                    return ownerOf(h.owners[square]) != seat && isMortgaged(h.owners[square]);
                });
            if (toBeHad) total += weights_->nearGroupShare * groupPrice(*group);
        }
    }
    const auto railroads = std::count_if(kRailroads.begin(), kRailroads.end(),
                                         [&](i16 r) { return ownerOf(h.owners[r]) == seat; });
    if (railroads > 1) total += static_cast<double>(railroads - 1) * weights_->railroadBonus;
    if (ownerOf(h.owners[kUtilities[0]]) == seat && ownerOf(h.owners[kUtilities[1]]) == seat)
        total += weights_->utilityBonus;
    return total;
}

int ComputerPlayer::squareToMortgage(const GameState& state, int seat) const {
    const std::vector<int> order = mortgageOrder(state, seat);
    return order.empty() ? -1 : order.front();
}

std::vector<int> ComputerPlayer::mortgageOrder(const GameState& state, int seat) const {
    // The least useful square earns least now and does least for a group: its rent, plus half the
    // price of each other square of its group the seat holds.
    std::vector<std::pair<double, int>> uses;
    for (const i16 square : ownableSquares()) {
        if (state.owners[square] != seat || state.houses[square] != 0) continue;
        if (!rulesAllowMortgage(state, square)) continue;
        double use = rentOf(state, square);
        if (const ColourGroup* group = colourGroupOf(square))
            use += (heldInGroup(state, *group, seat) - 1) * priceOf(square) / 2.0;
        uses.emplace_back(use, square);
    }
    std::stable_sort(uses.begin(), uses.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<int> order;
    for (const auto& [use, square] : uses)
        order.push_back(square);
    return order;
}

bool ComputerPlayer::canRaiseEnough(const GameState& state, int seat) const {
    return raisableMoney(state, seat) > 0;
}

long long ComputerPlayer::raisableMoney(const GameState& state, int seat) const {
    // Houses cannot be sold while the money is below their price, so in debt only mortgages help.
    long long money = state.money[seat];
    for (const i16 square : ownableSquares())
        if (state.owners[square] == seat && state.houses[square] == 0 && rulesAllowMortgage(state, square))
            money += mortgageValue(state, square);
    return money;
}

int ComputerPlayer::paymentFloor(const GameState& state, int seat) const {
    int worst = worstRivalRent(state, seat);
    for (int square = 0; square < kSquareCount; ++square)
        worst = std::max<int>(worst, taxAmount(square));
    return worst;
}

double ComputerPlayer::tradeGain(const GameState& state, int seat, const OfferedMoney& offered) const {
    const int rival = seat == state.turn ? state.tradePartner : state.turn;
    const Holdings after = afterTrade(state, offered);
    const double mine = worth(after, seat) - worth(state, seat);
    const double theirs = worth(after, rival) - worth(state, rival);
    return mine - weights_->rivalGainWeight * theirs;
}

bool ComputerPlayer::answer(const GameState& state, const Box& question, const OfferedMoney& offered) const {
    const int seat = question.seat;
    if (!isPlayer(seat)) return false;
    useWeightsOf(seat);
    if (level(seat) == ComputerLevel::Hard && question.kind != BoxKind::HouseQuestion)
        return hardAnswer(state, question, offered);
    return normalAnswer(state, question, offered);
}

bool ComputerPlayer::normalAnswer(const GameState& state, const Box& question,
                                  const OfferedMoney& offered) const {
    const int seat = question.seat;
    switch (question.kind) {
    case BoxKind::PurchaseOffer: {
        const int left = state.money[seat] - question.amount;
        const bool key =
            completesGroup(state, question.square, seat) || blocksGroup(state, question.square, seat);
        const double share = key ? weights_->keyPurchaseReserveShare : 1.0;
        return left >= weights_->cashFloor && left >= share * reserve(state, seat);
    }
    case BoxKind::JailCardQuestion: {
        const auto unowned = std::count_if(ownableSquares().begin(), ownableSquares().end(),
                                           [&](i16 square) { return state.owners[square] == kBank; });
        return unowned >= weights_->leaveJailWhileUnowned || potCallsFromJail(state);
    }
    case BoxKind::HouseQuestion:
        return true; // only its own House Options step asks this of a computer seat
    case BoxKind::TradeQuestion: {
        if (!std::isfinite(offered.fromTrader) || !std::isfinite(offered.fromPartner)) return false;
        const Holdings after = afterTrade(state, offered);
        if (after.money[seat] < weights_->cashFloor) return false;
        return tradeGain(state, seat, offered) >= weights_->tradeMargin;
    }
    default:
        return false;
    }
}

std::optional<Action> ComputerPlayer::nextAction(const Game& game) {
    if (game.state.playerCount == 0) return std::nullopt; // the seats are still being chosen
    if (const Box* question = game.openQuestion()) {
        // A question waiting in the game is answered as it would be asked: an offer's money comes from
        // the Finalize offer on its way; an amount question is a bid.
        if (isAmountQuestion(*question)) return Action::answerAmount(bid(game.state, *question));
        OfferedMoney offered{};
        const ActionInProgress* running = game.inProgress();
        if (running != nullptr && running->action.kind == ActionKind::FinalizeOffer)
            offered = {Game::readNumber(running->action.text), Game::readNumber(running->action.otherText)};
        return Action::answer(answer(game.state, *question, offered));
    }
    std::optional<Action> action = choose(game);
    if (action && game.isAvailable(*action)) return action;
    // A plan that no longer fits the position is dropped; the turn goes on with what is there.
    plan_.clear();
    const GameState& s = game.state;
    for (const Action& fallback : {Action::closeHouseOptions(), Action::closeTrade(), Action::roll(),
                                   Action::endTurn(), Action::giveUp()}) {
        if (game.isAvailable(fallback))
            return fallback.kind == ActionKind::EndTurn ? endOfTurn(s.turn, fallback) : fallback;
    }
    return std::nullopt;
}

std::optional<Action> ComputerPlayer::choose(const Game& game) {
    const GameState& s = game.state;
    const int seat = s.turn;
    if (s.playerCount == 0 || !isPlayer(seat)) return std::nullopt;
    if (planSeat_ != seat) plan_.clear();
    useWeightsOf(seat);
    while (!plan_.empty()) {
        Action step = std::move(plan_.front());
        plan_.pop_front();
        if (game.isAvailable(step)) return step;
        plan_.clear();
    }
    // A window left open by someone else is closed before the seat's own work.
    if (s.houseOptions.open) return Action::closeHouseOptions();
    if (s.trade.open) return Action::closeTrade();
    planSeat_ = seat;
    if (s.board.giveUpEnabled && s.debtor == seat) {
        if (level(seat) == ComputerLevel::Hard && canRaiseEnough(s, seat)) {
            const int square = hardSquareToMortgage(game, seat);
            if (square >= 0) {
                planHouseWork(square, Action::toggleMortgage());
                Action first = std::move(plan_.front());
                plan_.pop_front();
                return first;
            }
        }
        return raiseMoney(s, seat);
    }
    if (s.seatOut[seat] == kTrue) return endOfTurn(seat, Action::endTurn());
    // A stalled game is past what a look-ahead of a few rounds can see: the offer that gathers a group
    // is put before Hard weighs its chores.
    if (level(seat) == ComputerLevel::Hard && (s.board.rollEnabled || s.board.endTurnEnabled) &&
        memory_[seat].chores < weights_->choresPerTurn && planStalledOffer(s, seat)) {
        ++memory_[seat].chores;
        Action first = std::move(plan_.front());
        plan_.pop_front();
        return first;
    }
    if (level(seat) == ComputerLevel::Hard && (s.board.rollEnabled || s.board.endTurnEnabled) &&
        hardChooseChores(game, seat)) {
        Action first = std::move(plan_.front());
        plan_.pop_front();
        return first;
    }
    const bool skip = level(seat) == ComputerLevel::Hard && memory_[seat].skipChores;
    if ((s.board.rollEnabled || s.board.endTurnEnabled) && !skip && planChores(s, seat)) {
        ++memory_[seat].chores;
        Action first = std::move(plan_.front());
        plan_.pop_front();
        return first;
    }
    if (s.board.rollEnabled) return Action::roll();
    if (s.board.endTurnEnabled) return endOfTurn(seat, Action::endTurn());
    return std::nullopt;
}

Action ComputerPlayer::endOfTurn(int seat, Action action) {
    memory_[seat].chores = 0;
    memory_[seat].offers = 0;
    ++memory_[seat].turns;
    ++turnsEnded_;
    return action;
}

std::optional<Action> ComputerPlayer::raiseMoney(const GameState& state, int seat) {
    if (!canRaiseEnough(state, seat)) return Action::giveUp();
    const int square = squareToMortgage(state, seat);
    if (square < 0) return Action::giveUp();
    planHouseWork(square, Action::toggleMortgage());
    Action first = std::move(plan_.front());
    plan_.pop_front();
    return first;
}

void ComputerPlayer::planHouseWork(int square, Action work) {
    plan_ = {Action::openHouseOptions(square), std::move(work), Action::closeHouseOptions()};
}

bool ComputerPlayer::planChores(const GameState& state, int seat) {
    if (memory_[seat].chores >= weights_->choresPerTurn) return false;
    const bool trading = level(seat) != ComputerLevel::Hard || memory_[seat].tradeInChores;
    return planRedeeming(state, seat) || planBuilding(state, seat) ||
           (trading && (planStalledOffer(state, seat) || planTrade(state, seat)));
}

bool ComputerPlayer::planBuilding(const GameState& state, int seat) {
    const int money = state.money[seat];
    const int keep = reserve(state, seat) + weights_->buildMargin;
    // Three houses on every whole group first, where rents jump; then on towards hotels.
    int cap = weights_->mostHouses;
    for (const ColourGroup* group : allGroups()) {
        if (!buildable(state, *group, seat)) continue;
        for (const i16 square : squaresOf(*group))
            if (state.houses[square] < weights_->firstHouses) cap = std::min(cap, weights_->firstHouses);
    }
    // A house that cannot be sold in debt is no help there: building stops where the cash and the
    // mortgages left would not cover the worst landing ahead.
    const bool floored = weights_->keepPaymentFloor || level(seat) == ComputerLevel::Hard;
    const long long raisable = floored ? raisableMoney(state, seat) : 0;
    const int floor = floored ? paymentFloor(state, seat) : 0;
    int best = -1;
    int bestHouses = 0;
    int bestGain = 0;
    for (const ColourGroup* group : allGroups()) {
        if (!buildable(state, *group, seat) || money - group->housePrice < keep) continue;
        for (const i16 square : squaresOf(*group)) {
            const int houses = state.houses[square];
            if (houses >= cap || !rulesAllowBuilding(state, square)) continue;
            if (floored) {
                // The first house also takes the square's own mortgage out of reach.
                const bool lostMortgage = houses == 0 && rulesAllowMortgage(state, square);
                const long long left =
                    raisable - group->housePrice - (lostMortgage ? mortgageValue(state, square) : 0);
                if (left < floor) continue;
            }
            const int gain =
                squareInfo(square).houseRents[static_cast<std::size_t>(houses)] - rentOf(state, square);
            if (best < 0 || houses < bestHouses || (houses == bestHouses && gain > bestGain)) {
                best = square;
                bestHouses = houses;
                bestGain = gain;
            }
        }
    }
    if (best < 0) return false;
    planHouseWork(best, Action::buyHouse());
    return true;
}

bool ComputerPlayer::planRedeeming(const GameState& state, int seat) {
    const int money = state.money[seat];
    const int keep = reserve(state, seat);
    for (const i16 square : ownableSquares()) {
        if (state.owners[square] != mortgagedCode(seat)) continue;
        const int cost = mortgageValue(state, square);
        const bool makesGroup = completesGroup(state, square, seat);
        if (money - cost >= keep + (makesGroup ? 0 : weights_->redeemMargin)) {
            planHouseWork(square, Action::toggleMortgage());
            return true;
        }
    }
    return false;
}

bool ComputerPlayer::planTrade(const GameState& state, int seat) {
    SeatMemory& memory = memory_[seat];
    if (memory.offers >= weights_->offersPerTurn) return false;
    if (weights_->turnsBetweenOffers > 1 && memory.turns % weights_->turnsBetweenOffers != 0) return false;
    struct Offer {
        int rival = 0;
        int wanted = -1;
        int given = -1;
        long long money = 0; // from the seat to the rival; negative when the rival pays
        double gain = 0;
    };
    std::optional<Offer> best;
    GameState trial = state; // the trade window as the offer would fill it
    trial.trade = TradeView{};
    const int players = state.playerCount;
    for (int step = 0; step < players; ++step) {
        const int rival = 1 + static_cast<int>((seed_ + static_cast<std::uint64_t>(step)) % players);
        if (rival == seat || !inPlay(state, rival)) continue;
        if (!mayAskPerson(state, rival)) continue;
        trial.tradePartner = static_cast<i16>(rival);
        for (const ColourGroup* group : allGroups()) {
            // A square the rival holds outright in a group the seat has a foot in; a swap is looked
            // for only where the square makes the group whole.
            if (heldInGroup(state, *group, seat) == 0) continue;
            for (const i16 wanted : squaresOf(*group)) {
                if (state.owners[wanted] != rival || memory.offersFor[wanted] >= weights_->offersPerSquare)
                    continue;
                const int lastGiven = completesGroup(state, wanted, seat) ? kSquareCount : 0;
                for (int given = -1; given < lastGiven; ++given) {
                    if (given >= 0 && (state.owners[given] != seat || state.houses[given] != 0 ||
                                       colourGroupOf(given) == group))
                        continue;
                    if (given >= 0 && colourGroupOf(given) != nullptr &&
                        buildable(state, *colourGroupOf(given), seat))
                        continue; // never break up a whole group of its own
                    trial.trade.squaresOffered = {};
                    trial.trade.squaresOffered[1][0] = {std::string(squareTitle(wanted)),
                                                        static_cast<double>(wanted)};
                    if (given >= 0)
                        trial.trade.squaresOffered[0][0] = {std::string(squareTitle(given)),
                                                            static_cast<double>(given)};
                    const Holdings after = afterTrade(trial, {});
                    const double mine = worth(after, seat) - worth(state, seat);
                    const double theirs = worth(after, rival) - worth(state, rival);
                    // Money evens the gains out, each side's dollar counted at what cash is worth to it
                    // now; each refusal adds to it.
                    const double ourDollar = cashValue(state.money[seat]);
                    const double theirDollar = cashValue(state.money[rival]);
                    const double raise =
                        weights_->raisePerRefusal * memory.offersFor[wanted] * priceOf(wanted);
                    auto money = static_cast<long long>(
                        std::llround((mine - theirs) / (ourDollar + theirDollar) + raise));
                    // The estimate is checked as each side will judge it, cash counted as it stands
                    // after the trade; the money rises a little while the rival would still say No.
                    double myGain = 0;
                    double theirGain = 0;
                    for (int attempt = 0; attempt < kMoneySteps; ++attempt) {
                        const OfferedMoney offered{money > 0 ? static_cast<double>(money) : 0.0,
                                                   money < 0 ? static_cast<double>(-money) : 0.0};
                        myGain = tradeGain(trial, seat, offered);
                        theirGain = tradeGain(trial, rival, offered);
                        if (theirGain >= weights_->tradeMargin || myGain < weights_->tradeMargin) break;
                        money += std::max<long long>(kSmallestStep, std::llabs(money) / kMoneySteps);
                    }
                    if (myGain < weights_->tradeMargin || theirGain < weights_->tradeMargin) continue;
                    if (money > 0 && state.money[seat] - money < reserve(state, seat)) continue;
                    if (money < 0 && state.money[rival] + money < weights_->cashFloor) continue;
                    // The bank counts to 32767: an offer that would take a balance beyond is refused.
                    if (state.money[rival] + money > kMax16 || state.money[seat] - money > kMax16) continue;
                    if (people_[rival] && !mayOfferTo(state, rival, wanted, given)) continue;
                    if (!best || myGain > best->gain) best = Offer{rival, wanted, given, money, myGain};
                }
            }
        }
    }
    if (!best) return false;
    ++memory.offers;
    ++memory.offersFor[best->wanted];
    if (people_[best->rival]) noteOfferTo(state, best->rival, best->wanted, best->given);
    planOffer(best->rival, best->wanted, best->given, best->money);
    return true;
}

bool ComputerPlayer::stalled(const GameState& state) const {
    if (state.history.rounds < weightsOf(ComputerLevel::Normal).stalledRounds) return false;
    // A seat that holds a group and has not built on it in all that time is no threat either.
    for (int square = 0; square < kSquareCount; ++square)
        if (state.houses[square] != 0) return false;
    return true;
}

bool ComputerPlayer::planStalledOffer(const GameState& state, int seat) {
    SeatMemory& memory = memory_[seat];
    if (memory.offers >= weights_->offersPerTurn) return false;
    if (weights_->turnsBetweenOffers > 1 && memory.turns % weights_->turnsBetweenOffers != 0) return false;
    if (!stalled(state)) return false;
    const int round = state.history.rounds;
    struct Offer {
        int rival = 0;
        int wanted = -1;
        std::vector<int> given;
        long long money = 0;
        double gain = 0;
    };
    std::optional<Offer> best;
    // What the seat could give: its squares held outright, least useful first, none of a group it
    // holds whole.
    std::vector<int> spare;
    for (const int square : mortgageOrder(state, seat)) {
        const ColourGroup* group = colourGroupOf(square);
        if (group == nullptr || !buildable(state, *group, seat)) spare.push_back(square);
    }
    GameState trial = state;
    for (const ColourGroup* group : allGroups()) {
        // A group the seat has a foot in whose other squares rivals in play hold outright: each can be
        // had by a trade.
        if (heldInGroup(state, *group, seat) == 0) continue;
        const bool gatherable =
            std::all_of(squaresOf(*group).begin(), squaresOf(*group).end(), [&](i16 square) {
                const int owner = state.owners[square];
                return owner == seat || (isPlayer(owner) && inPlay(state, owner));
            });
        if (!gatherable) continue;
        for (const i16 wanted : squaresOf(*group)) {
            const int rival = state.owners[wanted];
            if (rival == seat || !mayAskPerson(state, rival)) continue;
            // Each refusal raises the offer, up to the most it pays or the most the square is worth
            // to the seat; an offer no higher than one refused is put again only once the game has
            // gone on a while.
            const int asked = memory.stalledOffersFor[wanted];
            const int steps = static_cast<int>(std::lround(
                (weights_->stalledMostPaid - weights_->stalledFirstPaid) / weights_->raisePerRefusal));
            const bool mayRepeat = round - memory.stalledAskedAt[wanted] >= weights_->stalledRetryRounds;
            for (int level = std::min(asked, steps); level >= 0 && (level == asked || mayRepeat); --level) {
                const double paid = weights_->stalledFirstPaid + weights_->raisePerRefusal * level;
                const auto target = static_cast<long long>(std::ceil(paid * priceOf(wanted)));
                // Money first, as far as the reserve allows and the bank can count; squares for the rest.
                const long long room = std::max(0, kMax16 - state.money[rival]);
                const long long cash = std::max(0, state.money[seat] - reserve(state, seat));
                long long money = std::min({target, room, cash});
                std::vector<int> given;
                long long squaresPaid = 0;
                for (const int square : spare) {
                    if (money + squaresPaid >= target || given.size() >= kOfferedSquaresPerSide) break;
                    // Never a square of this group, nor one that makes the rival's own group whole.
                    if (colourGroupOf(square) == group || completesGroup(state, square, rival)) continue;
                    given.push_back(square);
                    squaresPaid += priceOf(square);
                }
                if (money + squaresPaid < target) continue;
                money = std::max<long long>(0, target - squaresPaid);
                trial.tradePartner = static_cast<i16>(rival);
                trial.trade = TradeView{};
                trial.trade.squaresOffered[1][0] = {std::string(squareTitle(wanted)),
                                                    static_cast<double>(wanted)};
                for (std::size_t k = 0; k < given.size(); ++k)
                    trial.trade.squaresOffered[0][k] = {std::string(squareTitle(given[k])),
                                                        static_cast<double>(given[k])};
                const OfferedMoney offered{static_cast<double>(money), 0.0};
                // A square that does not yet make the group whole is still a step to it: its share of
                // what the whole group is worth.
                double gain = tradeGain(trial, seat, offered);
                if (!completesGroup(state, wanted, seat))
                    gain += weights_->wholeGroupShare * groupPrice(*group) / group->size;
                if (gain < weights_->tradeMargin) continue;
                if (people_[rival] && !mayOfferTo(state, rival, wanted, given.empty() ? -1 : given.front()))
                    break;
                if (!best || gain > best->gain) best = Offer{rival, wanted, given, money, gain};
                break;
            }
        }
    }
    if (!best) return false;
    ++memory.offers;
    ++memory.stalledOffersFor[best->wanted];
    memory.stalledAskedAt[best->wanted] = round;
    if (people_[best->rival])
        noteOfferTo(state, best->rival, best->wanted, best->given.empty() ? -1 : best->given.front());
    planOffer(best->rival, best->wanted, best->given, best->money);
    return true;
}

bool ComputerPlayer::mayAskPerson(const GameState& state, int rival) const {
    // A person is asked at most once a round: a round has passed once every computer seat in play has
    // ended a turn since.
    if (!people_[rival] || offeredPersonAt_[rival] == 0) return true;
    int computers = 0;
    for (int other = 1; other <= state.playerCount; ++other)
        if (inPlay(state, other) && !people_[other]) ++computers;
    return turnsEnded_ + 1 >= offeredPersonAt_[rival] + computers;
}

void ComputerPlayer::planOffer(int rival, int wanted, int given, long long money) {
    planOffer(rival, wanted, given >= 0 ? std::vector<int>{given} : std::vector<int>{}, money);
}

void ComputerPlayer::planOffer(int rival, int wanted, const std::vector<int>& given, long long money) {
    const std::string ours = money > 0 ? num(money) : "0";
    const std::string theirs = money < 0 ? num(-money) : "0";
    plan_ = {Action::chooseTradePartner(rival)};
    if (wanted >= 0) plan_.push_back(Action::enterSquare(1, num(wanted)));
    for (const int square : given)
        plan_.push_back(Action::enterSquare(0, num(square)));
    if (money > 0) plan_.push_back(Action::enterMoney(0, ours));
    if (money < 0) plan_.push_back(Action::enterMoney(1, theirs));
    plan_.push_back(Action::finalizeOffer(ours, theirs));
    plan_.push_back(Action::closeTrade());
}

namespace {

/// A fingerprint of what an offer is judged on: the money, the owners and the houses.
std::uint64_t positionPrint(const Holdings& h) {
    std::uint64_t print = 1469598103934665603ULL;
    const auto mix = [&](i16 value) {
        print ^= static_cast<std::uint16_t>(value);
        print *= 1099511628211ULL;
    };
    for (int seat = 1; seat <= kPlayerCount; ++seat)
        mix(h.money[seat]);
    for (int square = 0; square < kSquareCount; ++square) {
        mix(h.owners[square]);
        mix(h.houses[square]);
    }
    return print;
}

} // namespace

bool ComputerPlayer::mayOfferTo(const GameState& state, int rival, int wanted, int given) const {
    const std::uint64_t print = positionPrint(state);
    return std::none_of(personOffers_[rival].begin(), personOffers_[rival].end(),
                        [&](const OfferToPerson& o) {
                            return o.wanted == wanted && o.given == given && o.position == print;
                        });
}

void ComputerPlayer::noteOfferTo(const GameState& state, int rival, int wanted, int given) {
    // turnsEnded_ + 1 keeps 0 free for "never asked".
    offeredPersonAt_[rival] = turnsEnded_ + 1;
    std::vector<OfferToPerson>& offers = personOffers_[rival];
    std::erase_if(offers, [&](const OfferToPerson& o) { return o.wanted == wanted && o.given == given; });
    offers.push_back({wanted, given, positionPrint(state)});
}

// --- The house rules ---------------------------------------------------------------------------

double ComputerPlayer::squareValue(const GameState& state, int square, int seat) const {
    Holdings with = state;
    with.owners[square] = static_cast<i16>(seat);
    double value = worth(with, seat) - worth(state, seat);
    // Keeping a rival from a whole group is worth part of what the rival would gain by it.
    if (blocksGroup(state, square, seat)) {
        const ColourGroup& group = *colourGroupOf(square);
        const int rival =
            ownerOf(state.owners[group.squares[0] == square ? group.squares[1] : group.squares[0]]);
        Holdings theirs = state;
        theirs.owners[square] = static_cast<i16>(rival);
        value += weights_->rivalGainWeight * (worth(theirs, rival) - worth(state, rival));
    }
    return value;
}

int ComputerPlayer::bid(const GameState& state, const Box& question) const {
    const int seat = question.seat;
    if (question.kind != BoxKind::AuctionBid || !isPlayer(seat) || !isOwnable(question.square)) return 0;
    useWeightsOf(seat);
    const int square = question.square;
    // The same cash is kept back as for a purchase at the bank's price.
    const bool key = completesGroup(state, square, seat) || blocksGroup(state, square, seat);
    const double share = key ? weights_->keyPurchaseReserveShare : 1.0;
    const double keep = std::max<double>(weights_->cashFloor, share * reserve(state, seat));
    const double limit = std::min(
        {squareValue(state, square, seat), state.money[seat] - keep, static_cast<double>(question.maximum)});
    if (limit < question.minimum) return 0;
    return std::min(static_cast<int>(limit), question.minimum + weights_->bidStep - 1);
}

bool ComputerPlayer::rulesAllowBuilding(const GameState& state, int square) const {
    const int houses = state.houses[square];
    if (state.rules.has(HouseRule::LimitedHouses)) {
        const bool hotelNext = houses == kHousesPerHotel;
        if ((hotelNext ? state.hotelsInBank : state.housesInBank) < 1) return false;
    }
    if (state.rules.has(HouseRule::EvenBuilding)) {
        for (const i16 other : squaresOf(*colourGroupOf(square)))
            if (state.houses[other] < houses) return false;
    }
    return true;
}

bool ComputerPlayer::rulesAllowMortgage(const GameState& state, int square) const {
    if (!state.rules.has(HouseRule::EvenBuilding)) return true;
    const ColourGroup* group = colourGroupOf(square);
    if (group == nullptr) return true;
    return std::none_of(squaresOf(*group).begin(), squaresOf(*group).end(),
                        [&](i16 other) { return state.houses[other] != 0; });
}

double ComputerPlayer::rulesReserveFactor(const GameState& state) const {
    return state.rules.has(HouseRule::CreditorBankruptcy) ? weights_->creditorReserveFactor : 1.0;
}

bool ComputerPlayer::potCallsFromJail(const GameState& state) const {
    return state.rules.has(HouseRule::FreeParkingPot) && state.pot >= weights_->potWorthLeavingJail;
}

} // namespace dealbrix
