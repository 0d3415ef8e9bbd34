#pragma once
// Compact JSON written straight into bytes, for texts made many times a second (the game state a
// server sends after every move) where building a QJsonObject first would cost more than the rest.

#include <QByteArray>

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string_view>
#include <vector>

namespace dealbrix {

/// Appends compact JSON to a byte array. Commas are placed by the writer: the caller opens and
/// closes objects and arrays and gives each object member's key before its value. The caller keeps
/// the nesting balanced; keys are the program's own and written as they are. The text is gathered in
/// a buffer of the writer's own and is in the byte array once the outermost value is complete (or the
/// writer is gone): a byte array grows by far more work a piece than a buffer does.
class JsonText {
  public:
    /// Writes into `out`, after what it already holds.
    explicit JsonText(QByteArray& out) : out_(out) {}
    ~JsonText() { flush(); }
    JsonText(const JsonText&) = delete;
    JsonText& operator=(const JsonText&) = delete;

    /// Opens an object, as a value or (with `key`) as an object member.
    void beginObject(std::string_view key = {}) { open(key, '{'); }
    void endObject() { close('}'); }
    /// Opens an array, as a value or (with `key`) as an object member.
    void beginArray(std::string_view key = {}) { open(key, '['); }
    void endArray() { close(']'); }

    /// Writes the key of the next object member.
    void key(std::string_view name) {
        separate();
        if (starts_ != nullptr && depth_ == 1) starts_->push_back(position());
        put('"');
        put(name.data(), name.size());
        put("\":", 2);
        afterKey_ = true;
    }
    /// Writes a whole number.
    void value(std::int64_t number) {
        separate();
        char digits[24];
        const auto written = std::to_chars(std::begin(digits), std::end(digits), number);
        put(digits, static_cast<std::size_t>(written.ptr - digits));
        endOfValue();
    }
    void value(int number) { value(static_cast<std::int64_t>(number)); }
    void value(bool flag) {
        separate();
        if (flag)
            put("true", 4);
        else
            put("false", 5);
        endOfValue();
    }
    /// Writes a number in its shortest exact form; one that is not finite is written as null.
    void value(double number);
    /// Writes a string, escaped; bytes that are not UTF-8 become U+FFFD, as QString would read them.
    void value(std::string_view text);
    void value(const char* text) { value(std::string_view(text)); }
    /// Writes a value already in JSON text, as it is; the caller vouches that it is one value.
    void raw(std::string_view json);
    /// Makes the writer note in `starts` where in the byte array each member of the outermost object
    /// begins (its key's quote), and last where that object's closing brace is; nothing to stop.
    void noteMembers(std::vector<qsizetype>* starts) { starts_ = starts; }

    /// An object member: its key and value.
    template <typename T> void member(std::string_view name, const T& v) {
        key(name);
        value(v);
    }

  private:
    static constexpr std::size_t kBufferSize = 2048;

    void put(char c) {
        if (used_ == kBufferSize) flush();
        buffer_[used_++] = c;
    }
    // The hot pieces are here, inline: a state is some six hundred small values.
    void put(const char* text, std::size_t size) {
        if (size > kBufferSize - used_) {
            putLong(text, size);
            return;
        }
        std::memcpy(buffer_ + used_, text, size);
        used_ += size;
    }
    /// Puts text that does not fit in what is left of the buffer.
    void putLong(const char* text, std::size_t size);
    void putEscaped(std::string_view text);
    void flush();
    /// Puts what is gathered into the byte array when the outermost value has just ended.
    void endOfValue() {
        if (depth_ == 0) flush();
    }
    void separate() {
        if (afterKey_) {
            afterKey_ = false;
            return;
        }
        const std::uint64_t bit = std::uint64_t{1} << depth_;
        if ((firstAtDepth_ & bit) != 0)
            firstAtDepth_ &= ~bit;
        else
            put(',');
    }
    /// Opens a container with `bracket`, after its key when it has one.
    void open(std::string_view key, char bracket);
    void close(char bracket);

    qsizetype position() const { return out_.size() + static_cast<qsizetype>(used_); }

    QByteArray& out_;
    std::vector<qsizetype>* starts_ = nullptr;
    char buffer_[kBufferSize];
    std::size_t used_ = 0;
    std::uint64_t firstAtDepth_ = 1; // bit d: nothing written yet in the container at depth d
    int depth_ = 0;
    bool afterKey_ = false;
};

} // namespace dealbrix
