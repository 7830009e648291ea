// Run-time errors in the platform's own numbering.
//
// Programs written for the platform test error numbers ("[13] Type mismatch") and show
// their standard texts, so every failure that the original run time raised is thrown here
// as a VbError with the same number and, by default, the same description.

#ifndef ORVIK_FUNCTIONS_VB_ERROR_H_
#define ORVIK_FUNCTIONS_VB_ERROR_H_

#include <stdexcept>
#include <string>
#include <string_view>

namespace orvik {

// The numbers the system raises itself; the standard texts come with them.
namespace vberr {
inline constexpr int kInvalidProcedureCall = 5;
inline constexpr int kOverflow = 6;
inline constexpr int kOutOfMemory = 7;
inline constexpr int kSubscriptOutOfRange = 9;
inline constexpr int kDivisionByZero = 11;
inline constexpr int kTypeMismatch = 13;
inline constexpr int kOutOfStringSpace = 14;
inline constexpr int kObjectRequired = 424;
inline constexpr int kObjectVariableNotSet = 91;
inline constexpr int kInvalidUseOfNull = 94;
inline constexpr int kWrongArgumentCount = 450;
inline constexpr int kArgumentNotOptional = 449;
inline constexpr int kNoSuchMember = 438;
inline constexpr int kDuplicateKey = 457;
inline constexpr int kElementNotFound = 32811;
inline constexpr int kFileNotFound = 53;
inline constexpr int kPermissionDenied = 70;
inline constexpr int kPathFileAccess = 75;
// What the run time reports for a failure that carries no number of its own.
inline constexpr int kAutomationError = 440;
}  // namespace vberr

// The platform's standard description of an error number; "Application-defined or
// object-defined error" for numbers it has no text for.
std::string_view StandardErrorText(int number);

class VbError : public std::runtime_error {
 public:
  // An error with its standard description.
  explicit VbError(int number);
  VbError(int number, std::string description);

  int number() const { return number_; }
  const std::string& description() const { return description_; }

  // "[" number "] " description: the form the system leaves in its error details.
  std::string Message() const;

 private:
  int number_;
  std::string description_;
};

// "[" number "] " description.
std::string NumberedMessage(int number, std::string_view description);

// Turns whatever a trapped block threw into the numbered message the original's error
// handlers wrote. Call it only from inside a catch block.
std::string CurrentExceptionMessage();

}  // namespace orvik

#endif  // ORVIK_FUNCTIONS_VB_ERROR_H_
