#include "seats.h"

#include <algorithm>
#include <cctype>

namespace dealbrix {

namespace {

/// Decodes one UTF-8 character at `text[at]`, moving `at` past it; nothing for a malformed one.
std::optional<char32_t> nextCharacter(std::string_view text, std::size_t& at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    int length = 0;
    char32_t code = 0;
    if (lead < 0x80) {
        length = 1;
        code = lead;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2;
        code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        code = lead & 0x07;
    } else {
        return std::nullopt;
    }
    if (at + static_cast<std::size_t>(length) > text.size()) return std::nullopt;
    for (int k = 1; k < length; ++k) {
        const unsigned char next = byte(at + static_cast<std::size_t>(k));
        if ((next & 0xC0) != 0x80) return std::nullopt;
        code = (code << 6) | (next & 0x3F);
    }
    // Overlong forms, surrogates and values past Unicode's end are not characters.
    static constexpr char32_t kSmallest[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF)
        return std::nullopt;
    at += static_cast<std::size_t>(length);
    return code;
}

/// Control characters (C0, DEL, C1) and the line and paragraph separators break a line of text.
bool printable(char32_t c) {
    return c >= 0x20 && c != 0x7F && !(c >= 0x80 && c < 0xA0) && c != 0x2028 && c != 0x2029;
}

std::string trimmed(const std::string& text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    std::size_t first = 0;
    std::size_t end = text.size();
    while (first < end && blank(text[first]))
        ++first;
    while (end > first && blank(text[end - 1]))
        --end;
    return text.substr(first, end - first);
}

std::string folded(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

} // namespace

std::string seatName(const std::string& name, int seat) {
    return name.empty() ? "Player " + num(seat) : name;
}

NameCheck checkNames(const PlayerArray<std::string>& typed) {
    NameCheck check;
    auto refuse = [&check](int seat, std::string why) {
        check.seat = seat;
        check.error = "The name of " + seatName({}, seat) + " " + std::move(why);
        return check;
    };
    for (int seat = 1; seat <= kPlayerCount; ++seat) {
        const std::string name = trimmed(typed[seat]);
        int characters = 0;
        for (std::size_t at = 0; at < name.size(); ++characters) {
            const std::optional<char32_t> c = nextCharacter(name, at);
            if (!c || !printable(*c)) return refuse(seat, "holds a character that cannot be shown.");
        }
        if (characters > kMaxNameLength)
            return refuse(seat, "is longer than " + num(kMaxNameLength) + " characters.");
        // "Player 2" on seat 1 would make every box ambiguous.
        for (int other = 1; other <= kPlayerCount; ++other)
            if (other != seat && folded(name) == folded(seatName({}, other)))
                return refuse(seat, "is what another seat is called.");
        for (int earlier = 1; earlier < seat; ++earlier)
            if (!name.empty() && folded(name) == folded(check.names[earlier]))
                return refuse(seat, "is already taken by " + seatName({}, earlier) + ".");
        // A seat named as it is called anyway simply has no name of its own.
        check.names[seat] = folded(name) == folded(seatName({}, seat)) ? std::string() : name;
    }
    return check;
}

} // namespace dealbrix
