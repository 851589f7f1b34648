// The interactive mode without its terminal and socket: keys in, command lines out, and the
// slide status from the computer's answers.
#pragma once

#include <string>
#include <vector>

#include "remote/keys.h"

class PresentController {
public:
    struct Action {
        std::vector<std::string> lines;  // command lines to send, in order
        bool quit = false;
        bool navigated = false;  // the slide may change: ask for it again soon
    };

    Action OnKey(const Key& key);
    // Takes the answer to "QueryInfo:PptCurPage"; false for any other line.
    bool OnAnswer(const std::string& line);
    // One line: the slide, the mode and a slide number being typed.
    std::string Status() const;

    bool Known() const { return known_; }
    int Slide() const { return slide_; }
    int Slides() const { return slides_; }

private:
    std::string digits_;
    bool black_ = false;
    bool pen_ = false;
    bool known_ = false;
    int slide_ = -1;
    int slides_ = -1;
};

constexpr const char* kSlideQuery = "QueryInfo:PptCurPage";
