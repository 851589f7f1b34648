#include "remote/present_controller.h"

#include <cstdio>
#include <cstdlib>

namespace {

constexpr std::size_t kMaxDigits = 6;

}  // namespace

PresentController::Action PresentController::OnKey(const Key& key) {
    Action a;
    auto navigate = [&](const std::string& line) {
        a.lines.push_back(line);
        a.navigated = true;
    };
    switch (key.code) {
        case KeyCode::kRight:
        case KeyCode::kPageDown:
            navigate("PptNextPage:");
            break;
        case KeyCode::kLeft:
        case KeyCode::kPageUp:
            navigate("PptPrevPage:");
            break;
        case KeyCode::kEnter:
            if (!digits_.empty()) {
                navigate("PptGotoPage:" + std::to_string(std::atoi(digits_.c_str())));
                digits_.clear();
            }
            break;
        case KeyCode::kBackspace:
            if (!digits_.empty()) digits_.pop_back();
            break;
        case KeyCode::kEscape:
            // Escape first abandons a slide number being typed; only then does it end the show.
            if (!digits_.empty()) {
                digits_.clear();
            } else {
                navigate("PptQuit:");
                black_ = pen_ = false;
            }
            break;
        case KeyCode::kInterrupt:
        case KeyCode::kEndOfInput:
            a.quit = true;
            break;
        case KeyCode::kChar:
            if (key.ch >= '0' && key.ch <= '9') {
                if (digits_.size() < kMaxDigits) digits_ += key.ch;
            } else if (key.ch == ' ') {
                navigate("PptNextPage:");
            } else if (key.ch == 'b' || key.ch == 'B') {
                // Black screen, and back to the slide with the arrow.
                a.lines.push_back(black_ ? "PptChangeState:0" : "PptChangeState:3");
                black_ = !black_;
                pen_ = false;
            } else if (key.ch == 'p' || key.ch == 'P') {
                a.lines.push_back(pen_ ? "PptChangeState:0" : "PptChangeState:1");
                pen_ = !pen_;
                black_ = false;
            } else if (key.ch == 'q' || key.ch == 'Q') {
                a.quit = true;
            }
            break;
        default:
            break;
    }
    return a;
}

bool PresentController::OnAnswer(const std::string& line) {
    static const std::string kPrefix = "QueryInfo:PptCurPage,";
    if (line.compare(0, kPrefix.size(), kPrefix) != 0) return false;
    int slide = 0, slides = 0;
    if (std::sscanf(line.c_str() + kPrefix.size(), "%d,%d", &slide, &slides) != 2) return false;
    known_ = true;
    slide_ = slide;
    slides_ = slides;
    return true;
}

std::string PresentController::Status() const {
    std::string s;
    if (!known_) {
        s = "asking for the slide...";
    } else if (slide_ < 1 || slides_ < 1) {
        s = "no slideshow";
    } else if (slide_ > slides_) {
        s = "end of the show (" + std::to_string(slides_) + " slides)";
    } else {
        s = "slide " + std::to_string(slide_) + " of " + std::to_string(slides_);
    }
    if (black_) s += "  [black screen]";
    if (pen_) s += "  [pen]";
    if (!digits_.empty()) s += "  go to slide: " + digits_ + "_";
    return s;
}
