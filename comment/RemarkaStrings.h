// remarka's string table: every text it shows or speaks, by resource number.
#pragma once

#include "StringTable.h"

namespace vokar::comment {

enum StringId : int {
  IDR_COMMENT_TYPE = 3,         // the document strings, separated by '\n'
  IDP_OLE_INIT_FAILED = 100,
  IDS_SERVER_TITLE = 102,
  IDS_ABOUT_NAME = 4000,
  IDS_ABOUT_DESCRIPTION = 4001,
  IDS_TEST_TEXT = 4003,
  IDS_APP_TITLE = 57344,
  IDS_IDLE_MESSAGE = 57345,
  // The framework's messages about documents.
  IDP_FAILED_TO_OPEN_DOC = 61440,
  IDP_FAILED_TO_SAVE_DOC = 61441,
  IDP_ASK_TO_SAVE = 61442,
  // Texts of this port.
  IDS_TEXT_TOO_LONG = 4100,
  IDS_CHARACTERS_LOST = 4101,
  IDS_DAMAGED_COMMENT = 4102,
  IDS_HELP_NOT_FOUND = 4103,
  IDS_NO_DESKTOP = 4104,
  IDS_ABOUT_CAPTION = 4105,
  IDS_OPEN_CAPTION = 4106,
  IDS_SAVE_CAPTION = 4107,
  IDS_ALL_FILES = 4108,
  IDS_NOT_ANSWERING = 4109,
  IDS_FONT_CAPTION = 4110,
};

const app::CStringTable& Strings();

// The status-bar prompt of a command ("" when it has none) and its tooltip.
QString CommandPrompt(int command);
QString CommandTip(int command);

}  // namespace vokar::comment
