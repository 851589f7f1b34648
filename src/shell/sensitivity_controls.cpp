#include "shell/sensitivity_controls.h"

#include "shell/application.h"

int SensitivityControls::Position(Axis axis) const {
    return axis == Axis::kHorizontal ? app_.HorizontalFactor.load() : app_.VerticalFactor.load();
}

void SensitivityControls::ShowNumber(Axis axis) {
    labels_[Index(axis)] = std::to_string(Position(axis));
}

void SensitivityControls::Released(Axis axis, int horizontal, int vertical) {
    app_.SetFactors(horizontal, vertical);
    if (locked_) {
        const int value = Position(axis);
        app_.SetFactors(value, value);
        ShowNumber(axis == Axis::kHorizontal ? Axis::kVertical : Axis::kHorizontal);
    }
    ShowNumber(axis);
}

void SensitivityControls::SetLocked(bool locked, int horizontal, int vertical) {
    app_.SetFactors(horizontal, vertical);
    locked_ = locked;
    if (!locked) return;
    const int value = app_.HorizontalFactor;
    app_.SetFactors(value, value);
    ShowNumber(Axis::kVertical);
}
