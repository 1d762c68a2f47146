#pragma once

class QPainter;

namespace orv::ui {

// The program's icon on a size x size square: the window's icon and, drawn at build time, the
// desktop's (tools/mkicon.cpp), so both are one picture.
void paintProgramIcon(QPainter& p, int size);

} // namespace orv::ui
