// The screen form's fixed controls as records: the three form-header labels across the top
// and the function buttons. The core decides what they show; the widget form mirrors the
// records into its widgets after each core call.
//
// Plain data of one screen form, GUI thread only. Geometry is in twips; colours are the
// client's colour values.

#ifndef ORVIK_CLIENT_CORE_FORM_CONTROLS_H_
#define ORVIK_CLIENT_CORE_FORM_CONTROLS_H_

#include <array>
#include <cstdint>
#include <string>

#include "colours.h"

namespace orvik::client {

struct ControlRecord {
  bool visible = false;
  bool enabled = true;
  double left = 0;
  double top = 0;
  double width = 0;
  double height = 0;
  std::string caption;
  std::int32_t backColour = 0xFFFFFF;
  std::int32_t foreColour = 0;

  bool operator==(const ControlRecord&) const = default;
};

struct FormControls {
  FormControls() {
    for (ControlRecord& label : formHeader) {
      label.backColour = Rgb(128, 0, 0);  // QBColor(4), as the labels were designed
      label.foreColour = Rgb(255, 255, 255);
    }
  }

  std::array<ControlRecord, 3> formHeader;  // lblFormHeader(0..2)
  // cmdFnExit, cmdFnQuit, cmdFnFile, cmdFnScreenPrint, cmdFnSearch
  ControlRecord fnExit;
  ControlRecord fnQuit;
  ControlRecord fnFile;
  ControlRecord fnScreenPrint;
  ControlRecord fnSearch;
  bool fnQuitIsCancel = false;  // Esc presses cmdFnQuit
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_FORM_CONTROLS_H_
