// What a data-entry screen keeps between its draw and its entry handlers: the counters of
// the entry control arrays, the description labels of code-and-description entries, and the
// entry that waits to be transmitted.
//
// Plain data of one screen form, GUI thread only.

#ifndef ORVIK_CLIENT_CORE_ENTRY_STATE_H_
#define ORVIK_CLIENT_CORE_ENTRY_STATE_H_

#include <cstdint>
#include <vector>

namespace orvik::client {

struct EntryState {
  // Elements handed out on this screen and loaded for the form's life, per control array
  // (txtEntry's handed-out count is the item parser's textEntriesUsed).
  std::int32_t textLoaded = 0;
  std::int32_t commandUsed = 0;
  std::int32_t commandLoaded = 0;
  std::int32_t comboUsed = 0;
  std::int32_t comboLoaded = 0;
  std::int32_t checkUsed = 0;
  std::int32_t checkLoaded = 0;
  std::int32_t descLabelsLoaded = 0;  // lblET3 elements in use on this screen
  // DescLabelIndex: the lblET3 element of each entry number, 0 for none. It grows with the
  // entry numbers a screen uses, so no entry number reaches past it.
  std::vector<std::int32_t> descLabelIndex;

  std::int32_t pendingEntry = 0;          // PendingEntry: the entry TxtTX transmits
  bool enterPressed = false;              // EnterPressed: TxtTX runs for an Enter key
  std::int32_t lastHighlighted = -1;      // LastHighlighted: the entry last marked done
  bool navBusy = false;                   // NavBusy: the navigation history is being updated
  bool newFormStarted = false;            // the parser has just started a new form
  std::int32_t savedCheckBackColour = 0;  // SavedCheckBackColor
  // The entry whose control had the focus last (-1: none), so that a focus move can run
  // the old control's validation before the new one's got-focus.
  std::int32_t focusedEntry = -1;

  std::int32_t DescLabel(std::int32_t entry) const {
    return entry >= 0 && entry < static_cast<std::int32_t>(descLabelIndex.size())
               ? descLabelIndex[static_cast<std::size_t>(entry)]
               : 0;
  }
  void SetDescLabel(std::int32_t entry, std::int32_t label) {
    if (entry < 0) return;
    if (entry >= static_cast<std::int32_t>(descLabelIndex.size()))
      descLabelIndex.resize(static_cast<std::size_t>(entry) + 1, 0);
    descLabelIndex[static_cast<std::size_t>(entry)] = label;
  }
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_ENTRY_STATE_H_
