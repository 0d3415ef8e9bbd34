#include "rules_options.h"

namespace dealbrix {

namespace {
const QString kRules = QStringLiteral("rules");
const QString kStartingMoneyOption = QStringLiteral("starting-money");
} // namespace

void addRulesOptions(QCommandLineParser& parser) {
    parser.addOption({kRules,
                      QStringLiteral("House rules to play by, comma-separated: %1.")
                          .arg(QString::fromStdString(houseRuleNames())),
                      QStringLiteral("LIST")});
    parser.addOption({kStartingMoneyOption,
                      QStringLiteral("Money each player starts with: %1 to %2 in steps of %3 (default %4).")
                          .arg(kMinStartingMoney)
                          .arg(kMaxStartingMoney)
                          .arg(kStartingMoneyStep)
                          .arg(kStartingMoney),
                      QStringLiteral("N")});
}

std::optional<HouseRules> readRulesOptions(const QCommandLineParser& parser, QString& error) {
    HouseRules rules;
    if (parser.isSet(kRules)) {
        const std::string list = parser.values(kRules).join(QLatin1Char(',')).toStdString();
        const std::string wrong = readHouseRuleNames(list, rules);
        if (!wrong.empty()) {
            error = QStringLiteral("--rules: '%1' is not a house rule; the rules are: %2")
                        .arg(QString::fromStdString(wrong), QString::fromStdString(houseRuleNames()));
            return std::nullopt;
        }
    }
    if (parser.isSet(kStartingMoneyOption)) {
        bool ok = false;
        const int money = parser.value(kStartingMoneyOption).trimmed().toInt(&ok);
        if (!ok || !validStartingMoney(money)) {
            error = QStringLiteral("--starting-money: '%1' is not an amount from %2 to %3 in steps of %4")
                        .arg(parser.value(kStartingMoneyOption))
                        .arg(kMinStartingMoney)
                        .arg(kMaxStartingMoney)
                        .arg(kStartingMoneyStep);
            return std::nullopt;
        }
        rules.startingMoney = static_cast<i16>(money);
    }
    return rules;
}

} // namespace dealbrix
