// The settings page's pointer sensitivity as both programs show it: two sliders (0 to 100) with
// a number label each, and the Lock box that ties them together. The page hands over what the
// user did and then shows the positions and labels kept here; the factors themselves live in the
// application. Main thread.
#pragma once

#include <string>

class CorvaneApplication;

class SensitivityControls {
public:
    enum class Axis { kHorizontal, kVertical };

    explicit SensitivityControls(CorvaneApplication& app) : app_(app) {}

    // The user let go of the `axis` slider. Both sliders' positions come along, as they stand
    // (the other one may have been moved by keyboard since); while locked the other slider
    // follows the released one.
    void Released(Axis axis, int horizontal, int vertical);
    // The Lock box was clicked and is now `locked`; the sliders stand as given. Setting it
    // brings the vertical factor to the horizontal one.
    void SetLocked(bool locked, int horizontal, int vertical);
    bool Locked() const { return locked_; }

    // Where the slider stands: the application's factor.
    int Position(Axis axis) const;
    // The number beside the slider: empty until that slider is first released (or, for the
    // vertical one, until Lock is first set), then the factor as decimal text.
    const std::string& Label(Axis axis) const { return labels_[Index(axis)]; }

private:
    static int Index(Axis axis) { return axis == Axis::kHorizontal ? 0 : 1; }
    void ShowNumber(Axis axis);

    CorvaneApplication& app_;
    bool locked_ = false;
    std::string labels_[2];
};
