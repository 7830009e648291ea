// The screen form's model of what the engine asked it to show: the item table EntrySpec,
// the sub-action counts, five popup slots, the grid cell records, the grid itself, the state
// strings, and the variables of the form's layout, grid area and item parser.
//
// One model per screen form (a sub-form has its own), used on the GUI thread only. The
// transmission readers fill it, the drawers and input handlers work on it; it holds no
// widget. Every access is bounds-checked, so a bad transmission can never reach memory
// outside a table: EntrySpec reads "" and ignores writes outside its rows and attributes,
// as its property always did; the other tables throw VbError 9 (subscript out of range),
// which the dispatcher turns into its step down to terminal mode.

#ifndef ORVIK_CLIENT_CORE_SCREEN_MODEL_H_
#define ORVIK_CLIENT_CORE_SCREEN_MODEL_H_

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "form_font.h"
#include "grid_model.h"
#include "screen_states.h"
#include "styles.h"

namespace orvik::client {

inline constexpr std::int32_t kEntryRows = 200;
inline constexpr std::int32_t kEntryAttributes = 13;  // the 13th is the text box alignment

// EntrySpec: 200 rows of 13 text attributes, both counted from 1.
class EntrySpecTable {
 public:
  // The public property: rows 1..200, attributes 1..12; "" and no change elsewhere.
  const std::string& Get(std::int32_t row, std::int32_t attribute) const;
  void Set(std::int32_t row, std::int32_t attribute, std::string text);
  // Attribute 13, which only the form itself reads and writes.
  const std::string& Alignment(std::int32_t row) const;
  void SetAlignment(std::int32_t row, std::string text);

  // Empties attributes 1..13 of the row.
  void ClearRow(std::int32_t row);
  // The rows below `row`, up to `last`, move up one; row `last` is emptied.
  void RemoveRow(std::int32_t row, std::int32_t last);

 private:
  static bool Inside(std::int32_t row, std::int32_t attribute);
  using Row = std::array<std::string, kEntryAttributes>;
  std::array<Row, kEntryRows> rows_;
};

// SubActions: (0..200, 1..2) whole numbers.
class SubActionTable {
 public:
  std::int32_t Get(std::int32_t i, std::int32_t j) const;
  void Set(std::int32_t i, std::int32_t j, std::int32_t value);

 private:
  std::array<std::array<std::int32_t, 2>, kEntryRows + 1> cells_{};
};

// Popup(1..5): the text of each popup block of the last transmission.
class PopupSlots {
 public:
  static constexpr std::int32_t kSlots = 5;
  const std::string& Get(std::int32_t i) const;
  void Set(std::int32_t i, std::string text);

 private:
  std::array<std::string, kSlots> slots_;
};

// The grid cell records: one instruction each for one cell of the grid, numbered from 1.
struct GridCellRec {
  std::string cellAction;  // ENTRY, READONLY, EXTERNAL, DO_POPUP, or "" in a fresh record
  std::int32_t col = 0;
  std::int32_t row = 0;  // for EXTERNAL: the EntrySpec row of an entry outside the grid
  std::string cellText;  // for DO_POPUP: the popup slot
};

class GridCellRecords {
 public:
  // More records than a transmission can describe; a write past it is subscript error 9.
  static constexpr std::int32_t kMaxRecords = 1 << 20;

  GridCellRecords() { muGridRedim(); }
  // Back to one empty record.
  void muGridRedim() {
    records_.assign(1, GridCellRec{});
    ++generation_;
  }
  // Counts the redims: a new count is a new transmission's records.
  std::uint32_t Generation() const { return generation_; }
  std::int32_t UpperBound() const { return static_cast<std::int32_t>(records_.size()); }

  // Reads of records 1..UpperBound; writes from 1 on, growing the table to i and keeping
  // the records before it.
  const std::string& CellAction(std::int32_t i) const { return Read(i).cellAction; }
  std::int32_t Col(std::int32_t i) const { return Read(i).col; }
  std::int32_t Row(std::int32_t i) const { return Read(i).row; }
  const std::string& CellText(std::int32_t i) const { return Read(i).cellText; }
  void SetCellAction(std::int32_t i, std::string v) { Write(i).cellAction = std::move(v); }
  void SetCol(std::int32_t i, std::int32_t v) { Write(i).col = v; }
  void SetRow(std::int32_t i, std::int32_t v) { Write(i).row = v; }
  void SetCellText(std::int32_t i, std::string v) { Write(i).cellText = std::move(v); }

 private:
  const GridCellRec& Read(std::int32_t i) const;
  GridCellRec& Write(std::int32_t i);
  std::vector<GridCellRec> records_;
  std::uint32_t generation_ = 0;
};

// What the form tag parser reads from the FORM tag and a menu's items.
struct FormLayout {
  std::int32_t mnColumns = 1;  // menu columns
  bool mbMenuHeader = false;
  bool mbCondensed = false;
  std::int32_t mCX = 0;  // terminal character cell, twips
  std::int32_t mCY = 0;
  std::string msFormScreen;   // "BOX" or "FULL"
  std::int32_t mnBoxTop = 0;  // character cells
  std::int32_t mnBoxLeft = 0;
  std::int32_t mnBoxWidth = 0;
  std::int32_t mnBoxHeight = 0;
  bool mbGuiPlus = false;
  std::string msGridType;  // "GUIPLUS", "INTEG" or "READONLY"
  std::string msFormStyle;
  std::string msPickProgram;  // the engine's program of this screen, and the one before
  std::string msProgramPrevious;
  FormFont font;
  bool firstEntryBold = true;  // the font of the first entry text box
};

// Where the grid's rows and columns stand on the 80 by 26 terminal raster, learnt from the
// engine's positions, and how many rows the engine has filled or added.
struct GridArea {
  std::int32_t mnGridRows = 0;
  std::string msGridAssocCols;  // attribute n: the terminal column of grid column n
  std::int32_t mnGridRowTopAssoc = 0;
  std::int32_t mnGridRowBottomAssoc = 0;
};

// Texts handed to the terminal, the search list and the message boxes.
struct ScreenTexts {
  std::string msData;
  std::string msDialog;
  std::string msDialogType;
};

// What the form item parser keeps between transmissions, and the counters of the data-entry
// layout and entry handling that it reads or resets.
struct ItemParserState {
  std::int32_t entryRowCount = 0;  // EntrySpec rows in use
  std::int32_t maxActionCode = -1;
  std::int32_t lastActionCode = -1;
  std::int32_t autoFieldNumber = 79;
  std::int32_t labelCount = 0;
  std::int32_t formEntryNew = 0;
  std::string openType;  // STEPOPEN TYPE, upper case; "" when fully open
  std::int32_t openCount = 1;
  std::int32_t gridSpecRow = 0;
  std::int32_t gridWidthSum = 0;
  std::int32_t gridEntryCol = 0;
  bool focusRequest = false;
  bool autoHeaderDone = false;
  std::string gridFillText;
  StyleFields styleFields;
  std::int32_t lastEntryNumber = 0;  // kept by the data-entry layout
  std::int32_t textEntriesUsed = 0;  // text box controls handed out on this screen
  std::int32_t miEntryNew = 0;       // the entry to receive the focus
  std::int32_t miFormItem = 0;       // the EntrySpec row of the entry last sent
  bool mbActionCode = false;         // the transmission asks for an action code
};

// The grid cell the grid entry code last entered, and whether its row changed.
struct GridCursor {
  std::int32_t editRow = 0;
  std::int32_t editCol = 0;
  bool rowChanged = false;
};

struct ScreenModel {
  EntrySpecTable entrySpec;
  SubActionTable subActions;
  PopupSlots popups;
  GridCellRecords gridCells;
  GridModel grid;
  ScreenStates states;
  ScreenTexts texts;
  FormLayout layout;
  GridArea gridArea;
  ItemParserState items;
  GridCursor gridCursor;
  std::int32_t mnPopups = 0;  // popup windows open
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_SCREEN_MODEL_H_
