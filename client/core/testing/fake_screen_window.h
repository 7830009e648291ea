// A screen form window for tests: the calls it receives, in order, as short texts.

#ifndef ORVIK_CLIENT_CORE_TESTING_FAKE_SCREEN_WINDOW_H_
#define ORVIK_CLIENT_CORE_TESTING_FAKE_SCREEN_WINDOW_H_

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "screen_window.h"

namespace orvik::client {

class FakeScreenWindow : public ScreenWindow {
 public:
  void SetCaption(const std::string& text) override {
    caption = text;
    Add("caption " + text);
  }
  void SetMaximized() override { Add("maximized"); }
  void Show() override {
    shown = true;
    Add("show");
  }
  void SetEnabled(bool on) override {
    enabled = on;
    Add(on ? "enable" : "disable");
  }
  void LoadFunctionBackground(const std::string& path) override { Add("picture " + path); }
  void ClearBackgroundPicture() override { Add("clear picture"); }
  void PaintBackgroundTile(double x, double y, double w, double h) override {
    char s[96];
    std::snprintf(s, sizeof s, "tile %g,%g %gx%g", x, y, w, h);
    tiles.push_back(s);
  }
  bool LoadFormPicture(const std::string& path) override {
    Add("form picture " + path);
    return pictureLoads;
  }
  void OpenPopup(std::int32_t id, const PopupPicture& picture) override {
    popups[id] = picture;
    Add("popup " + std::to_string(id));
  }
  void ClosePopup(std::int32_t id) override {
    popups.erase(id);
    Add("close popup " + std::to_string(id));
  }
  bool FocusEntryControl(std::int32_t entry) override {
    Add("focus " + std::to_string(entry));
    return true;
  }
  void FocusForm() override { Add("focus form"); }
  void FocusAltSelect(bool selectAll) override {
    Add(selectAll ? "focus selection, selected" : "focus selection");
  }
  std::string AskText(const std::string& prompt) override {
    Add("ask " + prompt);
    return answer;
  }
  // A fixed-pitch measure: each character size x 12 twips wide, lines size x 20 high.
  CharMetrics MeasureText(const FormFont& font, std::string_view text) const override {
    return {font.size * 12 * static_cast<double>(text.size()), font.size * 20};
  }
  bool PrintForm(std::string* error) override {
    Add("print form");
    if (!printError.empty()) *error = printError;
    return printError.empty();
  }
  void ControlsChanged() override { ++controlsChanged; }

  std::vector<std::string> calls;
  std::vector<std::string> tiles;
  std::map<std::int32_t, PopupPicture> popups;  // the popups open, by id
  bool pictureLoads = false;
  std::string answer;  // what an input box is answered
  std::string caption;
  bool shown = false;
  bool enabled = true;
  int controlsChanged = 0;
  std::string printError;  // PrintForm fails with it when it is not empty

 private:
  void Add(std::string call) { calls.push_back(std::move(call)); }
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_TESTING_FAKE_SCREEN_WINDOW_H_
