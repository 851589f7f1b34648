// The settings page's sensitivity sliders, number labels and Lock box, as both programs' pages
// drive them: what a release or the Lock box does to the factors and to what the page shows.
#include <gtest/gtest.h>

#include "fakes/fake_presentation.h"
#include "fakes/recording_input.h"
#include "shell/application.h"
#include "shell/sensitivity_controls.h"

namespace {

using Axis = SensitivityControls::Axis;

class SensitivityControlsTest : public ::testing::Test {
protected:
    CorvaneApplication app_{std::make_unique<RecordingInput>(),
                            std::make_unique<FakeHost>(std::make_shared<FakeShow>())};
    SensitivityControls controls_{app_};
};

}  // namespace

TEST_F(SensitivityControlsTest, ReleasedSliderSetsItsFactorAndShowsItsNumber) {
    EXPECT_EQ(controls_.Label(Axis::kHorizontal), "");
    EXPECT_EQ(controls_.Label(Axis::kVertical), "");
    controls_.Released(Axis::kHorizontal, 80, 50);
    EXPECT_EQ(app_.HorizontalFactor, 80);
    EXPECT_EQ(app_.VerticalFactor, 50);
    EXPECT_EQ(controls_.Label(Axis::kHorizontal), "80");
    EXPECT_EQ(controls_.Label(Axis::kVertical), "") << "the other label stays as it was";
    // A slider moved by keys since comes along with the release of the other one.
    controls_.Released(Axis::kVertical, 80, 12);
    EXPECT_EQ(app_.VerticalFactor, 12);
    EXPECT_EQ(controls_.Position(Axis::kVertical), 12);
    EXPECT_EQ(controls_.Label(Axis::kVertical), "12");
    // Beyond the sliders' range the factor, and so the number, stops at the range's end.
    controls_.Released(Axis::kHorizontal, 130, 12);
    EXPECT_EQ(controls_.Label(Axis::kHorizontal), "100");
}

TEST_F(SensitivityControlsTest, LockTiesTheSlidersUntilCleared) {
    controls_.Released(Axis::kHorizontal, 70, 50);
    controls_.SetLocked(true, 70, 50);
    EXPECT_TRUE(controls_.Locked());
    // Setting the lock brings the vertical factor to the horizontal one and shows it there.
    EXPECT_EQ(app_.VerticalFactor, 70);
    EXPECT_EQ(controls_.Label(Axis::kVertical), "70");
    // Either slider now moves both.
    controls_.Released(Axis::kVertical, 70, 25);
    EXPECT_EQ(app_.HorizontalFactor, 25);
    EXPECT_EQ(app_.VerticalFactor, 25);
    EXPECT_EQ(controls_.Label(Axis::kHorizontal), "25");
    EXPECT_EQ(controls_.Label(Axis::kVertical), "25");
    // Cleared, they move on their own again; clearing itself moves nothing.
    controls_.SetLocked(false, 25, 25);
    EXPECT_EQ(app_.HorizontalFactor, 25);
    controls_.Released(Axis::kHorizontal, 90, 25);
    EXPECT_EQ(app_.HorizontalFactor, 90);
    EXPECT_EQ(app_.VerticalFactor, 25);
    EXPECT_EQ(controls_.Label(Axis::kVertical), "25");
}
