// Any sequence of user actions, with dice and answers taken from the input: every invariant holds
// after every action.
#include "invariants.h"
#include "random_player.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

/// Reads the input eight bytes at a time; zeros once it runs out.
class Bytes {
  public:
    Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint64_t next() {
        std::uint64_t value = 0;
        const std::size_t n = size_ - at_ < sizeof value ? size_ - at_ : sizeof value;
        std::memcpy(&value, data_ + at_, n);
        at_ += n;
        return value;
    }
    bool empty() const { return at_ >= size_; }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

class FuzzUi final : public dealbrix::Ui {
  public:
    explicit FuzzUi(Bytes& bytes) : bytes_(bytes) {}
    void tell(const dealbrix::Box&) override {}
    bool ask(const dealbrix::Box&) override { return (bytes_.next() & 1) != 0; }
    int askAmount(const dealbrix::Box& question) override {
        // Any amount at all, out of range too: the rules take what does not fit as a pass.
        const std::uint64_t draw = bytes_.next();
        const int span = question.maximum - question.minimum + 2;
        return (draw & 1) != 0
                   ? 0
                   : question.minimum - 1 + static_cast<int>((draw >> 1) % static_cast<unsigned>(span));
    }
    void endProgram() override {}

  private:
    Bytes& bytes_;
};

class FuzzRandom final : public dealbrix::RandomSource {
  public:
    explicit FuzzRandom(Bytes& bytes) : bytes_(bytes) {}
    float next() override { return static_cast<float>(bytes_.next() >> 40) * (1.0f / 16777216.0f); }

  private:
    Bytes& bytes_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace dealbrix;
    Bytes bytes(data, size);
    FuzzUi ui(bytes);
    FuzzRandom random(bytes);
    Game game(ui, random);
    // The first draw chooses the house rules, one bit each, and the starting money.
    std::uint64_t rulesDraw = bytes.next();
    HouseRules rules = testing::randomHouseRules([&rulesDraw](int n) {
        const auto v = static_cast<int>(rulesDraw % static_cast<std::uint64_t>(n));
        rulesDraw /= static_cast<std::uint64_t>(n);
        return v;
    });
    game.apply(Action::chooseRules(rules));
    constexpr int kMaxActions = 4000;
    for (int n = 0; n < kMaxActions && !bytes.empty(); ++n) {
        const Action action = testing::actionFrom(bytes.next(), bytes.next());
        const bool handsOver = action.kind == ActionKind::EndTurn && game.state.board.endTurnEnabled;
        const GameState before = game.state;
        const ActionResult result = game.apply(action);
        if (result == ActionResult::Ended) break;
        // A refused action changes nothing at all.
        if (result == ActionResult::Refused && !(game.state == before)) {
            std::fprintf(stderr, "refused %s changed the game\n", action.describe().c_str());
            std::abort();
        }
        const auto broken = brokenInvariants(game.state, handsOver);
        if (!broken.empty()) {
            std::fprintf(stderr, "after %s: %s\n", action.describe().c_str(), broken.front().c_str());
            std::abort();
        }
    }
    return 0;
}
