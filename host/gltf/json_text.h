// JsonText: writes JSON text straight from values, compact or indented (two spaces per level),
// without building a document first. Numbers are written in their shortest form that reads back
// as the same double (std::to_chars); texts must be valid UTF-8 and get only the escapes JSON
// requires.
#pragma once

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kzv::host::gltf {

class JsonText {
  public:
    // pretty: two spaces per level and one value per line; otherwise no white space.
    explicit JsonText(bool pretty) : pretty_(pretty) {}

    void begin_object() { open('{'); }
    void end_object() { close('}'); }
    void begin_array() { open('['); }
    void end_array() { close(']'); }

    // The key of the next member of the current object: plain ASCII, nothing to escape.
    void key(std::string_view name) {
        next_element();
        out_ += '"';
        out_ += name;
        out_ += '"';
        out_ += pretty_ ? ": " : ":";
        after_key_ = true;
    }

    void number(std::int64_t value) {
        next_element();
        std::array<char, 24> digits;
        const char* end = std::to_chars(digits.data(), digits.data() + digits.size(), value).ptr;
        out_.append(digits.data(), static_cast<std::size_t>(end - digits.data()));
    }

    void number(double value) {
        next_element();
        if (!std::isfinite(value)) {
            out_ += "null";
            return;
        }
        std::array<char, 32> digits;
        const char* end = std::to_chars(digits.data(), digits.data() + digits.size(), value).ptr;
        out_.append(digits.data(), static_cast<std::size_t>(end - digits.data()));
    }

    void boolean(bool value) {
        next_element();
        out_ += value ? "true" : "false";
    }

    void string(std::string_view text) {
        next_element();
        quoted(text);
    }

    // Shorthands for a member.
    template <class Value>
    void member(std::string_view name, const Value& value) {
        key(name);
        put(value);
    }
    template <class Values>
    void member_array(std::string_view name, const Values& values) {
        key(name);
        begin_array();
        for (const auto& v : values) put(v);
        end_array();
    }

    // Room for about `bytes` of text, to spare the copies of a growing string.
    void reserve(std::size_t bytes) { out_.reserve(bytes); }

    std::string take() { return std::move(out_); }

    // Hands the text so far to `sink` and forgets it, once there are at least `bytes` of it: a
    // document of a million nodes need not be held whole. `sink` takes the text as it comes.
    template <class Sink>
    void hand_over_from(std::size_t bytes, Sink&& sink) {
        if (out_.size() < bytes) return;
        sink(std::string_view(out_));
        handed_over_ += out_.size();
        out_.clear();
    }

    // The bytes of text made so far, those handed over included.
    std::size_t size() const noexcept { return handed_over_ + out_.size(); }

  private:
    void put(std::string_view text) { string(text); }
    void put(const std::string& text) { string(text); }
    void put(const char* text) { string(text); }
    void put(bool value) { boolean(value); }
    void put(double value) { number(value); }
    void put(int value) { number(std::int64_t{value}); }
    void put(std::size_t value) { number(static_cast<std::int64_t>(value)); }

    struct Level {
        char closing;
        bool empty = true;
    };

    void open(char bracket) {
        next_element();
        out_ += bracket;
        levels_.push_back({bracket == '{' ? '}' : ']'});
    }

    void close(char bracket) {
        const bool empty = levels_.back().empty;
        levels_.pop_back();
        if (!empty && pretty_) {
            out_ += '\n';
            indent();
        }
        out_ += bracket;
    }

    // Before a value or key: the separator from the previous element and, indented, a new line.
    void next_element() {
        if (after_key_) {
            after_key_ = false;
            return;
        }
        if (levels_.empty()) return;
        Level& level = levels_.back();
        if (!level.empty) out_ += ',';
        level.empty = false;
        if (pretty_) {
            out_ += '\n';
            indent();
        }
    }

    void indent() { out_.append(2 * levels_.size(), ' '); }

    // Runs of characters that need no escape go in as they are.
    void quoted(std::string_view text) {
        out_ += '"';
        std::size_t plain = 0;
        for (std::size_t i = 0; i < text.size(); ++i) {
            const auto byte = static_cast<unsigned char>(text[i]);
            if (byte > 0x1F && byte != '"' && byte != '\\') continue;
            out_.append(text.substr(plain, i - plain));
            escape(text[i]);
            plain = i + 1;
        }
        out_.append(text.substr(plain));
        out_ += '"';
    }

    // Quotes, backslashes and control characters; everything else stays as it is.
    void escape(char c) {
        switch (c) {
            case '"':
                out_ += "\\\"";
                return;
            case '\\':
                out_ += "\\\\";
                return;
            case '\b':
                out_ += "\\b";
                return;
            case '\f':
                out_ += "\\f";
                return;
            case '\n':
                out_ += "\\n";
                return;
            case '\r':
                out_ += "\\r";
                return;
            case '\t':
                out_ += "\\t";
                return;
            default:
                break;
        }
        const auto byte = static_cast<unsigned char>(c);
        if (byte > 0x1F) {
            out_ += c;
            return;
        }
        constexpr char kHex[] = "0123456789abcdef";
        out_ += "\\u00";
        out_ += kHex[byte >> 4];
        out_ += kHex[byte & 0xF];
    }

    bool pretty_;
    bool after_key_ = false;
    std::vector<Level> levels_;
    std::string out_;
    std::size_t handed_over_ = 0;
};

}  // namespace kzv::host::gltf
