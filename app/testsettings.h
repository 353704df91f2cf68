#pragma once

#include "moduletest/plan.h"

#include <QString>

#include <array>
#include <variant>

namespace app {

// Where the modules of a test come from: the window's address box, a list or range typed on
// the page, or a scan of a range of the bus.
enum class TestSource { AddressBox = 0, Range = 1, Scan = 2 };

// What the module test page shows, as text and ticks.
struct TestPageInputs
{
    std::array<bool, 6> steps{}; // in the order of moduletest::AllSteps
    QString cycles;
    TestSource source = TestSource::AddressBox;
    QString range;       // "1-10", "3,7" (the scan takes one range FROM-TO)
    QString addressText; // the window's address box
    int channelCount = 8;
};

// The settings of a test, or the message (context "Messages") that says what is wrong.
std::variant<moduletest::Settings, QString> ReadTestSettings(const TestPageInputs &in);

} // namespace app
