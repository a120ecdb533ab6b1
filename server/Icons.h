// The server's three state icons, drawn here (a speaker: silent when idle,
// with sound waves while playing, with a pause sign while paused), each at
// 32x32 and 16x16.
#pragma once

#include <QIcon>

namespace vokar::server {

enum class StateIcon { Idle = 3, Playing = 4, Paused = 5 };

QIcon MakeStateIcon(StateIcon which);

}  // namespace vokar::server
