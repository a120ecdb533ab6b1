// The 16-pixel pictures of the toolbar's buttons, drawn by the program: one
// per command of the toolbar, an empty picture for any other command.
#pragma once

#include <QImage>

namespace vokar::comment {

inline constexpr int kToolbarImageSize = 16;

QImage ToolbarImage(int command);

}  // namespace vokar::comment
