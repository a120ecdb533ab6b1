// The four state icons of the talking keyboard, drawn here: a key cap with a
// word on it (whole-word reading) or one letter with sound waves (keyboard
// echo), in colour while the keyboard speaks and grey, struck through, while
// it is switched off. Resource numbers 128-131 name them.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace vokar::keyboard {

enum class StateIcon { WholeWordsOn = 128, WholeWordsOff = 129, EchoOn = 130, EchoOff = 131 };

StateIcon StateIconOf(bool echo, bool on);
QPixmap DrawStateIcon(StateIcon which, int size);
// 16, 32 and 48 pixels.
QIcon MakeStateIcon(StateIcon which);

}  // namespace vokar::keyboard
