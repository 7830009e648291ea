#include "search_choice.h"

namespace orvik::client {

SearchChoiceButtons SearchChoiceButtonsOf(const ClientSettings& settings) {
  SearchChoiceButtons buttons;
  buttons.anyTextVisible = !settings.searchTextAny.empty();
  buttons.customVisible = !settings.searchCustom.empty();
  if (!settings.searchCustomCaption.empty()) buttons.customCaption = settings.searchCustomCaption;
  return buttons;
}

}  // namespace orvik::client
