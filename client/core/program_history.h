// The program history of a screen form: the navigation texts of the menus shown, behind the
// navigation list and the Back and Forward buttons. Index 0 is the menu on show, 1 to 10
// the earlier ones (1 the latest), -1 to -5 those that Back stepped away from (-1 the
// nearest). A navigation text is the menu's code, a comma, and its title; only the code is
// sent to go there.
//
// Plain data of one screen form, GUI thread only; nothing here sends or throws.

#ifndef ORVIK_CLIENT_CORE_PROGRAM_HISTORY_H_
#define ORVIK_CLIENT_CORE_PROGRAM_HISTORY_H_

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "form_controls.h"

namespace orvik::client {

// The navigation list keeps at most this many entries, newest first.
inline constexpr std::size_t kNavigateListSize = 9;

// The text before the first comma (all of it when there is none): the code to send.
std::string_view NavigationCode(std::string_view entry);

class ProgramHistory {
 public:
  static constexpr std::int32_t kFirst = -5;
  static constexpr std::int32_t kLast = 10;

  // "" outside kFirst..kLast.
  const std::string& At(std::int32_t index) const;
  const std::string& StartEntry() const { return startEntry_; }
  bool Stepping() const { return stepping_; }

  // A screen whose navigation text is `entry` was drawn: it shows in the navigation list
  // and, unless it is one of the list's first three entries (the same screen again), goes
  // to the top of the list and becomes the history's present. The first screen only starts
  // the history. A screen that Back or Forward went to is not pushed again: it is the
  // present already.
  void ScreenShown(const std::string& entry, ControlRecord& navigate, ControlRecord& back,
                   ControlRecord& forward);

  // Steps back (or forward) one menu: the navigation text to go to, or nullopt when there is
  // nothing on that side (the button is disabled then).
  std::optional<std::string> Back(ControlRecord& back, ControlRecord& forward);
  std::optional<std::string> Forward(ControlRecord& back, ControlRecord& forward);

 private:
  std::string& Slot(std::int32_t index) {
    return entries_[static_cast<std::size_t>(index - kFirst)];
  }

  std::array<std::string, kLast - kFirst + 1> entries_;
  std::string startEntry_;
  bool stepping_ = false;  // HistoryStepping: the next screen drawn is a history step
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_PROGRAM_HISTORY_H_
