#include "support/ini_file.h"

namespace {

constexpr std::string_view kBlanks = " \t\v\f";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

std::string_view Trim(std::string_view text) {
    size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return std::string_view();
    size_t last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    }
    return true;
}

// The line as the parser sees it: blanks (and on the first line a byte-order mark) skipped.
std::string_view Content(std::string_view text, bool firstLine) {
    if (firstLine && text.substr(0, kUtf8Bom.size()) == kUtf8Bom)
        text.remove_prefix(kUtf8Bom.size());
    return Trim(text);
}

// The section name when the line is a header ("[name]", the name ending at the first "]").
std::optional<std::string_view> HeaderName(std::string_view content) {
    if (content.empty() || content.front() != '[') return std::nullopt;
    content.remove_prefix(1);
    size_t close = content.find(']');
    if (close != std::string_view::npos) content = content.substr(0, close);
    return Trim(content);
}

std::string_view KeyName(std::string_view content) {
    return Trim(content.substr(0, content.find('=')));
}

}  // namespace

IniFile::IniFile(std::string_view text) {
    while (!text.empty()) {
        const size_t end = text.find_first_of("\r\n");
        Line line;
        line.text = std::string(text.substr(0, end));
        if (end == std::string_view::npos) {
            text = std::string_view();
        } else {
            // CRs right before the LF belong to the line end (editors write CR CR LF too); a CR
            // without an LF behind it ends the line by itself.
            size_t feed = text.find_first_not_of('\r', end);
            const size_t length =
                feed != std::string_view::npos && text[feed] == '\n' ? feed + 1 - end : 1;
            line.end = std::string(text.substr(end, length));
            text.remove_prefix(end + length);
        }
        lines_.push_back(std::move(line));
    }
}

size_t IniFile::FindSection(std::string_view section) const {
    for (size_t i = 0; i < lines_.size(); ++i) {
        auto name = HeaderName(Content(lines_[i].text, i == 0));
        if (name && SameName(*name, Trim(section))) return i;
    }
    return std::string::npos;
}

size_t IniFile::SectionEnd(size_t header) const {
    size_t i = header + 1;
    while (i < lines_.size() && !HeaderName(Content(lines_[i].text, false))) ++i;
    return i;
}

std::optional<std::string> IniFile::Get(std::string_view section, std::string_view key) const {
    size_t header = FindSection(section);
    if (header == std::string::npos) return std::nullopt;
    const size_t end = SectionEnd(header);
    for (size_t i = header + 1; i < end; ++i) {
        std::string_view content = Content(lines_[i].text, false);
        if (content.empty() || !SameName(KeyName(content), Trim(key))) continue;
        size_t equals = content.find('=');
        if (equals == std::string_view::npos) return std::string();
        std::string_view value = Trim(content.substr(equals + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front()) {
            value = value.substr(1, value.size() - 2);
        }
        return std::string(value);
    }
    return std::nullopt;
}

void IniFile::Set(std::string_view section, std::string_view key, std::string_view value) {
    value = value.substr(0, value.find_first_of("\r\n"));
    section = Trim(section);
    key = Trim(key);

    size_t header = FindSection(section);
    if (header == std::string::npos) {
        InsertLine(lines_.size(), "[" + std::string(section) + "]");
        InsertLine(lines_.size(), std::string(key) + "=" + std::string(value));
        return;
    }
    const size_t end = SectionEnd(header);
    size_t lastFilled = header;
    for (size_t i = header + 1; i < end; ++i) {
        std::string_view content = Content(lines_[i].text, false);
        if (content.empty()) continue;
        lastFilled = i;
        std::string_view name = KeyName(content);
        if (SameName(name, key)) {
            lines_[i].text = std::string(name) + "=" + std::string(value);
            return;
        }
    }
    InsertLine(lastFilled + 1, std::string(key) + "=" + std::string(value));
}

std::string IniFile::NewLineEnd() const {
    for (const Line& line : lines_) {
        if (!line.end.empty()) return line.end;
    }
    return "\n";
}

void IniFile::InsertLine(size_t at, std::string text) {
    const std::string end = NewLineEnd();
    // A last line without its line end gets one before anything follows it.
    if (at > 0 && at == lines_.size() && lines_.back().end.empty()) lines_.back().end = end;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), Line{std::move(text), end});
}

std::string IniFile::Text() const {
    std::string text;
    for (const Line& line : lines_) {
        text += line.text;
        text += line.end;
    }
    return text;
}

std::string QuoteIniValue(std::string_view value) {
    value = value.substr(0, value.find_first_of("\r\n"));
    if (value.empty()) return std::string();
    auto trimmed = [](char c) { return static_cast<unsigned char>(c) <= 0x20 || c == 0x7F; };
    const bool quoted = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                        value.back() == value.front();
    if (!quoted && !trimmed(value.front()) && !trimmed(value.back())) return std::string(value);
    return "\"" + std::string(value) + "\"";
}
