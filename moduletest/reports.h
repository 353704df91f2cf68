#pragma once

#include "moduletest/results.h"

#include <QByteArray>
#include <QString>

namespace moduletest {

// The settings in one line: "steps comm,channels; cycles 1; time 0.5 s; tolerance 150 ms; ...".
QString SettingsText(const Settings &settings);

// For people: pass or fail per module, step and channel, response times, and the failures with
// their cycle and the bytes exchanged.
QString SummaryText(const Report &report);

// JUnit XML: a test suite per module, a test case per step and channel; a wrong answer or state
// and a timing fault are failures, no answer is an error.
QByteArray JUnitXml(const Report &report);

// The whole report as one JSON object.
QByteArray Json(const Report &report);

// One row per module and test case, every row naming the run (date, version, port, rate, model,
// settings), with a header row.
QByteArray Csv(const Report &report);

} // namespace moduletest
