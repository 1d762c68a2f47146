#pragma once

#include <QIcon>

namespace orv::ui {

// Drawn rather than shipped, so that the program needs no image files.
QIcon programIcon();
QIcon calendarIcon();

} // namespace orv::ui
