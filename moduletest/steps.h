#pragma once

#include "moduletest/plan.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace moduletest {

// One request of a step and what its answer must show.
struct Exchange
{
    QByteArray request;
    // A state read: the relay bitmap the answer must carry (channel 1 in bit 0). None: any.
    std::optional<std::uint16_t> expectBits;
    // The test case the exchange belongs to ("channel 3", "all on", "walking 2").
    QString testCase;
    // The channel the case tests (1-based), 0 for the module as a whole.
    int channel = 0;
    // What it does, for the log: "channel 3 on", "read: channel 3 on".
    QString what;
    // A timed function: the channel whose time starts when this request has been heard.
    int startsTimer = 0;
    // The line moves to this rate once the answer is in (the module's new rate), or after the
    // wait when none came.
    std::optional<qint32> rateAfter;
};

// What the timed step expects of one channel once its time has run.
struct TimedChannel
{
    int channel = 0;     // 1-based
    bool before = false; // the state right after the request
    bool after = false;  // the state once the time has run
    QString testCase;
};

// The exchanges of a step for the module at address; the timed step's requests come here, its
// watch from TimedChannels. The bits beyond the model's channels are never expected on.
std::vector<Exchange> StepExchanges(Step step, std::uint8_t address, const Settings &settings,
                                    std::uint8_t spareAddress = 0, qint32 rate = 9600);

// The channels the timed step watches: jog on channel 1, delayed on on 2, delayed off on 3.
std::vector<TimedChannel> TimedChannels();

// The request that ends every step: every channel off at once.
QByteArray AllOffRequest(std::uint8_t address);
// A state read at address.
QByteArray StateRead(std::uint8_t address);

// The channels whose bits differ, 1-based, the first channelCount only.
QList<int> DifferingChannels(std::uint16_t got, std::uint16_t expected, int channelCount);

// "1,3,5" for the channels whose bits are set; "none" without any.
QString ChannelsText(std::uint16_t bits, int channelCount);

// The rate the configuration step moves a module at rate to and back from.
qint32 OtherRate(qint32 rate);

} // namespace moduletest
