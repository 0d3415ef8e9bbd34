#include "json_text.h"

#include <QString>

#include <charconv>
#include <cmath>

namespace dealbrix {

namespace {

constexpr int kMaxDepth = 63; // the state nests five deep; deeper is a caller's mistake, kept harmless

constexpr char kHex[] = "0123456789abcdef";

bool isAscii(std::string_view text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

void appendEscaped(QByteArray& out, std::string_view text) {
    out.reserve(out.size() + static_cast<qsizetype>(text.size()) + 2);
    out.append('"');
    qsizetype plainFrom = 0;
    const auto flush = [&](qsizetype upTo) {
        if (upTo > plainFrom) out.append(text.data() + plainFrom, upTo - plainFrom);
    };
    for (qsizetype i = 0; i < static_cast<qsizetype>(text.size()); ++i) {
        const auto c = static_cast<unsigned char>(text[static_cast<std::size_t>(i)]);
        if (c >= 0x20 && c != '"' && c != '\\') continue;
        flush(i);
        plainFrom = i + 1;
        out.append('\\');
        switch (c) {
        case '"':
            out.append('"');
            break;
        case '\\':
            out.append('\\');
            break;
        case '\n':
            out.append('n');
            break;
        case '\r':
            out.append('r');
            break;
        case '\t':
            out.append('t');
            break;
        case '\b':
            out.append('b');
            break;
        case '\f':
            out.append('f');
            break;
        default:
            out.append("u00", 3);
            out.append(kHex[c >> 4]);
            out.append(kHex[c & 0xF]);
        }
    }
    flush(static_cast<qsizetype>(text.size()));
    out.append('"');
}

} // namespace

void JsonText::separate() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    const std::uint64_t bit = std::uint64_t{1} << depth_;
    if ((firstAtDepth_ & bit) != 0)
        firstAtDepth_ &= ~bit;
    else
        out_.append(',');
}

void JsonText::open(std::string_view name, char bracket) {
    if (!name.empty()) key(name);
    separate();
    out_.append(bracket);
    if (depth_ < kMaxDepth) ++depth_;
    firstAtDepth_ |= std::uint64_t{1} << depth_;
}

void JsonText::close(char bracket) {
    out_.append(bracket);
    if (depth_ > 0) --depth_;
}

void JsonText::key(std::string_view name) {
    separate();
    out_.append('"');
    out_.append(name.data(), static_cast<qsizetype>(name.size()));
    out_.append("\":", 2);
    afterKey_ = true;
}

void JsonText::value(std::int64_t number) {
    separate();
    char digits[24];
    const auto written = std::to_chars(std::begin(digits), std::end(digits), number);
    out_.append(digits, written.ptr - digits);
}

void JsonText::value(double number) {
    separate();
    if (!std::isfinite(number)) {
        out_.append("null", 4);
        return;
    }
    char digits[32];
    const auto written = std::to_chars(std::begin(digits), std::end(digits), number);
    out_.append(digits, written.ptr - digits);
}

void JsonText::raw(std::string_view json) {
    separate();
    out_.append(json.data(), static_cast<qsizetype>(json.size()));
}

void JsonText::value(bool flag) {
    separate();
    if (flag)
        out_.append("true", 4);
    else
        out_.append("false", 5);
}

void JsonText::value(std::string_view text) {
    separate();
    if (isAscii(text)) {
        appendEscaped(out_, text);
        return;
    }
    // Through QString and back: any byte sequence that is not UTF-8 becomes U+FFFD, as a reader would
    // take it, so the text is always one a JSON reader accepts.
    const QByteArray valid = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).toUtf8();
    appendEscaped(out_, std::string_view(valid.constData(), static_cast<std::size_t>(valid.size())));
}

} // namespace dealbrix
