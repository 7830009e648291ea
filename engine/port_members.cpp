// The published members of a port, each carried out by the part that owns what it works on
// (port_parts.h). Each leaves its outcome in ErrorDetail as it always has: the item members
// clear it first and set it to their outcome; the others set it when they fail.

#include <QObject>

#include "port.h"
#include "port_parts.h"
#include "scrambler.h"

namespace orvik {

static_assert(Port::kMaxUndeliveredOutput == Terminal::kMaxUndeliveredOutput);
static_assert(Port::kMaxInputLine == Terminal::kMaxInputLine);

// --- Properties -----------------------------------------------------------------------

std::string Port::msState() const { return parts_->terminal.StateText(); }

void Port::SetMsState(std::string state) { parts_->terminal.SetStateText(std::move(state)); }

SessionState Port::StateKind() const { return parts_->terminal.State(); }

bool Port::StateRunsProgram() const { return parts_->terminal.ProgramRuns(); }

std::string Port::UserName() const {
  const std::string& inst = parts_->login.UserInst();
  return inst.substr(0, inst.find('*'));
}

const std::string& Port::TermType() const { return parts_->session.TermType(); }

void Port::SetTermType(std::string_view type) { parts_->session.SetTermType(type); }

const std::string& Port::UserInst() const { return parts_->login.UserInst(); }

std::int32_t Port::Connection_ID() const { return parts_->login.ConnectionId(); }

const Variant& Port::SelectArray() const { return parts_->session.SelectArray(); }

const std::string& Port::ErrorDetail() const { return parts_->session.ErrorDetail(); }

void Port::SetDescription(std::string text) { parts_->session.SetDescription(std::move(text)); }

const std::shared_ptr<Dictionary>& Port::XCommon() const { return parts_->session.XCommon(); }

void Port::SetXCommon(std::shared_ptr<Dictionary> common) {
  parts_->session.SetXCommon(std::move(common));
}

// --- Terminal output and input -------------------------------------------------------

void Port::CRT(std::string_view s, bool newline) { parts_->terminal.CRT(s, newline); }

std::string Port::TTag(std::int32_t x, std::int32_t y) const { return parts_->session.TTag(x, y); }

void Port::Echo(const Variant& v) {
  if (v.IsString()) {
    parts_->terminal.SetEcho(!EqualsNoCase(TrimBlanks(v.StringRef()), "OFF"));
    return;
  }
  parts_->terminal.SetEcho(v.ToBoolean());
}

bool Port::IInput(Variant& s, std::int32_t nLen, bool newLine, double timeFor) {
  const auto self = shared_from_this();  // the host may let go while we wait
  return parts_->session.Note(parts_->terminal.Read(s, nLen, newLine, timeFor));
}

std::string Port::Execute(std::string_view command, std::string_view endOfTx) {
  const auto self = shared_from_this();
  Session& session = parts_->session;
  session.ClearErrorDetail();
  bool timedOut = false;
  std::string answer = parts_->terminal.Execute(
      command, endOfTx, executeCompareMethod_ == 1, executeTimeout_,
      [this](std::string_view input) { SessionInput(input); }, &timedOut);
  if (timedOut && session.ErrorDetail().empty())
    session.Report(Status::Error(termerr::kExecuteTimeout, "Timeout on Execute"));
  return answer;
}

std::string Port::ExecuteTX(std::string_view command) {
  return Terminal::Unframed(Execute(command, protocol::kEndOfTransmission),
                            executeCompareMethod_ == 1);
}

bool Port::RequestA(std::string_view s) {
  parts_->terminal.DriveAsynchronously();
  return SessionInput(s);
}

std::string Port::Response() { return parts_->terminal.Response(); }

void Port::PortCClose() { parts_->terminal.PortCClose(); }

bool Port::SessionInput(std::string_view s, bool echoed) {
  return parts_->session.Input(s, echoed);
}

// --- Datastore, files and items --------------------------------------------------------

bool Port::RsOOpen(std::string_view query, std::shared_ptr<Recordset>& rst) {
  return parts_->session.Report(parts_->account.OpenRecordset(query, rst));
}

std::string Port::JetQRef(const std::string& account, std::string_view, std::string_view query,
                          std::shared_ptr<Recordset>& rst) {
  parts_->account.OpenEmbeddedRecordset(account, query, rst);
  return {};
}

bool Port::OOpen(const Variant& file, Variant& fileVariable) {
  return parts_->session.Report(parts_->items.Open(file, fileVariable));
}

bool Port::CClose(Variant& fileVariable) {
  std::string text;
  try {
    text = fileVariable.ToString();
  } catch (...) {
    // A file variable that is no text was never opened: it says why it cannot be closed.
    return parts_->session.Report(Status::OfCurrentException());
  }
  parts_->session.Note(parts_->items.Close(text));
  fileVariable = Variant(std::string());
  return true;
}

namespace {

// A read of the item members: ErrorDetail cleared first, then the read's outcome.
bool ReadMember(PortParts& parts, Variant& out, const Variant& fileVariable, const Variant& itemId,
                std::optional<std::int32_t> attribute, ItemStore::LockTest lock,
                bool keepCopy = false) {
  parts.session.ClearErrorDetail();
  return parts.session.Report(
      parts.items.Read(out, fileVariable, itemId, attribute, lock, keepCopy));
}

}  // namespace

bool Port::RRead(Variant& item, const Variant& fileVariable, const Variant& itemId) {
  return ReadMember(*parts_, item, fileVariable, itemId, std::nullopt, ItemStore::LockTest::kNone);
}

bool Port::RReadTR(Variant& item, const Variant& fileVariable, const Variant& itemId) {
  const Variant before = item;
  try {
    return ReadMember(*parts_, item, fileVariable, itemId, std::nullopt,
                      ItemStore::LockTest::kTestOnly, true);
  } catch (...) {
    item = before;
    return parts_->session.Report(Status::OfCurrentException());
  }
}

bool Port::RReadV(Variant& value, const Variant& fileVariable, const Variant& itemId,
                  const Variant& fieldNumber) {
  const std::int32_t attribute = fieldNumber.ToLong();
  return ReadMember(*parts_, value, fileVariable, itemId, attribute, ItemStore::LockTest::kNone);
}

bool Port::RReadU(Variant& item, const Variant& fileVariable, const Variant& itemId) {
  return ReadMember(*parts_, item, fileVariable, itemId, std::nullopt, ItemStore::LockTest::kTake);
}

bool Port::RReadVU(Variant& value, const Variant& fileVariable, const Variant& itemId,
                   const Variant& fieldNumber) {
  const std::int32_t attribute = fieldNumber.ToLong();
  return ReadMember(*parts_, value, fileVariable, itemId, attribute, ItemStore::LockTest::kTake);
}

bool Port::WWrite(std::string_view item, std::string_view fileVariable, std::string_view itemId) {
  parts_->session.ClearErrorDetail();
  return parts_->session.Report(parts_->items.WriteItem(item, fileVariable, itemId, false));
}

bool Port::WWriteU(std::string_view item, std::string_view fileVariable, std::string_view itemId) {
  parts_->session.ClearErrorDetail();
  return parts_->session.Report(parts_->items.WriteItem(item, fileVariable, itemId, true));
}

bool Port::WWriteV(std::string_view value, std::string_view fileVariable, std::string_view itemId,
                   std::int32_t fieldId) {
  parts_->session.ClearErrorDetail();
  return parts_->session.Report(
      parts_->items.WriteAttribute(value, fileVariable, itemId, fieldId, false));
}

bool Port::WWriteVU(std::string_view value, std::string_view fileVariable, std::string_view itemId,
                    std::int32_t fieldId) {
  parts_->session.ClearErrorDetail();
  return parts_->session.Report(
      parts_->items.WriteAttribute(value, fileVariable, itemId, fieldId, true));
}

bool Port::Delete(const Variant& fileVariable, const Variant& itemId) {
  const std::string fv = fileVariable.ToString();
  const std::string id = itemId.ToString();
  parts_->session.ClearErrorDetail();
  return parts_->session.Report(parts_->items.Delete(fv, id));
}

bool Port::Release(const Variant& fileVariable, const Variant& itemId) {
  return parts_->session.Note(parts_->items.Release(fileVariable, itemId));
}

Variant Port::JDecode(const std::string& text, std::string& key) {
  return orvik::JDecode(text, key);
}

// --- Sentences, printing and programs --------------------------------------------------

std::string Port::ExecutePS(std::string& sentence) { return parts_->session.ExecutePS(sentence); }

void Port::PPrint(std::string_view s, bool newline) { parts_->printer.Print(s, newline); }

Variant Port::XRun(const std::string& procedureName, std::span<Variant> args) {
  const auto self = shared_from_this();
  return parts_->programs.XRun(procedureName, args);
}

// --- Host operations -----------------------------------------------------------------

void Port::SetResponseHandler(ResponseHandler handler) {
  parts_->terminal.SetResponseHandler(std::move(handler));
}

void Port::PortInput(std::string text, bool echoed) {
  if (OnPortThread()) {
    SessionInput(text, echoed);
    return;
  }
  RunOnPortThread([self = shared_from_this(), text = std::move(text), echoed] {
    self->SessionInput(text, echoed);
  });
}

std::string Port::TypeAhead() const { return parts_->terminal.TypeAhead(); }

bool Port::InputPending() const { return parts_->terminal.InputPending(); }

bool Port::NoNewLine() const { return parts_->terminal.NoNewLine(); }

void Port::SetHostHooks(HostHooks hooks) {
  parts_->terminal.SetOutputWaiting(std::move(hooks.outputWaiting));
  parts_->terminal.SetHangUp(std::move(hooks.hangUp));
  parts_->terminal.SetStateChanged(std::move(hooks.stateChanged));
  parts_->session.SetLoginTried(std::move(hooks.loginTried));
  parts_->session.SetLoginWaits(std::move(hooks.loginWaits));
}

void Port::SetLoginPace(std::shared_ptr<LoginPace> pace) {
  parts_->session.SetLoginPace(std::move(pace));
}

void Port::SetHostBacklog(std::size_t bytes) { parts_->terminal.SetHostBacklog(bytes); }

void Port::Abort() {
  parts_->stop->Throw();
  // A wait pumping the port's events sleeps until something happens: this is something (the
  // terminal wakes the port's thread).
  parts_->terminal.PortCClose();
  parts_->terminal.WakeWaits();
}

bool Port::Aborted() const { return parts_->stop->Thrown(); }

}  // namespace orvik
