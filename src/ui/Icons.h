#pragma once

#include <QIcon>

namespace orv::ui {

// Drawn rather than shipped, so that the program needs no image files.
QIcon programIcon();
QIcon calendarIcon();
// The marks of the sample list, told apart by shape as well as colour so that they still read
// in grey print: a check mark in an outlined ring (pass), a bold X on a dark disc (fail).
QIcon passMarkIcon();
QIcon failMarkIcon();

} // namespace orv::ui
