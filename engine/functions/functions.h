// The multivalue function library: dynamic arrays, fields, conversions, formatting and
// patterns, as programs of the Pick language expect them.
//
// A Functions object carries a little state of its own (the last error detail, the columns
// of the last Field, two safety switches and the locale's date order), so the engine keeps
// one for its own work and gives every port another. Objects share nothing; each is used
// from one thread.
//
// Failures follow the platform's two models. Members with their own error trap (Alpha,
// Dylete, Insert, OConv, IConv, Fmt) clear ErrorDetailFn on entry, report a failure there
// as a numbered message and return a fallback; every other member throws VbError to its
// caller and leaves ErrorDetailFn alone.

#ifndef ORVIK_FUNCTIONS_FUNCTIONS_H_
#define ORVIK_FUNCTIONS_FUNCTIONS_H_

#include <atomic>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "dispatch.h"
#include "text.h"
#include "variant.h"

namespace orvik {

class Functions : public Dispatch {
 public:
  // Reads the locale's date order (DateOrderProbe).
  Functions();
  // A fixed date order, whatever the locale.
  explicit Functions(bool monthFirst);

  const std::string& ErrorDetailFn() const { return errorDetail_; }
  void SetErrorDetailFn(std::string detail) { errorDetail_ = std::move(detail); }
  bool RReplaceSafety() const { return rreplaceSafety_; }
  void SetRReplaceSafety(bool on) { rreplaceSafety_ = on; }
  bool InsertSafety() const { return insertSafety_; }
  void SetInsertSafety(bool on) { insertSafety_ = on; }
  bool MonthFirst() const { return monthFirst_; }

  // --- Text and fields ------------------------------------------------------------------

  // The value of "name=value" inside s, the name found without regard to case; Empty when
  // the name is absent.
  Variant PropertyParse(const Variant& s, const Variant& property, const Variant& delimiter);
  // Replaces every occurrence, left to right; inserted text is not searched again.
  std::string SegmentReplace(std::string_view text, std::string_view find,
                             std::string_view repl) const;
  // Waits `seconds` while the thread's events go on being processed; ends early once the
  // stop flag (when one is set) is.
  void Sleep(double seconds) const;
  // A flag that cuts Sleep short: the owner's session stop. It must outlive this object.
  void SetStopFlag(const std::atomic<bool>* stop) { stop_ = stop; }
  Variant DCount(std::string_view s, std::string_view delimiter) const;
  // The n-th delimited piece; records Col1 and Col2 around it.
  std::string Field(std::string_view s, std::string_view delimiter, std::int32_t n);
  std::int32_t Col1() const { return col1_; }
  std::int32_t Col2() const { return col2_; }
  bool Num(const Variant& s) const;
  // Position of the n-th occurrence, without regard to case; 0 when there is none.
  std::int32_t Index(std::string_view s, std::string_view find, std::int32_t occurrence) const;
  bool Alpha(std::string_view s);
  std::int32_t Seq(std::string_view s) const;
  std::string SStr(std::string_view s, std::int32_t n);
  // Character translation: each character of `from` becomes the one at its place in `to`,
  // or is deleted when `to` is shorter.
  std::string CConvert(std::string_view s, std::string_view from, std::string_view to) const;

  // --- Dynamic arrays -------------------------------------------------------------------

  Variant Extract(std::string_view s, std::int32_t attribute, std::int32_t value = 0,
                  std::int32_t subValue = 0);
  // The level follows from which of a, b, c are present (not Missing).
  std::string RReplace(std::string_view s, std::int32_t i254, const Variant& a,
                       const Variant& b = Variant::Missing(),
                       const Variant& c = Variant::Missing());
  std::string Insert(std::string_view s, std::int32_t i254, const Variant& a,
                     const Variant& b = Variant::Missing(), const Variant& c = Variant::Missing());
  std::string Dylete(std::string_view s, std::int32_t i254, const Variant& a = Variant::Missing(),
                     const Variant& b = Variant::Missing());
  // `d` holds the caller's own variables: optional start, "BY" and sequence code, and last
  // the setting variable, which receives the position found or the one to insert at.
  bool Locate(std::string_view find, std::string_view sep, std::string_view in,
              std::span<Variant> d);
  std::string MVR(const Variant& s) const;
  std::string MVW(std::string_view s) const;

  // --- Conversions ----------------------------------------------------------------------

  Variant OConv(std::string_view s, std::string_view code);
  Variant IConv(std::string_view s, std::string_view code);
  std::string MVOConv(const Variant& s, std::string_view code);
  std::string MVIConv(std::string_view s, std::string_view code);

  // --- Formatting and patterns ----------------------------------------------------------

  std::string Fmt(std::string_view s, std::string_view code);
  bool Matches(std::string_view s, std::string_view pattern);

  // Every member above by name.
  Variant Invoke(std::string_view name, CallType type, std::span<Variant> args) override;
  MemberKind KindOf(std::string_view name) override;
  std::vector<std::string> MemberNames() override;

 private:
  std::string errorDetail_;
  bool rreplaceSafety_ = false;
  bool insertSafety_ = false;
  bool monthFirst_;
  const std::atomic<bool>* stop_ = nullptr;
  std::int32_t col1_ = 0;
  std::int32_t col2_ = 0;
};

}  // namespace orvik

#endif  // ORVIK_FUNCTIONS_FUNCTIONS_H_
