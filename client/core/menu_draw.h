// The drawing of a menu screen: from the menu rows of EntrySpec (header line, items,
// headings, columns, narrative lines, the selection prompt) it sets the control records of
// the form's menu controls (style colours and fonts, geometry in twips, captions), puts the
// menu's navigation text into the navigation list and the program history, and leaves the
// form waiting for a choice (msState "FORM_ACTIVE").
//
// GUI thread; called by the state machine and by the second-codes switch. It sends nothing.
// It lets pending window events run twice (clicks may arrive meanwhile; the navigation
// list's own click is suppressed while the draw changes it). A step that fails shows the
// box "WARNING, ERROR in rendering MENU form..." and the drawing goes on with the next
// step. The form shows at most 40 menu rows; a developer's warning names the rows left out.

#ifndef ORVIK_CLIENT_CORE_MENU_DRAW_H_
#define ORVIK_CLIENT_CORE_MENU_DRAW_H_

#include "screen_parts.h"

namespace orvik::client {

inline constexpr const char* kStandardAltSelectPrompt = "Please select your item or enter its ID: ";
// The menu rows a menu screen draws.
inline constexpr std::int32_t kMenuRowsDrawn = 40;

void MenuDraw(ScreenParts& parts);

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_MENU_DRAW_H_
