// The clock's icon, drawn here: a round clock face with its hour marks and
// two hands, in every size a desktop asks for.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace vokar::clock {

QPixmap DrawClockIcon(int size);
QIcon ClockIcon();

}  // namespace vokar::clock
