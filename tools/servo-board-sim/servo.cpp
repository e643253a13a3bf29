#include "servo.h"

#include <algorithm>
#include <cmath>

namespace {

// First-order approach of x toward target over ms with the time constant tau.
double Approach(double x, double target, double ms, double tau) {
  return target + (x - target) * std::exp(-ms / tau);
}

}  // namespace

void TServoModel::Advance(double ms) {
  if (!(ms > 0)) return;
  const double travelMs = std::min(ms, std::fabs(FCommand - FPosition) / SpeedDegPerMs);
  if (travelMs > 0) {
    Travel(travelMs);
    Settle(travelMs, MovingCurrentA);
  }
  Settle(ms - travelMs, IdleCurrentA);
}

void TServoModel::Travel(double ms) {
  const double distance = FCommand - FPosition;
  const double step = SpeedDegPerMs * ms;
  // Land exactly on the commanded angle rather than a rounding error beside it.
  FPosition = std::fabs(distance) <= step ? FCommand : FPosition + std::copysign(step, distance);
}

void TServoModel::Settle(double ms, double currentTarget) {
  if (!(ms > 0)) return;
  FCurrent = Approach(FCurrent, currentTarget, ms, CurrentTauMs);
  FTemperature = Approach(FTemperature, AmbientC + HeatPerAmpC * FCurrent, ms, ThermalTauMs);
}
