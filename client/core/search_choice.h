// The search-choice dialog: a search text and how the application should search for it
// ("ANY TEXT", "CUSTOM") or "CANCEL"; which of its buttons show and what the custom one says
// come from the client settings.
//
// GUI thread only. SearchChoiceDialog is implemented by the widgets and by a scripted fake in
// tests; ShowModal blocks in the dialog's own event loop. A dialog closed by its close box
// answers "", which is no choice. Texts are Latin-1 bytes.

#ifndef ORVIK_CLIENT_CORE_SEARCH_CHOICE_H_
#define ORVIK_CLIENT_CORE_SEARCH_CHOICE_H_

#include <optional>
#include <string>

#include "client_settings.h"

namespace orvik::client {

inline constexpr const char* kSearchAnyText = "ANY TEXT";
inline constexpr const char* kSearchCustom = "CUSTOM";
inline constexpr const char* kSearchCancel = "CANCEL";

// The buttons at each activation.
struct SearchChoiceButtons {
  bool anyTextVisible = false;
  bool customVisible = false;
  // The custom button's new caption; none keeps the caption it had.
  std::optional<std::string> customCaption;

  bool operator==(const SearchChoiceButtons&) const = default;
};

SearchChoiceButtons SearchChoiceButtonsOf(const ClientSettings& settings);

struct SearchChoice {
  std::string result;  // kSearchAnyText, kSearchCustom, kSearchCancel or ""
  std::string text;    // txtSearch
};

class SearchChoiceDialog {
 public:
  virtual ~SearchChoiceDialog() = default;
  // The text box starts empty at every showing.
  virtual SearchChoice ShowModal(const SearchChoiceButtons& buttons) = 0;
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_SEARCH_CHOICE_H_
