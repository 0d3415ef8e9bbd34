#include "json_text.h"

#include <QString>

#include <charconv>
#include <cmath>
#include <cstring>

namespace dealbrix {

namespace {

constexpr int kMaxDepth = 63; // the state nests five deep; deeper is a caller's mistake, kept harmless

constexpr char kHex[] = "0123456789abcdef";

bool isAscii(std::string_view text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

} // namespace

void JsonText::putLong(const char* text, std::size_t size) {
    flush();
    if (size > kBufferSize) {
        out_.append(text, static_cast<qsizetype>(size));
        return;
    }
    std::memcpy(buffer_ + used_, text, size);
    used_ += size;
}

void JsonText::flush() {
    if (used_ == 0) return;
    out_.append(buffer_, static_cast<qsizetype>(used_));
    used_ = 0;
}

void JsonText::putEscaped(std::string_view text) {
    put('"');
    std::size_t plainFrom = 0;
    const auto plainUpTo = [&](std::size_t upTo) {
        if (upTo > plainFrom) put(text.data() + plainFrom, upTo - plainFrom);
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c != '"' && c != '\\') continue;
        plainUpTo(i);
        plainFrom = i + 1;
        put('\\');
        switch (c) {
        case '"':
            put('"');
            break;
        case '\\':
            put('\\');
            break;
        case '\n':
            put('n');
            break;
        case '\r':
            put('r');
            break;
        case '\t':
            put('t');
            break;
        case '\b':
            put('b');
            break;
        case '\f':
            put('f');
            break;
        default:
            put("u00", 3);
            put(kHex[c >> 4]);
            put(kHex[c & 0xF]);
        }
    }
    plainUpTo(text.size());
    put('"');
}

void JsonText::open(std::string_view name, char bracket) {
    if (!name.empty()) key(name);
    separate();
    put(bracket);
    if (depth_ < kMaxDepth) ++depth_;
    firstAtDepth_ |= std::uint64_t{1} << depth_;
}

void JsonText::close(char bracket) {
    if (starts_ != nullptr && depth_ == 1) starts_->push_back(position());
    put(bracket);
    if (depth_ > 0) --depth_;
    endOfValue();
}

void JsonText::value(double number) {
    separate();
    if (!std::isfinite(number)) {
        put("null", 4);
        endOfValue();
        return;
    }
    char digits[32];
    const auto written = std::to_chars(std::begin(digits), std::end(digits), number);
    put(digits, static_cast<std::size_t>(written.ptr - digits));
    endOfValue();
}

void JsonText::raw(std::string_view json) {
    separate();
    put(json.data(), json.size());
    endOfValue();
}

void JsonText::value(std::string_view text) {
    separate();
    if (isAscii(text)) {
        putEscaped(text);
    } else {
        // Through QString and back: any byte sequence that is not UTF-8 becomes U+FFFD, as a reader
        // would take it, so the text is always one a JSON reader accepts.
        const QByteArray valid = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).toUtf8();
        putEscaped(std::string_view(valid.constData(), static_cast<std::size_t>(valid.size())));
    }
    endOfValue();
}

} // namespace dealbrix
