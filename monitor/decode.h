#pragma once

#include "modbus/splitter.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace monitor {

// What a frame says, in the window's words: "写单线圈 3 = ON", "读保持寄存器 0x0000 × 1 → 0x0005",
// "异常 02 非法数据地址", "延时吸合 通道 3, 2.0 秒". An answer is read in the light of the request
// it answers, when there is one.
QString Summary(const modbus::SplitFrame &frame, const QByteArray &request = {});

// The role as the monitor's table shows it ("请求", "应答", ...); sent by this program: "本机请求".
QString RoleText(modbus::FrameRole role, bool sent = false);
// The role as a word for files: "request", "answer", ...
QString RoleKey(modbus::FrameRole role);
// The function's name ("读保持寄存器"), or its hex code for one this program does not know.
QString FunctionText(std::uint8_t code);
// "非法数据地址" for 02, ...
QString ExceptionText(std::uint8_t code);

} // namespace monitor
