// The window of a screen form, as the form's core drives it: caption, showing and enabling,
// the background pictures, popup windows, the focus of its controls, the measure of a
// label's text, and the mirroring of the form's control records (form_controls.h) and grid
// after a change.
//
// GUI thread only. The calls do not fail: a picture that cannot be loaded leaves the window
// as it was, a focus that cannot be given answers false. Showing may let the window system
// deliver events later; nothing here pumps them. The widget form implements it; tests
// record the calls.

#ifndef ORVIK_CLIENT_CORE_SCREEN_WINDOW_H_
#define ORVIK_CLIENT_CORE_SCREEN_WINDOW_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "form_font.h"
#include "popup_picture.h"
#include "terminal_surface.h"

namespace orvik::client {

class ScreenWindow {
 public:
  virtual ~ScreenWindow() = default;

  virtual void SetCaption(const std::string& caption) = 0;  // Latin-1
  virtual void SetMaximized() = 0;
  // A normal window at a place and size of the screen (twips): a data-entry BOX screen.
  virtual void SetBoxGeometry(double /*left*/, double /*top*/, double /*width*/,
                              double /*height*/) {}
  virtual void Show() = 0;
  // A disabled window stays on screen and takes no input.
  virtual void SetEnabled(bool enabled) = 0;

  // The picture of picFunctionBG, from a file; a missing or unreadable file is no error.
  virtual void LoadFunctionBackground(const std::string& path) = 0;
  // The form's own background picture goes.
  virtual void ClearBackgroundPicture() = 0;
  // Paints the picture of picFunctionBG stretched over a rectangle (twips) of the form.
  virtual void PaintBackgroundTile(double x, double y, double width, double height) = 0;

  // The form's own background picture, from a file, drawn at its top left corner over the
  // form's back colour; false (and nothing drawn) when it cannot be loaded.
  virtual bool LoadFormPicture(const std::string& path) = 0;

  // A popup window `id` (unique for the form's life) showing `picture`; it stays above its
  // screen form and does not block. Its OK button and close box call the core's PopupOk and
  // PopupCloseBox with the id.
  virtual void OpenPopup(std::int32_t id, const PopupPicture& picture) = 0;
  // Closes popup window `id`; nothing when it is closed already.
  virtual void ClosePopup(std::int32_t id) = 0;

  // Gives the focus to the entry control of entry number `entry`; false when there is none
  // that can take it.
  virtual bool FocusEntryControl(std::int32_t entry) = 0;
  // Gives the focus to the form itself, none of its controls: the terminal's keys.
  virtual void FocusForm() = 0;
  // Gives the focus to the menu's selection box, its text all selected or the caret at its
  // end.
  virtual void FocusAltSelect(bool selectAll) = 0;

  // An input box: the text the user typed after `prompt`, "" when cancelled.
  virtual std::string AskText(const std::string& /*prompt*/) { return {}; }

  // One line of `text` in `font`: its width, and the height of a line, in twips.
  virtual CharMetrics MeasureText(const FormFont& font, std::string_view text) const = 0;

  // PrintForm: the form's image on the system's default printer, as one job. False, with
  // the reason, when there is no printer or the job was not accepted.
  virtual bool PrintForm(std::string* error) = 0;

  // The form's control records or its grid changed: the widgets follow.
  virtual void ControlsChanged() = 0;
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_SCREEN_WINDOW_H_
