// The texts of a node-list row that are not plain decimal numbers.
#pragma once

#include <QString>
#include <cstdint>

// Upper-case hexadecimal with at least two digits: 10 gives "0A", 300 gives
// "12C"; a negative address shows its 32-bit two's complement ("FFFFFFFF").
QString NodeAddrText(std::int32_t addr);
