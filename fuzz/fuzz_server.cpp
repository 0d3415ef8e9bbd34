// Any bytes as one message to the game server, from a client seated in a room and from one that has
// not said hello: the server answers or closes, never crashes, sends only its own well-formed JSON,
// never the order of the decks, and the room plays on afterwards.
#include "invariants.h"
#include "server_core.h"

#include <QJsonDocument>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace dealbrix;
using namespace dealbrix::net;

namespace {

constexpr int kStepsAfter = 30; // computer moves played after the message

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "fuzz_server: %s\n", what);
    std::abort();
}

/// Checks every message as it goes out and keeps the computer's steps for later.
class CheckingTransport final : public Transport {
  public:
    void send(int, const QByteArray& text) override {
        const QJsonDocument document = QJsonDocument::fromJson(text);
        if (!document.isObject() || !document.object().value(QLatin1String("type")).isString())
            fail("the server sent something that is not a message");
        if (text.contains("\"decks\"") || text.contains("\"draws\"")) fail("the server sent a secret");
    }
    void close(int, int, const QString&) override {}
    void scheduleStep(const QString& room, int) override { steps.push_back(room); }
    void scheduleCatchUp(const QString& room, int) override { catchUps.push_back(room); }
    std::vector<QString> steps;
    std::vector<QString> catchUps;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CheckingTransport transport;
    ServerLimits limits;
    limits.computerDelayMs = 0;
    ServerCore core(transport, limits, QStringLiteral("F"), QStringLiteral("fuzz"));
    const QByteArray hello = encode(message(type::kHello, {{"protocol", kProtocolVersion}}));
    const int seated = *core.openConnection(QStringLiteral("127.0.0.1"), 0);
    core.receive(seated, hello, 1);
    // The room's code is read from the server's log line about it.
    QString room;
    core.setLog([&](const QString& line) {
        if (room.isEmpty() && line.startsWith(QLatin1String("room "))) room = line.section(u' ', 1, 1);
    });
    core.receive(seated, encode(message(type::kCreateRoom, {{"players", 2}, {"computer", QJsonArray{2}}})),
                 3);
    if (room.isEmpty()) fail("no room was created");
    core.receive(seated, encode(message(type::kJoin, {{"room", room}, {"seats", QJsonArray{1}}})), 4);
    const int stranger = *core.openConnection(QStringLiteral("127.0.0.2"), 0);

    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    core.receive(seated, bytes, 5);
    core.receive(stranger, bytes, 5);
    for (int i = 0; i < kStepsAfter && !transport.steps.empty(); ++i) {
        const QString step = transport.steps.front();
        transport.steps.erase(transport.steps.begin());
        core.stepRoom(step, 6);
    }
    for (const QString& caught : transport.catchUps)
        core.catchUp(caught, 7);
    const Room* played = core.room(room);
    if (played == nullptr) fail("the room is gone");
    if (played->waitingFor() == 0 && !brokenInvariants(played->game().state).empty())
        fail("the room's game broke a rule");
    if (core.connectionCount() > 2) fail("connections appeared from nowhere");
    return 0;
}
