#include "screen_model.h"

#include "vb_error.h"

namespace orvik::client {
namespace {

const std::string kEmpty;

std::size_t Index(std::int32_t oneBased) { return static_cast<std::size_t>(oneBased - 1); }

void SubscriptUnless(bool inside) {
  if (!inside) throw VbError(vberr::kSubscriptOutOfRange);
}

}  // namespace

bool EntrySpecTable::Inside(std::int32_t row, std::int32_t attribute) {
  return row >= 1 && row <= kEntryRows && attribute >= 1 && attribute <= kEntryAttributes;
}

const std::string& EntrySpecTable::Get(std::int32_t row, std::int32_t attribute) const {
  if (!Inside(row, attribute) || attribute == kEntryAttributes) return kEmpty;
  return rows_[Index(row)][Index(attribute)];
}

void EntrySpecTable::Set(std::int32_t row, std::int32_t attribute, std::string text) {
  if (!Inside(row, attribute) || attribute == kEntryAttributes) return;
  rows_[Index(row)][Index(attribute)] = std::move(text);
}

const std::string& EntrySpecTable::Alignment(std::int32_t row) const {
  if (!Inside(row, kEntryAttributes)) return kEmpty;
  return rows_[Index(row)][Index(kEntryAttributes)];
}

void EntrySpecTable::SetAlignment(std::int32_t row, std::string text) {
  if (Inside(row, kEntryAttributes)) rows_[Index(row)][Index(kEntryAttributes)] = std::move(text);
}

void EntrySpecTable::ClearRow(std::int32_t row) {
  if (Inside(row, 1)) rows_[Index(row)] = Row{};
}

void EntrySpecTable::RemoveRow(std::int32_t row, std::int32_t last) {
  if (!Inside(row, 1)) return;
  if (last > kEntryRows) last = kEntryRows;
  for (std::int32_t r = row; r < last; ++r) rows_[Index(r)] = std::move(rows_[Index(r + 1)]);
  if (last >= row) ClearRow(last);
}

std::int32_t SubActionTable::Get(std::int32_t i, std::int32_t j) const {
  SubscriptUnless(i >= 0 && i <= kEntryRows && (j == 1 || j == 2));
  return cells_[static_cast<std::size_t>(i)][Index(j)];
}

void SubActionTable::Set(std::int32_t i, std::int32_t j, std::int32_t value) {
  SubscriptUnless(i >= 0 && i <= kEntryRows && (j == 1 || j == 2));
  cells_[static_cast<std::size_t>(i)][Index(j)] = value;
}

const std::string& PopupSlots::Get(std::int32_t i) const {
  SubscriptUnless(i >= 1 && i <= kSlots);
  return slots_[Index(i)];
}

void PopupSlots::Set(std::int32_t i, std::string text) {
  SubscriptUnless(i >= 1 && i <= kSlots);
  slots_[Index(i)] = std::move(text);
}

const GridCellRec& GridCellRecords::Read(std::int32_t i) const {
  SubscriptUnless(i >= 1 && i <= UpperBound());
  return records_[Index(i)];
}

GridCellRec& GridCellRecords::Write(std::int32_t i) {
  SubscriptUnless(i >= 1 && i <= kMaxRecords);
  if (i > UpperBound()) records_.resize(static_cast<std::size_t>(i));
  return records_[Index(i)];
}

}  // namespace orvik::client
