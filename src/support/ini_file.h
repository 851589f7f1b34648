// An INI text in memory that reads and edits the way the Windows private-profile functions do,
// for systems that do not have them.
//
// Reading: section and key names match without regard to ASCII case; blanks around names and
// values are ignored; one pair of matching single or double quotes around a value is removed;
// a line ends in LF, in CRs followed by LF (CR LF, CR CR LF) or in a CR alone; a section name
// ends at the first "]" of its line (Windows does so; Wine's profile functions take the last),
// and a header without "]" names the rest of its line; only the first section of a name and, in
// it, the first key of a name count. A line without "=" is a key with an empty value. Lines before
// the first section belong to no section.
//
// Editing changes only the line concerned and keeps every other byte: an existing key is
// rewritten in place as "name=value" (its name spelled as in the text); a new key goes after the
// last non-blank line of its section; a new section goes at the end of the text. New lines end
// the way the text's first line does (LF when there is none).
//
// Not thread-safe; one object per use.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

class IniFile {
public:
    IniFile() = default;
    explicit IniFile(std::string_view text);

    // The value of the key, or nullopt when the section or the key is missing.
    std::optional<std::string> Get(std::string_view section, std::string_view key) const;

    // Stores the value, adding the key or the section as needed. A value is one line: it is cut
    // at its first CR or LF, so that it can never add lines of its own to the file.
    void Set(std::string_view section, std::string_view key, std::string_view value);

    // The whole text, byte for byte as read apart from the changes made.
    std::string Text() const;

private:
    struct Line {
        std::string text;  // without its line end
        std::string end;   // LF with any CRs before it, a lone CR, or empty for a last line
    };

    // Index of the first header line of the section, or npos.
    size_t FindSection(std::string_view section) const;
    // The line just past the section that starts at header (the next header, or the end).
    size_t SectionEnd(size_t header) const;
    std::string NewLineEnd() const;
    void InsertLine(size_t at, std::string text);

    std::vector<Line> lines_;
};

// What to store for `value` so that a reader that trims blanks and removes one pair of matching
// quotes (IniFile, the Windows profile functions) gives it back exactly: the value as it is, or
// in double quotes when it begins or ends with a blank or another control character, or when it
// is wrapped in a pair of matching quotes itself. Only the value's first line is kept (it is cut
// at its first CR or LF), as Set does.
std::string QuoteIniValue(std::string_view value);
