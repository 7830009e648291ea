// The window of a screen form, as the form's core drives it: caption, showing and enabling,
// the background picture, popup windows, the focus of entry controls, and the mirroring of
// the form's control records (form_controls.h) and grid after a change.
//
// GUI thread only. The calls do not fail: a picture that cannot be loaded leaves the window
// as it was, a focus that cannot be given answers false. Showing may let the window system
// deliver events later; nothing here pumps them. The widget form implements it; tests
// record the calls.

#ifndef ORVIK_CLIENT_CORE_SCREEN_WINDOW_H_
#define ORVIK_CLIENT_CORE_SCREEN_WINDOW_H_

#include <cstdint>
#include <string>

namespace orvik::client {

class ScreenWindow {
 public:
  virtual ~ScreenWindow() = default;

  virtual void SetCaption(const std::string& caption) = 0;  // Latin-1
  virtual void SetMaximized() = 0;
  virtual void Show() = 0;
  // A disabled window stays on screen and takes no input.
  virtual void SetEnabled(bool enabled) = 0;

  // The picture of picFunctionBG, from a file; a missing or unreadable file is no error.
  virtual void LoadFunctionBackground(const std::string& path) = 0;
  // The form's own background picture goes.
  virtual void ClearBackgroundPicture() = 0;
  // Paints the picture of picFunctionBG stretched over a rectangle (twips) of the form.
  virtual void PaintBackgroundTile(double x, double y, double width, double height) = 0;

  // A popup window for popup block `index`, showing `block`; `terminal` for the terminal's
  // popups. It stays above its screen form and does not block.
  virtual void OpenPopup(std::int32_t index, const std::string& block, bool terminal) = 0;
  // Closes every popup window the form opened.
  virtual void ClosePopups() = 0;

  // Gives the focus to the entry control of entry number `entry`; false when there is none
  // that can take it.
  virtual bool FocusEntryControl(std::int32_t entry) = 0;

  // PrintForm: the form's image on the system's default printer, as one job. False, with
  // the reason, when there is no printer or the job was not accepted.
  virtual bool PrintForm(std::string* error) = 0;

  // The form's control records or its grid changed: the widgets follow.
  virtual void ControlsChanged() = 0;
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_SCREEN_WINDOW_H_
