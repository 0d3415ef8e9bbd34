#include "remembered.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QWidget>

namespace dealbrix {

namespace {

constexpr int kMaxDelayMs = 60000;
// How much of a window's top left must be on a screen to count as on it: enough to grab its title.
constexpr int kGrabWidth = 100;
constexpr int kGrabHeight = 24;

QString placeKey(const QWidget* window) {
    return QStringLiteral("windows/%1").arg(window->objectName());
}

} // namespace

Remembered::Remembered(QObject* parent) : QObject(parent) {}

TableChoice Remembered::lastTable() const {
    QSettings settings;
    TableChoice table;
    bool ok = false;
    const int players = settings.value(QStringLiteral("table/players")).toInt(&ok);
    if (ok && players >= 2 && players <= kPlayerCount) table.players = players;
    PlayerArray<std::string> names;
    for (int seat = 1; seat <= kPlayerCount; ++seat) {
        const QString prefix = QStringLiteral("table/seat%1/").arg(seat);
        table.computer[seat] =
            settings.value(prefix + QStringLiteral("computer")).toString() == QLatin1String("true");
        // A level the game does not know keeps the seat at Normal.
        const std::string level = settings.value(prefix + QStringLiteral("level")).toString().toStdString();
        table.levels[seat] = levelNamed(level).value_or(ComputerLevel::Normal);
        names[seat] =
            settings.value(prefix + QStringLiteral("name")).toString().left(4 * kMaxNameLength).toStdString();
    }
    // Names that would not pass the dialog are dropped all together rather than half kept.
    const NameCheck check = checkNames(names);
    if (check.error.empty()) table.names = check.names;
    // The rules come back only whole: an unknown rule name or a starting money the game would refuse
    // gives the game's own rules.
    if (settings.contains(QStringLiteral("table/rules"))) {
        HouseRules rules;
        const std::string chosen = settings.value(QStringLiteral("table/rules")).toString().toStdString();
        const long long money = settings.value(QStringLiteral("table/startingMoney")).toLongLong(&ok);
        if (readHouseRuleNames(chosen, rules).empty() && ok && validStartingMoney(money)) {
            rules.startingMoney = static_cast<i16>(money);
            table.rules = rules;
        }
    }
    return table;
}

void Remembered::setLastTable(const TableChoice& table) {
    QSettings settings;
    settings.setValue(QStringLiteral("table/players"), table.players);
    for (int seat = 1; seat <= kPlayerCount; ++seat) {
        const QString prefix = QStringLiteral("table/seat%1/").arg(seat);
        settings.setValue(prefix + QStringLiteral("computer"),
                          table.computer[seat] ? QStringLiteral("true") : QStringLiteral("false"));
        settings.setValue(prefix + QStringLiteral("name"), QString::fromStdString(table.names[seat]));
        settings.setValue(prefix + QStringLiteral("level"),
                          QString::fromLatin1(levelName(table.levels[seat]).data(),
                                              static_cast<qsizetype>(levelName(table.levels[seat]).size())));
    }
    if (table.rules) {
        settings.setValue(QStringLiteral("table/rules"), QString::fromStdString(houseRuleList(*table.rules)));
        settings.setValue(QStringLiteral("table/startingMoney"),
                          static_cast<int>(table.rules->startingMoney));
    } else {
        settings.remove(QStringLiteral("table/rules"));
        settings.remove(QStringLiteral("table/startingMoney"));
    }
}

std::optional<int> Remembered::computerDelay() const {
    bool ok = false;
    const int delay = QSettings().value(QStringLiteral("computer/delayMs")).toInt(&ok);
    if (!ok || delay < 0 || delay > kMaxDelayMs) return std::nullopt;
    return delay;
}

void Remembered::setComputerDelay(int delayMs) {
    QSettings().setValue(QStringLiteral("computer/delayMs"), delayMs);
}

bool Remembered::onSomeScreen(const QRect& frame) {
    if (!frame.isValid()) return false;
    const QRect grip(frame.topLeft(),
                     QSize(std::min(frame.width(), kGrabWidth), std::min(frame.height(), kGrabHeight)));
    for (const QScreen* screen : QGuiApplication::screens())
        if (screen->availableGeometry().contains(grip)) return true;
    return false;
}

bool Remembered::restorePlace(QWidget* window) {
    const QRect frame = QSettings().value(placeKey(window)).toRect();
    const bool fits = onSomeScreen(frame);
    if (fits) {
        window->move(frame.topLeft());
        // Windows of a fixed size keep theirs; the others get theirs back.
        if (window->minimumSize() != window->maximumSize() &&
            frame.size().width() >= window->minimumWidth() &&
            frame.size().height() >= window->minimumHeight())
            window->resize(frame.size() - (window->frameGeometry().size() - window->geometry().size()));
    }
    watch(window);
    return fits;
}

void Remembered::watch(QWidget* window) {
    window->removeEventFilter(this);
    window->installEventFilter(this);
}

void Remembered::flush() {
    QSettings().sync();
}

bool Remembered::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::Move || type == QEvent::Resize || type == QEvent::Close || type == QEvent::Hide) {
        auto* window = qobject_cast<QWidget*>(watched);
        if (window != nullptr && window->isVisible()) savePlace(window);
    }
    return QObject::eventFilter(watched, event);
}

void Remembered::savePlace(QWidget* window) {
    QSettings().setValue(placeKey(window), window->frameGeometry());
}

} // namespace dealbrix
