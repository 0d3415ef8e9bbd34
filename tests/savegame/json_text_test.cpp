#include "json_text.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <limits>
#include <string>

using namespace dealbrix;

namespace {

/// Parses `text` as one JSON document, failing the test when it is not JSON.
QJsonDocument parsed(const QByteArray& text) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError)
        << error.errorString().toStdString() << " in " << text.toStdString();
    return document;
}

/// The string `text` becomes once written and read back.
QString writtenAndRead(std::string_view text) {
    QByteArray out;
    JsonText json(out);
    json.beginArray();
    json.value(text);
    json.endArray();
    return parsed(out).array().at(0).toString();
}

} // namespace

TEST(JsonText, NestedMembersAndArraysAreSeparatedByCommas) {
    QByteArray out;
    JsonText json(out);
    json.beginObject();
    json.member("a", 1);
    json.beginArray("empty");
    json.endArray();
    json.beginArray("rows");
    for (int row = 0; row < 3; ++row) {
        json.beginArray();
        for (int column = 0; column < row; ++column)
            json.value(column);
        json.endArray();
    }
    json.endArray();
    json.beginObject("inner");
    json.endObject();
    json.member("last", true);
    json.endObject();
    EXPECT_EQ(out, QByteArray(R"({"a":1,"empty":[],"rows":[[],[0],[0,1]],"inner":{},"last":true})"));
}

TEST(JsonText, AppendsAfterWhatTheBytesHold) {
    QByteArray out("prefix:");
    JsonText json(out);
    json.beginArray();
    json.value(false);
    json.endArray();
    EXPECT_EQ(out, QByteArray("prefix:[false]"));
}

TEST(JsonText, ADocumentFarLongerThanTheWritersBufferComesOutWhole) {
    QByteArray out;
    const std::string longText(5000, 'x');
    std::string longRaw = "[";
    for (int i = 0; i < 2000; ++i)
        longRaw += "1,";
    longRaw += "1]";
    {
        JsonText json(out);
        json.beginArray();
        for (int i = 0; i < 3000; ++i)
            json.value(i);
        json.value(longText);
        json.raw(longRaw);
        json.value("\"tail\"");
        json.endArray();
        EXPECT_TRUE(out.endsWith("\\\"\"]")) << "the bytes are there once the outermost value ends";
        // Another value after the outermost one comes out when the writer goes.
        json.value(7);
    }
    ASSERT_TRUE(out.endsWith("],7"));
    out.chop(2);
    const QJsonArray read = parsed(out).array();
    ASSERT_EQ(read.size(), 3003);
    EXPECT_EQ(read[2999].toInt(), 2999);
    EXPECT_EQ(read[3000].toString().size(), 5000);
    EXPECT_EQ(read[3001].toArray().size(), 2001);
    EXPECT_EQ(read[3002].toString(), QStringLiteral("\"tail\""));
}

TEST(JsonText, HostileTextStaysOneStringValue) {
    // Names are typed by people: quotes, backslashes and control characters must not end the string
    // or break the document.
    const std::string hostile = "a\"b\\c\n\t\r\b\f\x01\x1f\"],\"x\":{";
    EXPECT_EQ(writtenAndRead(hostile), QString::fromStdString(hostile));
    EXPECT_EQ(writtenAndRead("Zoë 🎲"), QStringLiteral("Zoë 🎲"));
    EXPECT_EQ(writtenAndRead(""), QString());
}

TEST(JsonText, BytesThatAreNotUtf8AreReadAsQStringReadsThem) {
    const std::string broken = std::string("ok") + '\xff' + '\xc3' + "\"end";
    EXPECT_EQ(writtenAndRead(broken),
              QString::fromUtf8(broken.data(), static_cast<qsizetype>(broken.size())));
}

TEST(JsonText, NumbersKeepTheirValue) {
    QByteArray out;
    JsonText json(out);
    json.beginArray();
    json.value(std::int64_t{1} << 52);
    json.value(-32768);
    json.value(2.5);
    json.value(0.1);
    json.value(std::numeric_limits<double>::infinity());
    json.value(std::numeric_limits<double>::quiet_NaN());
    json.endArray();
    const QJsonArray read = parsed(out).array();
    ASSERT_EQ(read.size(), 6);
    EXPECT_EQ(read[0].toInteger(), std::int64_t{1} << 52);
    EXPECT_EQ(read[1].toInt(), -32768);
    EXPECT_EQ(read[2].toDouble(), 2.5);
    EXPECT_EQ(read[3].toDouble(), 0.1);
    // A number JSON cannot hold is written as null rather than as text no reader accepts.
    EXPECT_TRUE(read[4].isNull());
    EXPECT_TRUE(read[5].isNull());
}
