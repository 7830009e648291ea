#include "form_items.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "entry_lookup.h"
#include "form_item_scan.h"
#include "numbers.h"
#include "string_works.h"
#include "text.h"
#include "value_decode.h"

namespace orvik::client {
namespace {

std::string Str(std::int64_t n) { return std::to_string(n); }

// The text after the whole separator (for one-character separators, as TextAfter).
std::string_view After(std::string_view text, std::string_view separator) {
  const std::size_t at = separator.empty() ? std::string_view::npos : text.find(separator);
  return at == std::string_view::npos ? std::string_view() : text.substr(at + separator.size());
}

bool Holds(std::string_view text, std::string_view part) {
  return !part.empty() && text.find(part) != std::string_view::npos;
}

// "{NULL}" stands for an empty value.
bool IsNullValue(std::string_view value) { return EqualsNoCase(TrimBlanks(value), "{NULL}"); }

bool IsEntryOrGrid(std::string_view type) { return IsEntryType(type) || type == "GRID"; }

class FormItemParser {
 public:
  FormItemParser(ScreenModel& model, ShellContext& shell)
      : m_(model),
        spec_(model.entrySpec),
        st_(model.items),
        shell_(shell),
        settings_(shell.settings),
        newForm_(model.states.msFormState == state::kFunction) {}

  void Run(std::string& tx) {
    PrepareFormText(tx, m_, shell_);
    std::vector<FormItem> items = ScanFormItems(tx, m_, shell_);
    if (newForm_) {
      StartNewForm(items);
    } else if (m_.states.msFormState == state::kRefresh) {
      StartRefresh();
    } else if (!StartUpdate(tx, items)) {
      return;
    }
    for (std::size_t k = 0; k < items.size(); ++k) {
      if (!Item(k, items)) break;
    }
    if (tableFull_) {
      shell_.Box("ERROR: Form has more than " + Str(kEntryRows) +
                 " items; OrvikLink shows the first " + Str(kEntryRows) + ".");
    }
    if (newForm_) NumberEntries();
    Finish();
  }

 private:
  std::int32_t Num(std::int32_t row, std::int32_t attribute) const {
    return LongOf(spec_.Get(row, attribute));
  }
  const std::string& Type(std::int32_t row) const { return spec_.Get(row, 1); }
  void Changed(std::int32_t row) { spec_.Set(row, 12, "Y"); }

  // The next row of the table, or 0 when all 200 are in use (a write to row 0 is ignored).
  std::int32_t NewRow() {
    if (st_.entryRowCount >= kEntryRows) {
      tableFull_ = true;
      return 0;
    }
    return ++st_.entryRowCount;
  }
  void FewerRows() { st_.entryRowCount = std::max(st_.entryRowCount - 1, 0); }
  void DropRow(std::int32_t row) {
    spec_.ClearRow(row);
    FewerRows();
    if (!newForm_) --entryCounter_;
  }
  void SeeAction(std::int32_t code) {
    st_.lastActionCode = code;
    st_.maxActionCode = std::max(st_.maxActionCode, code);
  }

  // --- The three situations ---------------------------------------------------------------

  void StartNewForm(std::vector<FormItem>& items) {
    const std::string* style =
        m_.layout.msFormStyle.empty() ? nullptr : shell_.styles.Find(m_.layout.msFormStyle);
    if (!style) style = shell_.styles.Find("fdefault");
    st_.styleFields = SplitStyleRecord(style ? *style : std::string());

    st_.autoFieldNumber = 79;
    m_.grid.tag = "-1";
    m_.grid.visible = false;
    st_.openType.clear();
    st_.openCount = 1;
    m_.gridArea.mnGridRows = 0;
    m_.gridArea.mnGridRowTopAssoc = 0;
    m_.gridArea.msGridAssocCols.clear();
    m_.layout.msGridType = m_.layout.mbGuiPlus ? "GUIPLUS" : "INTEG";
    st_.miEntryNew = 0;
    st_.textEntriesUsed = 0;
    st_.labelCount = 0;
    st_.maxActionCode = -1;
    st_.lastActionCode = -1;
    st_.gridEntryCol = 0;
    if (SafeBool(st_.styleFields[3]) && !st_.autoHeaderDone) AutoHeader(items);
    // Row 1 is the header's, row 2 stays free.
    st_.entryRowCount = 2;
  }

  // The first texts placed on lines 0 to 2 make the header of a form that sends none.
  void AutoHeader(std::vector<FormItem>& items) {
    FormItem* header = nullptr;
    int lines = 0;
    for (FormItem& item : items) {
      const bool text = !TrimBlanks(item.tail).empty();
      if (item.Type() == "POSITION" && item.top < 3 && text) {
        if (++lines > 3) return;
        if (!header) {
          item.text = "FORMHEADER";
          header = &item;
          st_.autoHeaderDone = true;
        } else {
          item.text = "IGNORE";
          header->tail += "," + item.tail;
        }
      } else if (text && item.top >= 3) {
        return;
      }
    }
  }

  // The skeleton stays (header, grid, fixed labels, buttons), the values go, the rest of the
  // labels go.
  void StartRefresh() {
    st_.openType.clear();
    st_.openCount = 1;
    m_.gridArea.mnGridRows = 0;
    m_.gridArea.mnGridRowTopAssoc = 0;
    m_.gridArea.msGridAssocCols.clear();
    st_.miEntryNew = st_.formEntryNew;
    for (std::int32_t row = 1; row <= kEntryRows;) {
      const std::string type = Type(row);
      if (type == "/TX") {
        st_.entryRowCount = row - 1;
        for (std::int32_t r = row; r <= kEntryRows; ++r) spec_.ClearRow(r);
        break;
      }
      if (type == "FORMHEADER" || type == "GRID" || type == "GRIDCOL" || type == "COMMAND" ||
          (type == "LABEL" && spec_.Get(row, 3) == "FIXED")) {
        Changed(row);
      } else if (type == "TEXTBOX" || type == "CHECK" || type == "COMBO") {
        spec_.Set(row, 4, "");
        Changed(row);
      } else if (type == "LABEL") {
        spec_.RemoveRow(row, kEntryRows);
        FewerRows();
        continue;
      }
      ++row;
    }
    entryCounter_ = 0;
  }

  // False when there is no form to update.
  bool StartUpdate(const std::string& tx, std::vector<FormItem>& items) {
    entryCounter_ = st_.lastEntryNumber;
    if (st_.entryRowCount == 0) {
      shell_.Box("ERROR! Server is attempting to UPDATE a form that does not exist");
      st_.entryRowCount = 2;
      return false;
    }
    if (Type(st_.entryRowCount) != "/TX") {
      shell_.Box("ERROR: Form update signal is bad, please END or DIAGNOSE if possible.");
    } else if (tx.find("GRIDCELL") == std::string::npos) {
      // New items follow the existing ones.
      spec_.Set(st_.entryRowCount, 1, "");
      FewerRows();
    }
    for (FormItem& item : items) {
      if (item.Type() == "/TX") break;
      if (item.Type() == "POSITION" && item.top < 2 && item.action < 0) {
        item.text = "HEADER_POSITION_IGNORE";
      }
    }
    return true;
  }

  // --- The items ---------------------------------------------------------------------------

  // False when the item ends the loop.
  bool Item(std::size_t k, std::vector<FormItem>& items) {
    const FormItem& item = items[k];
    const std::string_view type = item.Type();
    if (type == "POSITION" || type == "SETFOCUS") {
      PlacedText(item);
    } else if (IsEntryType(type)) {
      Entry(k, items);
    } else if (type == "FORMHEADER" || type == "FH") {
      spec_.Set(1, 1, "FORMHEADER");
      for (std::int32_t n = 1; n <= 3; ++n)
        spec_.Set(1, 3 + n, shell_.fns.Field(item.tail, ",", n));
      Changed(1);
    } else if (type == "GRID") {
      Grid(item);
    } else if (type == "GRIDCOL") {
      GridColumn(item);
    } else if (type == "GRIDCELL") {
      GridCell(item);
    } else if (type == "GRID.CLEAR") {
      m_.grid.Clear();
    } else if (type == "MSGBOX") {
      if (!m_.states.msState.starts_with(state::kMsgBoxPrefix)) {
        m_.texts.msDialog = item.tail;
        const std::string boxType = item.Attribute("TYPE");
        m_.texts.msDialogType = boxType.empty() ? "OKONLY" : boxType;
      }
    } else if (type == "DO_POPUP") {
      const std::int32_t row = NewRow();
      spec_.Set(row, 1, "DO_POPUP");
      spec_.Set(row, 2, item.Attribute("INDEX"));
      Changed(row);
    } else if (type == "ACTIONCODE") {
      st_.mbActionCode = true;
    } else if (type == "STEPOPEN") {
      st_.openType = UpperCase(item.Attribute("TYPE"));
      st_.openCount = 0;
    } else if (type == "FULLOPEN") {
      st_.openType.clear();
      st_.openCount = st_.lastEntryNumber;
    } else if (type == "PROGRAM") {
      m_.layout.msProgramPrevious = m_.layout.msPickProgram;
      const std::string name = item.Attribute("NAME");
      const std::string_view tail = TrimBlanks(item.tail);
      m_.layout.msPickProgram = name.empty() && !tail.empty() ? std::string(tail) : name;
    } else if (type == "/TX") {
      const std::int32_t row = NewRow();
      spec_.Set(row, 1, "/TX");
      Changed(row);
      return false;
    }
    return true;
  }

  // A placed text: a new value or the focus for an item already on the form, or a label.
  void PlacedText(const FormItem& item) {
    std::int32_t match = 0;
    for (std::int32_t row = st_.entryRowCount; row >= 2; --row) {
      const bool found = item.action < 0 ? ItemStandsAt(spec_, row, item.top, item.left)
                                         : !spec_.Get(row, 2).empty() &&
                                               Val(spec_.Get(row, 2)) == item.action &&
                                               Val(spec_.Get(row, 9)) == item.sub;
      if (found) {
        match = row;
        break;
      }
    }
    if (match == 0) {
      const std::int32_t row = NewRow();
      if (row == 0) return;
      WriteLabel(row, item, ++st_.labelCount);
      return;
    }
    const std::string type = Type(match);
    if (IsEntryType(type)) {
      if (!item.tail.empty()) {
        SetValue(match, type, IsNullValue(item.tail) ? std::string() : item.tail);
        Changed(match);
      }
      focus_ = Num(match, 10);
      SeeAction(Num(match, 2));
      if (item.Type() == "SETFOCUS") st_.focusRequest = true;
    } else if (type == "LABEL" && !item.tail.empty()) {
      // The label takes its new text where it stands, keeping its row and its number, so
      // that no row below it moves and every entry keeps the row its control points at.
      WriteLabel(match, item, Num(match, 10));
    }
  }

  void SetValue(std::int32_t row, const std::string& type, std::string value) {
    if (type == "CHECK") {
      spec_.Set(row, 4, CheckValue(value));
      return;
    }
    const std::string& current = spec_.Get(row, 4);
    const std::string& list = settings_.guiPlusDelimiter;
    const std::string& rx = settings_.rxDelimiter;
    if (type == "COMBO" && Holds(current, list) && !Holds(value, list)) {
      // A new current value for a combo keeps the combo's list.
      std::string combined = std::string(TextBefore(value, rx)) + list +
                             std::string(After(TextBefore(current, rx), list));
      if (Holds(value, rx)) combined += rx + std::string(After(value, rx));
      value = std::move(combined);
    }
    spec_.Set(row, 4, std::move(value));
  }

  void WriteLabel(std::int32_t row, const FormItem& item, std::int32_t number) {
    spec_.Set(row, 1, "LABEL");
    spec_.Set(row, 4, item.tail);
    if (newForm_) spec_.Set(row, 3, "FIXED");
    spec_.Set(row, 5, Str(item.top));
    spec_.Set(row, 6, Str(item.left));
    spec_.Set(row, 7, item.tail.size() < 18 ? "20" : "AUTO");
    spec_.Set(row, 10, Str(number));
    Changed(row);
  }

  // A check box's value as "1" or "0" (then the description), from the texts the setting
  // CHECK names for ticked and unticked.
  std::string CheckValue(const std::string& value) const {
    const std::string& rx = settings_.rxDelimiter;
    const std::string code(TextBefore(value, rx));
    const std::string rest = value.substr(code.size());
    if (!settings_.check.empty()) {
      const std::string& list = settings_.guiPlusDelimiter;
      if (code == TextBefore(settings_.check, list)) return "1" + rest;
      if (code == After(settings_.check, list)) return "0" + rest;
    }
    return code.empty() ? "0" + value : value;
  }

  void Entry(std::size_t k, const std::vector<FormItem>& items) {
    const FormItem& item = items[k];
    const FormItem* position = nullptr;
    for (std::size_t j = k; j-- > 0;) {
      if (items[j].text.starts_with("POSITION")) {
        position = &items[j];
        break;
      }
    }
    if (!position) return;
    const std::int32_t r = NewRow();
    if (r == 0) return;
    const std::string type(item.Type());
    spec_.Set(r, 1, type);

    std::int32_t action = item.action;
    std::int32_t sub = item.sub;
    std::int32_t left = item.left;
    if (position->action >= 0) {
      action = position->action;
      if (position->sub >= 1) sub = position->sub;
      if (position->left >= 1) left = position->left;
    }
    if (action < 0) {
      spec_.Set(r, 2, st_.maxActionCode == -1 ? "140" : Str(st_.maxActionCode));
      spec_.Set(r, 9, Str(++st_.autoFieldNumber));
    } else {
      spec_.Set(r, 2, Str(action));
      SeeAction(action);
    }
    const std::string etype = item.Attribute("ETYPE");
    spec_.Set(r, 3, etype.empty() ? "1" : etype);
    if (!newForm_) spec_.Set(r, 10, Str(++entryCounter_));
    if (sub > 0) {
      spec_.Set(r, 9, Str(sub));
      const std::int32_t code = Num(r, 2);
      if (sub > 1 && sub > m_.subActions.Get(code, 1)) m_.subActions.Set(code, 1, sub);
    }
    spec_.Set(r, 5, position->top == -1 ? "" : Str(position->top));
    spec_.Set(r, 6, position->left == -1 ? "" : Str(position->left));
    spec_.Set(r, 7, item.Attribute("WIDTH"));
    spec_.Set(r, 11, item.Attribute("MAXLENGTH"));
    if (type == "CHECK") {
      spec_.Set(r, 4, CheckValue(item.tail));
    } else {
      spec_.Set(r, 4, item.tail.empty() ? position->tail : item.tail);
      if (type == "COMMAND" && spec_.Get(r, 4).empty()) spec_.Set(r, 4, "More...");
    }
    ApplyEnabled(r, item);
    Changed(r);
    if (type == "TEXTBOX") {
      const std::string align = item.Attribute("ALIGNMENT");
      spec_.SetAlignment(r, align == "RIGHT"                           ? "1"
                            : (align == "CENTRE" || align == "CENTER") ? "2"
                                                                       : "0");
    }
    if (!JoinEarlierRow(r, item, action, left)) return;
    Rows(item);
  }

  // ENABLED=FALSE disables the entry (a negative ETYPE), ENABLED=TRUE enables it.
  void ApplyEnabled(std::int32_t row, const FormItem& item) {
    const std::string enabled = item.Attribute("ENABLED");
    const std::int64_t etype = std::abs(std::int64_t{Num(row, 3)});
    if (enabled == "FALSE") spec_.Set(row, 3, Str(-etype));
    if (enabled == "TRUE") spec_.Set(row, 3, Str(etype));
  }

  // Two entries stand at the same place: the same line, columns at most 2 apart. An entry
  // placed nowhere (no TOP or LEFT) stands beside nothing.
  bool SamePlace(std::int32_t a, std::int32_t b) const {
    for (std::int32_t row : {a, b}) {
      if (spec_.Get(row, 5).empty() || spec_.Get(row, 6).empty()) return false;
    }
    return Val(spec_.Get(a, 5)) == Val(spec_.Get(b, 5)) &&
           std::abs(Val(spec_.Get(a, 6)) - Val(spec_.Get(b, 6))) <= 2;
  }

  // The new entry in row r may open a grid column, pair with a NOMINATE entry, or replace
  // an entry already there. True when row r stays a row of its own.
  bool JoinEarlierRow(std::int32_t r, const FormItem& item, std::int32_t action,
                      std::int32_t left) {
    for (std::int32_t e = r - 1; e >= 1; --e) {
      const std::string type = Type(e);
      if (type == "GRIDCOL" && Val(spec_.Get(st_.gridSpecRow, 2)) == action &&
          Val(spec_.Get(e, 9)) == left) {
        if (Val(spec_.Get(r, 3)) >= 1) {
          focus_ = Num(st_.gridSpecRow, 10);
          st_.focusRequest = true;
          st_.gridEntryCol = left;
        }
        DropRow(r);
        return false;
      }
      if (!IsEntryOrGrid(type)) continue;
      if (spec_.Get(e, 2) == "0" && spec_.Get(r, 2) == "0") {
        NominatePair(e, r);
        return Type(r) != "";
      }
      if ((spec_.Get(e, 2) == spec_.Get(r, 2) && spec_.Get(e, 9) == spec_.Get(r, 9)) ||
          SamePlace(e, r)) {
        Replace(e, r, item);
        return false;
      }
    }
    return true;
  }

  // A NOMINATE entry and a second entry of code 0: side by side they are one code-and-
  // description entry; elsewhere both stay and the first is disabled.
  void NominatePair(std::int32_t e, std::int32_t r) {
    if (SamePlace(e, r)) {
      spec_.Set(e, 3, "3");
      focus_ = Num(e, 10);
      DropRow(r);
    } else {
      spec_.Set(e, 3, "-3");
      focus_ = Num(r, 10);
    }
    Changed(e);
    std::string& formState = m_.states.msFormState;
    if (formState != state::kFunction && formState != state::kRefresh) {
      formState = state::kNominate;
    }
    st_.focusRequest = true;
  }

  // Row r's entry takes the place of the entry in row e.
  void Replace(std::int32_t e, std::int32_t r, const FormItem& item) {
    const bool wasGrid = Type(e) == "GRID";
    const bool updateOnly = Val(spec_.Get(r, 3)) >= 80;
    for (std::int32_t a = 1; a <= 11; ++a) {
      if (a == 10 || (updateOnly && (a == 2 || a == 3 || a == 9))) continue;
      if (!spec_.Get(r, a).empty()) spec_.Set(e, a, spec_.Get(r, a));
    }
    if (updateOnly) ApplyEnabled(e, item);
    spec_.SetAlignment(e, spec_.Alignment(r));
    Changed(e);
    if (newForm_) {
      SeeAction(Num(e, 2));
    } else if (Val(spec_.Get(e, 3)) < 80) {
      focus_ = Num(e, 10);
    }
    if (wasGrid) {
      m_.grid.Clear();
      shell_.DevBox(
          "DEVELOPER's MESSAGE: you have just defined a new Entry Control with the same Action "
          "Code as your existing GRID.  The effect of this is to erase the Grid and replace it "
          "with the new " +
              std::string(item.Type()) + ".",
          BoxIcon::kExclamation);
      m_.grid.visible = false;
    }
    DropRow(r);
  }

  // ROWS=n on a new form: the entry becomes a group of n rows, one line each.
  void Rows(const FormItem& item) {
    const std::int32_t rows = LongOf(item.Attribute("ROWS"));
    if (!newForm_ || rows < 2) return;
    const std::int32_t first = st_.entryRowCount;
    m_.subActions.Set(Num(first, 2), 1, rows);
    spec_.Set(first, 9, "1");
    const std::int32_t top = Num(first, 5);
    for (std::int32_t n = 2; n <= rows; ++n) {
      const std::int32_t row = NewRow();
      if (row == 0) return;
      for (std::int32_t a = 1; a <= 11; ++a) spec_.Set(row, a, spec_.Get(first, a));
      spec_.SetAlignment(row, spec_.Alignment(first));
      spec_.Set(row, 5, Str(std::int64_t{top} + n - 1));
      spec_.Set(row, 9, Str(n));
      Changed(row);
    }
  }

  void Grid(const FormItem& item) {
    const std::int32_t g = NewRow();
    if (g == 0) return;
    if (!newForm_) spec_.Set(g, 10, Str(++entryCounter_));
    spec_.Set(g, 1, "GRID");
    const std::string code = item.Attribute("ACTION");
    spec_.Set(g, 2, code);
    SeeAction(LongOf(code));
    const std::string top = item.Attribute("TOP");
    spec_.Set(g, 5, top);
    spec_.Set(g, 7, item.Attribute("WIDTH"));
    st_.gridWidthSum = 6;
    spec_.Set(g, 8, item.Attribute("HEIGHT"));
    Changed(g);
    st_.gridSpecRow = g;

    GridArea& area = m_.gridArea;
    area.mnGridRowTopAssoc = LongOf(item.Attribute("TOPASSOC"));
    if (area.mnGridRowTopAssoc < 1) {
      area.mnGridRowTopAssoc = LongOf(Val(top) + 1);
    } else {
      const std::int32_t dialogLineAbove = settings_.dialogLine - 1;
      area.mnGridRowBottomAssoc = LongOf(item.Attribute("BOTTOMASSOC"));
      if (area.mnGridRowBottomAssoc == 0) area.mnGridRowBottomAssoc = dialogLineAbove;
      if (area.mnGridRowBottomAssoc < area.mnGridRowTopAssoc) {
        shell_.Box("WARNING: GRID definition does not make sense!  \r\nThe top line is " +
                       Str(area.mnGridRowTopAssoc) + "\r\nand the bottom line is " +
                       Str(area.mnGridRowBottomAssoc) +
                       " which means your bottom is\r\nabove your top.  OrvikLink will ignore "
                       "this bottom and try to work it out from other data.",
                   BoxIcon::kExclamation);
        area.mnGridRowBottomAssoc = dialogLineAbove;
      }
    }

    GridFont& font = m_.grid.font;
    const double size = Val(item.Attribute("FONT.SIZE"));
    font.size = size > 0 ? size : 0.9 * m_.layout.font.size;
    font.bold = item.Attribute("FONT.BOLD") != "FALSE";
    const std::string name = item.Attribute("FONT.NAME");
    font.name = name.empty() ? "MS Sans Serif" : name;
    const std::string scrollBars = item.Attribute("SCROLLBARS");
    m_.grid.scrollBars = scrollBars.empty() ? 2 : LongOf(scrollBars);

    const std::string type = item.Attribute("TYPE");
    if (!type.empty()) m_.layout.msGridType = type;
    const std::string& gridType = m_.layout.msGridType;
    if (gridType == "INTEG" || gridType.empty()) m_.grid.highlight = 1;
    if (gridType == "READONLY" || gridType == "GUIPLUS") m_.grid.highlight = 0;
  }

  void GridColumn(const FormItem& item) {
    const std::int32_t c = NewRow();
    if (c == 0) return;
    spec_.Set(c, 1, "GRIDCOL");
    spec_.Set(c, 9, Str(++gridColumn_));
    const std::string etype = item.Attribute("ETYPE");
    // The column after a code-and-description column shows that column's description.
    const bool description = std::abs(Val(spec_.Get(c - 1, 3))) >= 3;
    spec_.Set(c, 3, description ? "0" : etype.empty() ? "1" : etype);
    spec_.Set(c, 5, item.Attribute("ALIGN"));
    spec_.Set(c, 4, item.tail);
    const std::string width = item.Attribute("WIDTH");
    spec_.Set(c, 7, width);
    st_.gridWidthSum = LongOf(static_cast<double>(st_.gridWidthSum) + LongOf(width));
    Changed(c);
  }

  void GridCell(const FormItem& item) {
    GridModel& grid = m_.grid;
    const std::int32_t top = item.top;
    // The titles, the row numbers and the columns the grid does not have are not the
    // engine's to write: such a cell is left out rather than failing the screen.
    if (top < 1 || item.left < 1 || item.left >= grid.Cols()) return;
    if (top >= grid.Rows() - 1 && !item.tail.empty()) {
      // The engine writes below the last row: the grid grows by numbered rows.
      const std::int32_t before = grid.Rows();
      grid.SetRows(top + 2);
      ++m_.gridArea.mnGridRows;
      for (std::int32_t r = before; r <= top + 1; ++r) {
        grid.SetRow(r);
        grid.SetCol(0);
        grid.SetText(Str(std::int64_t{r}));
        grid.SetCellAlignment(kAlignRightCentre);
      }
    }
    if (top >= grid.Rows()) return;
    grid.SetRow(top);
    grid.SetCol(item.left);
    const std::string& rx = settings_.rxDelimiter;
    if (Holds(item.tail, rx)) {
      grid.SetText(std::string(TextBefore(item.tail, rx)));
      if (item.left + 1 < grid.Cols())
        grid.SetTextMatrix(top, item.left + 1, std::string(After(item.tail, rx)));
    } else if (!item.tail.empty()) {
      grid.SetText(IsNullValue(item.tail) ? std::string() : item.tail);
    }
    if (m_.layout.msGridType != "READONLY") {
      spec_.Set(st_.gridSpecRow, 4, grid.Text());
      focus_ = Num(st_.gridSpecRow, 10);
      st_.focusRequest = true;
    }
  }

  // --- Numbering and focus -----------------------------------------------------------------

  // A new form's entries are numbered in the order of their action codes, then field
  // numbers, then rows: 0 on when the first code is 0, else 1 on.
  void NumberEntries() {
    struct Key {
      std::int32_t action, field, row;
      auto operator<=>(const Key&) const = default;
    };
    std::vector<Key> keys;
    for (std::int32_t row = 1; row <= st_.entryRowCount; ++row) {
      if (IsEntryOrGrid(Type(row))) keys.push_back({Num(row, 2), Num(row, 9), row});
    }
    std::sort(keys.begin(), keys.end());
    if (keys.empty()) return;
    std::int32_t number = keys.front().action == 0 ? 0 : 1;
    for (const Key& key : keys) {
      spec_.Set(key.row, 10, Str(number));
      if (key.action == st_.lastActionCode && key.field < 80) focus_ = number;
      ++number;
    }
  }

  void Finish() {
    if (focus_ >= 0) st_.miEntryNew = focus_;
    if (m_.states.msState == state::kFormSendActionCode) st_.focusRequest = false;
    if (newForm_) st_.formEntryNew = st_.miEntryNew;
  }

  ScreenModel& m_;
  EntrySpecTable& spec_;
  ItemParserState& st_;
  ShellContext& shell_;
  const ClientSettings& settings_;
  const bool newForm_;
  std::int64_t entryCounter_ = 0;  // the last entry number given, on forms that are not new
  std::int32_t gridColumn_ = 0;
  std::int32_t focus_ = -1;  // the entry to receive the focus
  bool tableFull_ = false;
};

}  // namespace

void FormItemsFunction(std::string& tx, ScreenModel& model, ShellContext& shell) {
  FormItemParser(model, shell).Run(tx);
}

}  // namespace orvik::client
