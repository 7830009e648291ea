// The search's windows for tests: the pick list, the search-choice dialog and the connection
// dialog answer from a script and keep what they were shown.

#ifndef ORVIK_CLIENT_CORE_TESTING_FAKE_SEARCH_WINDOWS_H_
#define ORVIK_CLIENT_CORE_TESTING_FAKE_SEARCH_WINDOWS_H_

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "connection_settings.h"
#include "pick_list.h"
#include "search_choice.h"

namespace orvik::client {

class FakePickListWindow : public PickListWindow {
 public:
  double ScreenWidth() const override { return screenWidth; }
  double ScreenHeight() const override { return screenHeight; }
  std::string ShowModal(const PickList& list, const PickListPlacement& placement) override {
    shown.push_back(list);
    placements.push_back(placement);
    if (onShow) onShow(list);
    if (picks.empty()) return {};
    std::string pick = picks.front();
    picks.pop_front();
    return pick;
  }

  double screenWidth = 19200;
  double screenHeight = 10800;
  std::deque<std::string> picks;  // "" is a close without a pick; none left: the same
  std::vector<PickList> shown;
  std::vector<PickListPlacement> placements;
  std::function<void(const PickList&)> onShow;  // runs while the list is up
};

class FakeSearchChoiceDialog : public SearchChoiceDialog {
 public:
  SearchChoice ShowModal(const SearchChoiceButtons& buttons) override {
    shown.push_back(buttons);
    if (answers.empty()) return {};
    SearchChoice answer = answers.front();
    answers.pop_front();
    return answer;
  }

  std::deque<SearchChoice> answers;
  std::vector<SearchChoiceButtons> shown;
};

class FakeConnectionDialog : public ConnectionDialog {
 public:
  ConnectionAnswer ShowModal() override {
    ++shown;
    return answer;
  }

  ConnectionAnswer answer;
  int shown = 0;
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_TESTING_FAKE_SEARCH_WINDOWS_H_
