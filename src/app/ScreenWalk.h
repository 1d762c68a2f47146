#pragma once

#include <QString>

class QWidget;

namespace orv::app {

// For an accessibility checker walking the program from outside: prints where Tab cannot go on
// the screen, then a line naming the screen, and waits (the event loop running, so that the
// checker's questions are answered) for a line on standard input, at most timeoutMs.
void holdScreen(QWidget* screen, const QString& name, int timeoutMs);

// The controls of screen that Tab, pressed from its first control, never reaches, each told as
// its path of class and object names; empty when Tab reaches every enabled one.
QStringList unreachedByTab(QWidget* screen);

} // namespace orv::app
