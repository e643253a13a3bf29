#include "transact.h"

#include "comm.h"
#include "mainform.h"

bool Transact(const TPayloadStu& request, TPayloadStu& answer, std::uint32_t timeoutMs) {
  if (!CommMod->SendPayload(request)) return false;
  if (!CommMod->WaitAnswer(request.Code(), answer, timeoutMs)) return false;
  return DispatchPayload(answer);
}

bool SendPoll(std::uint16_t seq, std::uint16_t count) { return CommMod->SendPayload(MakePoll(seq, count)); }

bool DispatchPayload(const TPayloadStu& payload) {
  if (payload.IsError()) {
    // An error answer to a poll is not shown.
    if (payload.Code() != CmdPoll) MainForm->ShowDeviceError(payload.S8(1));
    return payload.U8(1) == 0;
  }
  MainForm->ShowDeviceError(0);
  switch (payload.Head()) {
    case HeadStartAnswer:
      MainForm->RestartTimeBase(ReadTickAnswer(payload));
      break;
    case HeadStopAnswer:
      MainForm->AdvanceTimeBase(ReadTickAnswer(payload));
      break;
    case HeadReport:
      MainForm->HandleReport(payload);
      break;
    default:
      break;
  }
  return true;
}
