// The screen form's controls as virtual control records: the three form-header labels
// across the top, the function buttons, the grid-row buttons, the entry controls, and the
// controls of a menu screen (its header and selection panels, item and narrative labels,
// navigation list and buttons). The core decides what they show; the widget form mirrors
// the records into its widgets after each core call and turns the widgets' events back
// into the core's handlers.
//
// Plain data of one screen form, GUI thread only. Geometry is in twips: a control inside a
// panel (the menu's header and selection panels) is placed within that panel, every other
// control within the form. Colours are the client's colour values (red + 256 x green +
// 65536 x blue, never a system colour: the core resolves those). Texts are Latin-1 bytes.

#ifndef ORVIK_CLIENT_CORE_FORM_CONTROLS_H_
#define ORVIK_CLIENT_CORE_FORM_CONTROLS_H_

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "colours.h"
#include "form_font.h"

namespace orvik::client {

enum class ControlKind { kLabel, kPanel, kTextBox, kComboBox, kCheckBox, kButton };

// Horizontal placement of a control's text.
enum class TextAlign { kLeft = 0, kRight = 1, kCentre = 2 };

struct ControlRecord {
  ControlKind kind = ControlKind::kLabel;
  std::int32_t index = 0;  // in its control array; 0 for a control of its own
  bool visible = false;
  bool enabled = true;
  bool locked = false;  // a text box that shows but takes no typing
  double left = 0;
  double top = 0;
  double width = 0;
  double height = 0;
  std::string caption;            // a label's or button's caption, a box's text
  std::vector<std::string> list;  // a combo box's entries, top first
  std::int32_t value = 0;         // a check box: 0 clear, 1 ticked
  std::int32_t backColour = 0xFFFFFF;
  std::int32_t foreColour = 0;
  bool opaque = true;  // false: the background shows through (a label's transparent style)
  bool border = false;
  bool wordWrap = false;
  FormFont font{"MS Sans Serif", 8.25, false};
  TextAlign alignment = TextAlign::kLeft;
  std::int32_t tabIndex = 0;
  std::string tag;               // what the form keeps with the control (an item's EntrySpec row)
  bool isDefault = false;        // a button Enter presses
  bool isCancel = false;         // a button Esc presses
  bool front = false;            // brought in front of the other controls
  std::int32_t maxLength = 0;    // a text box's longest text, 0 for no limit
  bool changedByServer = false;  // an entry whose value the engine set ("<&CHANGE>")
  bool selectAll = false;        // the widget selects the whole text when it next shows it

  bool operator==(const ControlRecord&) const = default;
};

// The controls of a menu screen.
struct MenuControls {
  MenuControls();

  // picHeader, across the top; inside it lblNavigate, cboNavigate, cmdBack, cmdForward and
  // chkSA.
  ControlRecord header;
  ControlRecord navigateLabel;
  ControlRecord navigate;
  ControlRecord back;
  ControlRecord forward;
  ControlRecord showCodes;
  // picAltSelect, along the foot; inside it lblALT_SELECT, txtAltSelect, cmdAltOK,
  // cmdAltStart, cmdAltScreenPrint and cmdAltCancel.
  ControlRecord altPanel;
  ControlRecord altLabel;
  ControlRecord altSelect;
  ControlRecord altOk;
  ControlRecord altStart;
  ControlRecord altScreenPrint;
  ControlRecord altCancel;
  // lblItem(1..) and lblET3(1..): element i - 1 is the label of index i.
  std::vector<ControlRecord> items;
  std::vector<ControlRecord> narratives;

  // The item label of index i (1..), or nullptr when it is not loaded.
  ControlRecord* Item(std::int32_t i);
  const ControlRecord* Item(std::int32_t i) const;
  // Loads narrative labels up to index i.
  ControlRecord& Narrative(std::int32_t i);
};

struct FormControls {
  FormControls();

  // Places the menu's panels and the controls in them on a form `width` by `height` twips
  // whose character cell is `cellHeight` high: the header panel across the top, the
  // selection panel along the foot.
  void PlaceMenuPanels(double width, double height, double cellHeight);

  std::array<ControlRecord, 3> formHeader;  // lblFormHeader(0..2)
  // cmdFnExit, cmdFnQuit, cmdFnFile, cmdFnScreenPrint, cmdFnSearch
  ControlRecord fnExit;
  ControlRecord fnQuit;
  ControlRecord fnFile;
  ControlRecord fnScreenPrint;
  ControlRecord fnSearch;
  bool fnQuitIsCancel = false;           // Esc presses cmdFnQuit
  std::array<ControlRecord, 3> gridRow;  // cmdGridRow(0..2): insert, delete, update a row
  std::array<ControlRecord, 2> titles;   // lblTitle1, lblTitle2
  // EntryControls: the control of each entry number, element 0 included; each one's tag is
  // its EntrySpec row. The data-entry layout fills it.
  std::vector<ControlRecord> entries;
  MenuControls menu;

  // The form itself: its back colour and background picture (a path; "" for none).
  std::int32_t backColour = 0xFFFFFF;
  std::string picture;
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_FORM_CONTROLS_H_
