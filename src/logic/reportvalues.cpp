#include "reportvalues.h"

#include "convert.h"

namespace {

constexpr double Tenths = 0.1;
constexpr double Hundredths = 0.01;

}  // namespace

double PWMPlotValue(int value) { return value * Tenths; }

double PosPlotValue(int value) { return value * Tenths; }

double CurrentPlotValue(int value) { return value * Hundredths; }

QString PosText(int value) { return FloatToStr(PosPlotValue(value)); }

QString TempText(int temperature) { return QString::number(temperature); }

QString CurrentText(int value) { return FloatToStr(CurrentPlotValue(value)); }
