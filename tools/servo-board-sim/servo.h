// A simple model of one servo behind the board: it turns toward the angle it
// was told at a bounded speed, draws more current while it moves and warms up
// with the current it draws.
#pragma once

class TServoModel {
 public:
  static constexpr double SpeedDegPerMs = 0.3;  // 300 degrees per second
  static constexpr double MovingCurrentA = 1.2;
  static constexpr double IdleCurrentA = 0.05;
  static constexpr double CurrentTauMs = 30.0;
  static constexpr double AmbientC = 25.0;
  static constexpr double HeatPerAmpC = 20.0;  // steady rise above ambient per ampere
  static constexpr double ThermalTauMs = 20000.0;

  void Command(double angleDeg) { FCommand = angleDeg; }
  // Lets the given time pass.
  void Advance(double ms);

  double CommandDeg() const { return FCommand; }
  double PositionDeg() const { return FPosition; }
  double CurrentA() const { return FCurrent; }
  double TemperatureC() const { return FTemperature; }

 private:
  void Travel(double ms);
  void Settle(double ms, double currentTarget);

  double FCommand = 0;
  double FPosition = 0;
  double FCurrent = IdleCurrentA;
  double FTemperature = AmbientC;
};
