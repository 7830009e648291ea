// The form item parser: the item markup of one FORM transmission into rows of EntrySpec
// (entries, labels, the grid and its columns, popup references, the form header), cells of
// the grid, and the form variables that items carry.
//
// GUI thread; called by the form tag parser for every FORM transmission that is not a menu.
// One parser serves three situations, chosen by msFormState: a new data-entry form
// ("FUNCTION"), a refresh that keeps the form's skeleton ("REFRESH"), and an update that adds
// to or changes the form on screen (any other value). Between calls it keeps its place in
// the model's ItemParserState, so an update goes on numbering and matching where the form
// left off. Boxes: the malformed-transmission ones always, the developer's ones while DEVMSG
// is on; none stops the parse except "ERROR! Server is attempting to UPDATE a form that does
// not exist". Errors of the grid (a cell outside it) are thrown to the dispatcher.

#ifndef ORVIK_CLIENT_CORE_FORM_ITEMS_H_
#define ORVIK_CLIENT_CORE_FORM_ITEMS_H_

#include <string>

#include "screen_model.h"
#include "shell_context.h"

namespace orvik::client {

// `tx` comes back without its ATF tags and its grid fill block (kept in the model's
// gridFillText for the grid fill loader), and with ACTION=NOMINATE written out.
void FormItemsFunction(std::string& tx, ScreenModel& model, ShellContext& shell);

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_FORM_ITEMS_H_
