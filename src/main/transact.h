// Request/answer transactions with the board and the dispatcher for frames
// that nobody waits for. They live beside the main window because they act on
// it: the status line, the time base and the live reports.
#pragma once

#include <cstdint>

#include "frame.h"

// Sends the request and waits for the answer with the same command code.
// True when the request went out, the answer came in time and it is not a
// device error other than 0.
bool Transact(const TPayloadStu& request, TPayloadStu& answer, std::uint32_t timeoutMs);

// Asks the board for `count` reports from number `seq` on; no answer is awaited.
bool SendPoll(std::uint16_t seq, std::uint16_t count);

// Shows device errors on the status line and passes start and stop answers
// and reports on. False only for a device error other than 0.
bool DispatchPayload(const TPayloadStu& payload);
