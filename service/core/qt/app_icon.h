// The picture of the service in the notification area and the window's
// title bar, drawn in code so that the program needs no image files.
#pragma once

#include <QIcon>

namespace velunor {

// A fuel drop on a blue square, in the sizes trays and title bars ask for.
QIcon AppIcon();

}  // namespace velunor
