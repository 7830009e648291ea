// The search of a screen form: the pick list read from a SEARCH transmission, shown, and the
// choice sent back to the engine (SearchActivate); and the search button, which asks the
// user for a text and a kind of search and sends them.
//
// GUI thread only, called from the dispatcher (a SEARCH transmission) and from the form's
// button and key handlers. Both show modal windows that pump events, so the poll loop may run
// inside them. Every path ends with an answer to the engine or, for the button, with
// nothing sent: a search the user cancels, closes, or that cannot go into its field is
// answered with QUITCOMMAND and EOS, so the application never waits for ever. Reading the
// transmission never fails: unknown items are skipped.

#ifndef ORVIK_CLIENT_CORE_SEARCH_LIST_H_
#define ORVIK_CLIENT_CORE_SEARCH_LIST_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "client_settings.h"
#include "pick_list.h"
#include "screen_model.h"
#include "search_choice.h"
#include "shell_services.h"

namespace orvik::client {

// The entry controls of the form, as the search reaches them. Entries are numbered as the
// form's entry controls are; 0 and -1 name none.
class SearchEntries {
 public:
  virtual ~SearchEntries() = default;

  // The entry control that last had the focus (FocusEntry).
  virtual std::int32_t LastFocusedEntry() const = 0;
  // The entry whose value waits to be sent (PendingEntry).
  virtual std::int32_t PendingEntry() const = 0;
  // The EntrySpec row of the entry's control (its Tag); 0 when the form has no such control.
  virtual std::int32_t EntryRow(std::int32_t entry) const = 0;
  // Gives the control the focus without transmitting, and records it as the last focused.
  virtual void FocusEntry(std::int32_t entry) = 0;
  // Puts `value` into the control as its value, with the entry code's own handlers held off
  // while it does, then focuses it as FocusEntry does.
  virtual void PutSearchValue(std::int32_t entry, const std::string& value) = 0;
};

// The pick list of a SEARCH transmission (msData): its caption, its columns (widths in cell
// widths of `cellWidth` twips) and its rows cut at RXDELIMITER, each made as long as there
// are columns (a COLUMN after some DATA too). DATA before the first COLUMN has no column to
// fill and is left out, and so are rows past GridModel::kMaxCells values in all.
PickList ReadSearchList(std::string_view data, const ClientSettings& settings, double cellWidth);

// The reply of a field of a GUIPLUS form: its action code, then for the grid the grid's
// column and row, for another field its sub-action when it has one, each followed by
// GUIPLUSDELIMITER; then `text`.
std::string GuiPlusTx(const ScreenModel& model, std::int32_t row, const std::string& delimiter,
                      const std::string& text);

class SearchList {
 public:
  // SearchActivate: shows the pick list of msData and sends the choice: QUITCOMMAND when
  // nothing was picked (or no window can show it), the pick in terminal mode or when no
  // entry control asked, nothing into a check box but QUITCOMMAND, else the pick into the
  // entry and to the engine (as the GUIPLUS reply on such a form). Afterwards the state is
  // the one before the search, with SEARCH as the previous one.
  void Activate(ScreenModel& model, SearchEntries& entries, ShellServices& shell);

  // -1 between searches.
  std::int32_t SearchEntry() const { return searchEntry_; }

 private:
  std::int32_t searchEntry_ = -1;
};

// The search button (and F2): ignored while a reply is awaited or when the pending entry is
// a command button; asks the search-choice dialog and sends the chosen prefix, the text and
// EOS (after the GUIPLUS code of the entry on such a form), or nothing when cancelled.
void SearchButtonPress(ScreenModel& model, SearchEntries& entries, ShellServices& shell);

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_SEARCH_LIST_H_
