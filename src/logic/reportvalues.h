// What a report's value means on screen: the value plotted for each kind of
// series and the texts of the node list's columns Pos, Temp and Current.
// Positions and PWM values come in tenths, currents in hundredths, and the
// temperature of a measurement report in whole degrees Celsius.
#pragma once

#include <QString>

double PWMPlotValue(int value);
double PosPlotValue(int value);
double CurrentPlotValue(int value);

// The general floating-point form: 1234 gives "123.4", -5 gives "-0.5".
QString PosText(int value);
QString TempText(int temperature);
QString CurrentText(int value);
