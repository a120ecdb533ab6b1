// The server's three state icons, drawn here (a speaker: silent when idle,
// with sound waves while playing, with a pause sign while paused), each at
// 32x32 and 16x16.
#pragma once

#include <QIcon>
#include <QPainterPath>
#include <QRectF>

namespace vokar::server {

enum class StateIcon { Idle = 3, Playing = 4, Paused = 5 };

QIcon MakeStateIcon(StateIcon which);

// The speaker of the server's pictures (its icons and logo), filling the box:
// the body at the left, the cone opening to the right.
QPainterPath SpeakerPath(const QRectF& box);

}  // namespace vokar::server
