// Visual styles built into the program. A style is a palette and a style
// sheet kept as resources under :/styles/<name>/, applied over Qt's Fusion
// style so that it looks the same on every desktop.
#pragma once

#include <QString>

// Applies the named style to the whole application. Raises Exception when
// the program carries no style of that name or its palette does not read.
void ApplyStyle(const QString& name);

constexpr const char* CyanDuskStyle = "Cyan Dusk";
