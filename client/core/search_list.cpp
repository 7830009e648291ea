#include "search_list.h"

#include <algorithm>
#include <cmath>

#include "grid_model.h"
#include "markup.h"
#include "numbers.h"
#include "string_works.h"
#include "tag_attribute.h"
#include "text.h"

namespace orvik::client {
namespace {

// The most values a pick list holds, as many as the grid's cells: a transmission of many
// columns and many short rows would otherwise fill memory with empty values.
constexpr std::size_t kMaxListCells = GridModel::kMaxCells;

// The alignment word, compared exactly: lower case is no alignment.
std::optional<ColumnAlignment> AlignmentOf(const std::string& word) {
  if (word == "LEFT") return ColumnAlignment::kLeft;
  if (word == "RIGHT") return ColumnAlignment::kRight;
  if (word == "CENTRE" || word == "CENTER") return ColumnAlignment::kCentre;
  return std::nullopt;
}

std::vector<std::string> CutAt(std::string_view text, const std::string& delimiter) {
  std::vector<std::string> values;
  if (delimiter.empty()) {
    values.emplace_back(text);
    return values;
  }
  std::size_t from = 0;
  for (;;) {
    const std::size_t at = text.find(delimiter, from);
    values.emplace_back(text.substr(from, at == std::string_view::npos ? at : at - from));
    if (at == std::string_view::npos) return values;
    from = at + delimiter.size();
  }
}

// The search entry goes back to -1 however the search ends, so that a failed search never
// hands its entry to the next one.
class EntryReset {
 public:
  explicit EntryReset(std::int32_t& entry) : entry_(entry) {}
  ~EntryReset() { entry_ = -1; }
  EntryReset(const EntryReset&) = delete;
  EntryReset& operator=(const EntryReset&) = delete;

 private:
  std::int32_t& entry_;
};

}  // namespace

PickList ReadSearchList(std::string_view data, const ClientSettings& settings, double cellWidth) {
  PickList list;
  for (const MarkupItem& item : MarkupItems(data)) {
    std::string body(item.body);
    if (settings.tagSeparator == ',') std::replace(body.begin(), body.end(), ',', ' ');
    const std::string word = UpperCase(FirstWord(body));
    if (word == "FORM") {
      list.caption = TrimBlanks(item.tail).empty() ? "Search" : std::string(item.tail);
    } else if (word == "COLUMN") {
      PickListColumn column;
      column.title = std::string(item.tail);
      column.width = LongOf(Val(TagAttribute(body, "WIDTH")) * cellWidth);
      const std::optional<ColumnAlignment> alignment = AlignmentOf(TagAttribute(body, "ALIGN"));
      // The first column is the item's own text, which stays left-aligned.
      if (alignment && !list.columns.empty()) column.alignment = *alignment;
      list.widthSum += column.width;
      list.columns.push_back(std::move(column));
    } else if (word == "DATA" && !list.columns.empty() &&
               (list.rows.size() + 1) * list.columns.size() <= kMaxListCells) {
      std::vector<std::string> values = CutAt(item.tail, settings.rxDelimiter);
      values.resize(list.columns.size());
      list.rows.push_back(std::move(values));
    }
  }
  // A column named after some rows still gets a value in each of them: the list's window
  // reads one value a column from every row. Rows past the most cells a list may hold are
  // left out.
  if (!list.columns.empty()) {
    list.rows.resize(std::min(list.rows.size(), kMaxListCells / list.columns.size()));
    for (std::vector<std::string>& row : list.rows) row.resize(list.columns.size());
  }
  return list;
}

std::string GuiPlusTx(const ScreenModel& model, std::int32_t row, const std::string& delimiter,
                      const std::string& text) {
  const EntrySpecTable& spec = model.entrySpec;
  std::string reply = spec.Get(row, 2) + delimiter;
  if (spec.Get(row, 1) == "GRID") {
    reply +=
        std::to_string(model.grid.Col()) + delimiter + std::to_string(model.grid.Row()) + delimiter;
  } else if (Val(spec.Get(row, 9)) >= 1) {
    reply += spec.Get(row, 9) + delimiter;
  }
  return reply + text;
}

void SearchList::Activate(ScreenModel& model, SearchEntries& entries, ShellServices& shell) {
  if (searchEntry_ == -1) searchEntry_ = entries.LastFocusedEntry();
  const EntryReset reset(searchEntry_);
  ShellContext& context = shell.Context();
  const ClientSettings& settings = context.settings;

  std::string result;
  if (context.pickList != nullptr) {
    PickListWindow& window = *context.pickList;
    const PickList list = ReadSearchList(model.texts.msData, settings, context.cellWidth);
    shell.SetAwaitingReply(false);  // the pointer is a normal one over the list
    // A picked row's text is a stored value: it goes back as one answer.
    result = OneLine(
        window.ShowModal(list, PlacePickList(list, window.ScreenWidth(), window.ScreenHeight())));
  }

  ScreenStates& states = model.states;
  states.msState = states.msStatePrevious;
  // "SEARCH" in msStatePrevious keeps the entry the pick went into from sending it a second
  // time; a pick that went into no entry, or none at all, leaves nothing to guard.
  states.msStatePrevious.clear();

  const std::string cancel = settings.quitCommand + settings.eos;
  if (result.empty()) {
    shell.Send(cancel);
    return;
  }
  if (states.msState == state::kTerminal) {
    shell.Send(result + settings.eos);
    return;
  }
  const std::int32_t row = entries.EntryRow(searchEntry_);
  if (row <= 0) {
    // No entry control asked (a search on a menu, or before any entry had the focus): the
    // application still waits for its answer.
    shell.Send(result + settings.eos);
    return;
  }
  if (model.entrySpec.Get(row, 1) == "CHECK") {
    // A check box holds no picked text: it stays as it was, and the application hears that
    // nothing was picked rather than waiting for an answer that never comes.
    shell.Send(cancel);
    return;
  }
  entries.PutSearchValue(searchEntry_, result);
  states.msStatePrevious = std::string(state::kSearch);
  shell.Send(model.layout.mbGuiPlus
                 ? GuiPlusTx(model, row, settings.guiPlusDelimiter, result + settings.eos)
                 : result + settings.eos);
}

void SearchButtonPress(ScreenModel& model, SearchEntries& entries, ShellServices& shell) {
  if (shell.AwaitingReply()) return;
  ShellContext& context = shell.Context();
  const ClientSettings& settings = context.settings;
  const std::int32_t entry = entries.PendingEntry();
  const std::int32_t row = entries.EntryRow(entry);
  if (row > 0 && model.entrySpec.Get(row, 1) == "COMMAND") return;
  if (context.searchChoice == nullptr) return;

  const SearchChoice choice = context.searchChoice->ShowModal(SearchChoiceButtonsOf(settings));
  if (row > 0) entries.FocusEntry(entry);
  const std::string prefix = model.layout.mbGuiPlus && row > 0
                                 ? GuiPlusTx(model, row, settings.guiPlusDelimiter, "")
                                 : std::string();
  const std::string* kind = nullptr;
  if (choice.result == kSearchAnyText) kind = &settings.searchTextAny;
  if (choice.result == kSearchCustom) kind = &settings.searchCustom;
  if (kind == nullptr) return;
  shell.Send(prefix + *kind + choice.text + settings.eos);
}

}  // namespace orvik::client
