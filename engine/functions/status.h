// The outcome of an operation inside the engine: success, or a failure with its number and
// description.
//
// The engine's members report a failure to their callers as a numbered message in
// ErrorDetail ("[920] Another user has this item locked"). Inside, a failure travels as a
// Status between the parts, so that a caller asks for the number it cares about instead of
// reading it back out of a text; the text "[number] description" is made once, where it
// reaches ErrorDetail or a screen (Message). A warning ("WARNING: [921] ...") is a status
// too: not ok, though the operation did its work.
//
// A plain value: cheap to copy, usable from any thread.

#ifndef ORVIK_FUNCTIONS_STATUS_H_
#define ORVIK_FUNCTIONS_STATUS_H_

#include <string>
#include <utility>

#include "vb_error.h"

namespace orvik {

class Status {
 public:
  // Success.
  Status() = default;
  static Status Ok() { return Status(); }
  static Status Error(int number, std::string description) {
    return Status(number, std::move(description), false);
  }
  static Status Warning(int number, std::string description) {
    return Status(number, std::move(description), true);
  }
  // A refusal that has no reason to give (no row was found, nothing matched): not ok, and
  // without a message.
  static Status Refused() {
    Status s;
    s.failed_ = true;
    return s;
  }
  static Status Of(const VbError& e) { return Error(e.number(), e.description()); }
  // What the exception being handled reports (call only inside a catch block): a VbError's
  // own number and description, else the run time's numbers (CurrentExceptionMessage).
  static Status OfCurrentException();

  bool ok() const { return !failed_; }
  bool IsWarning() const { return failed_ && warning_; }
  // 0 for success.
  int number() const { return number_; }
  const std::string& description() const { return description_; }
  bool Is(int number) const { return failed_ && number_ == number; }

  // "[number] description" ("WARNING: " before it for a warning); empty for success and for
  // a refusal without a reason.
  std::string Message() const;
  // The failure as the error a member raises; success must not be raised.
  VbError ToError() const { return VbError(number_, description_); }
  // The same failure with `more` after its description.
  Status With(const std::string& more) const {
    Status s = *this;
    s.description_ += more;
    return s;
  }

 private:
  Status(int number, std::string description, bool warning)
      : failed_(true), warning_(warning), number_(number), description_(std::move(description)) {}

  bool failed_ = false;
  bool warning_ = false;
  int number_ = 0;
  std::string description_;
};

}  // namespace orvik

#endif  // ORVIK_FUNCTIONS_STATUS_H_
