#include "vb_error.h"

#include <exception>
#include <new>

#include "status.h"

namespace orvik {

std::string_view StandardErrorText(int number) {
  switch (number) {
    case 3:
      return "Return without GoSub";
    case 5:
      return "Invalid procedure call or argument";
    case 6:
      return "Overflow";
    case 7:
      return "Out of memory";
    case 9:
      return "Subscript out of range";
    case 10:
      return "This array is fixed or temporarily locked";
    case 11:
      return "Division by zero";
    case 13:
      return "Type mismatch";
    case 14:
      return "Out of string space";
    case 18:
      return "User interrupt occurred";
    case 28:
      return "Out of stack space";
    case 52:
      return "Bad file name or number";
    case 53:
      return "File not found";
    case 54:
      return "Bad file mode";
    case 55:
      return "File already open";
    case 57:
      return "Device I/O error";
    case 58:
      return "File already exists";
    case 61:
      return "Disk full";
    case 62:
      return "Input past end of file";
    case 70:
      return "Permission denied";
    case 75:
      return "Path/File access error";
    case 76:
      return "Path not found";
    case 91:
      return "Object variable or With block variable not set";
    case 92:
      return "For loop not initialized";
    case 94:
      return "Invalid use of Null";
    case 424:
      return "Object required";
    case 429:
      return "ActiveX component can't create object";
    case 438:
      return "Object doesn't support this property or method";
    case 440:
      return "Automation error";
    case 449:
      return "Argument not optional";
    case 450:
      return "Wrong number of arguments or invalid property assignment";
    case 451:
      return "Property let procedure not defined and property get procedure did not "
             "return an object";
    case 457:
      return "This key is already associated with an element of this collection";
    case 32811:
      return "Element not found";
    default:
      return "Application-defined or object-defined error";
  }
}

VbError::VbError(int number) : VbError(number, std::string(StandardErrorText(number))) {}

VbError::VbError(int number, std::string description)
    : std::runtime_error(NumberedMessage(number, description)),
      number_(number),
      description_(std::move(description)) {}

std::string VbError::Message() const { return NumberedMessage(number_, description_); }

std::string NumberedMessage(int number, std::string_view description) {
  std::string out;
  out.reserve(description.size() + 16);
  out.push_back('[');
  out.append(std::to_string(number));
  out.append("] ");
  out.append(description);
  return out;
}

std::string CurrentExceptionMessage() { return Status::OfCurrentException().Message(); }

Status Status::OfCurrentException() {
  try {
    throw;
  } catch (const VbError& e) {
    return Of(e);
  } catch (const std::bad_alloc&) {
    return Error(vberr::kOutOfMemory, std::string(StandardErrorText(vberr::kOutOfMemory)));
  } catch (const std::length_error&) {
    return Error(vberr::kOutOfStringSpace,
                 std::string(StandardErrorText(vberr::kOutOfStringSpace)));
  } catch (const std::exception& e) {
    return Error(vberr::kAutomationError, e.what());
  } catch (...) {
    return Error(vberr::kAutomationError, std::string(StandardErrorText(vberr::kAutomationError)));
  }
}

std::string Status::Message() const {
  if (!failed_ || (number_ == 0 && description_.empty())) return {};
  std::string text = NumberedMessage(number_, description_);
  return warning_ ? "WARNING: " + text : text;
}

}  // namespace orvik
