#pragma once

#include <QString>

#include <cstdint>

namespace modbus {

// A function code in words, for logs and monitors: "read holding registers", "jog, all
// channels"; "exception to write single coil" for an exception answer; "function 41" (hex) for
// a code the program does not know.
QString FunctionName(std::uint8_t code);

// The name of a MODBUS exception code: "illegal function", "illegal address", ...
QString ExceptionName(std::uint8_t code);

} // namespace modbus
