// Perl on an embedded interpreter, one per host.
//
// An interpreter belongs to the thread that made it; every entry sets it as the thread's
// current interpreter and puts the previous one back on the way out, since a Perl program
// may call a member that runs another host's code (a nested XRun) before it returns.
//
// Objects reach Perl as blessed references ("Orvik::Object") to a handle of the Dispatch
// object; AUTOLOAD turns each method call into one call of the XSUB Orvik::_call, which
// receives the caller's arguments aliased and writes back the ones a member changed.
//
// Perl unwinds errors with longjmp, which must never pass a C++ frame: every XSUB does its
// C++ work in a function that returns (catching every exception) before the XSUB croaks.

#include "perl_script_host.h"

#include <locale.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <clocale>
#include <cstring>
#include <limits>
#include <mutex>
#include <string>
#include <vector>

#include "session_processes.h"
#include "text.h"
#include "vb_error.h"

// Perl's headers come last: they define macros (Null, Copy, Move ...) that would change
// the meaning of the project's own names.
#define PERL_NO_GET_CONTEXT
#include <EXTERN.h>
#include <XSUB.h>
#include <perl.h>

EXTERN_C void boot_DynaLoader(pTHX_ CV* cv);

namespace orvik {
namespace {

constexpr const char* kScriptFile = "script";

// Package code every interpreter starts with.
constexpr const char* kSupport = R"PERL(
package Orvik;
our (%objects, %member, $died, $die_line);
sub find {
  my ($name) = @_;
  no strict 'refs';
  return "main::$name" if !$member{lc $name} && defined &{"main::$name"};
  my $want = lc $name;
  for my $k (sort keys %main::) {
    next if $k =~ /::$/ || $member{lc $k} || lc($k) ne $want;
    return "main::$k" if defined &{"main::$k"};
  }
  return undef;
}
package Orvik::Object;
our $AUTOLOAD;
sub AUTOLOAD {
  my $self = shift;
  my $name = $AUTOLOAD;
  $name =~ s/.*:://;
  return Orvik::_call($$self, $name, 0, @_);
}
sub LetProperty {
  my $self = shift;
  my $name = shift;
  Orvik::_call($$self, $name, 2, @_);
  return;
}
sub DESTROY { Orvik::_free(${$_[0]}) if defined ${$_[0]}; }
package Orvik::Error;
use overload '""' => sub { "[$_[0]{number}] $_[0]{description}" }, fallback => 1;
package main;
# The engine's standard input is no session's terminal (a port's is its connection): a
# program that read it would take the console's keyboard, and wait on it out of the
# session's reach. The program's STDIN is empty instead; the engine's own is untouched.
{ my $nothing; open($nothing, '<', '/dev/null') and *STDIN = *{$nothing}{IO}; }
# Sleep in short steps, between which the session's end can stop the program: one long
# sleep waits in the system, where it is not reached.
*CORE::GLOBAL::sleep = sub {
  return CORE::sleep($_[0]) if @_ && !($_[0] >= 1);
  my $tenths = @_ ? int($_[0]) * 10 : undef;
  my $slept = 0;
  while (!defined $tenths || $slept < $tenths) {
    select(undef, undef, undef, 0.1);
    ++$slept;
  }
  return int($slept / 10);
};
$SIG{__DIE__} = sub { $Orvik::died = 1; $Orvik::die_line = (caller(0))[2] // 0; };
1;
)PERL";

// Keeps the thread's C library locale as it was: perl may give the thread a locale of its
// own (from the environment), and the engine reads and writes numbers by the "C" rules.
class ThreadLocaleKeeper {
 public:
  ThreadLocaleKeeper() : saved_(::uselocale(static_cast<locale_t>(0))) {}
  ~ThreadLocaleKeeper() {
    if (saved_ != static_cast<locale_t>(0)) ::uselocale(saved_);
  }
  ThreadLocaleKeeper(const ThreadLocaleKeeper&) = delete;
  ThreadLocaleKeeper& operator=(const ThreadLocaleKeeper&) = delete;

 private:
  locale_t saved_;
};

// The stop flag of the interpreter that runs on this thread now (nested hosts stack up).
thread_local std::atomic<bool>* tStopFlag = nullptr;

// The engine's own process. A child forked while a program runs (a pipe open without a
// command forks without exec) has the engine's memory but none of its other threads: back
// in the engine it would read the session's terminal and write its files as a second
// session, so it ends before its next op, and the engine's objects are out of its reach.
std::atomic<pid_t> gEnginePid{0};

bool InForkedChild() { return ::getpid() != gEnginePid.load(std::memory_order_relaxed); }

// Runs in every forked child: the child's copy of the program's stop flag is set.
void StopInForkedChild() {
  if (tStopFlag != nullptr) tStopFlag->store(true, std::memory_order_relaxed);
}

// Perl's own op loop with one test added: a stopped host dies before its next op. The die
// comes again at every op after it, so a script's eval cannot swallow it for long.
// A forked child finds its copy of the flag set (StopInForkedChild) and ends before it runs
// any of the program: what it was forked for runs in C (an exec), never as Perl.
int RunopsStoppable(pTHX) {
  std::atomic<bool>* stop = tStopFlag;
  OP* op = PL_op;
  while ((PL_op = op = op->op_ppaddr(aTHX))) {
    if (stop != nullptr && stop->load(std::memory_order_relaxed)) {
      if (InForkedChild()) ::_exit(255);
      Perl_croak(aTHX_ "interrupted");
    }
  }
  PERL_ASYNC_CHECK();
  TAINT_NOT;
  return 0;
}

// Sets an interpreter as the thread's current one for a scope.
class ContextGuard {
 public:
  ContextGuard(PerlInterpreter* perl, std::atomic<bool>* stop, SessionProcessGroup* group)
      : previous_(PERL_GET_CONTEXT), previousStop_(tStopFlag), group_(group) {
    PERL_SET_CONTEXT(perl);
    tStopFlag = stop;
  }
  ~ContextGuard() {
    tStopFlag = previousStop_;
    if (previous_ != nullptr) PERL_SET_CONTEXT(previous_);
  }
  ContextGuard(const ContextGuard&) = delete;
  ContextGuard& operator=(const ContextGuard&) = delete;

 private:
  ThreadLocaleKeeper locale_;
  void* previous_;
  std::atomic<bool>* previousStop_;
  SessionProcessGroup::Scope group_;
};

// The global locale kept as it was while perl starts (once per process, and for each
// interpreter).
class LocaleKeeper {
 public:
  LocaleKeeper() {
    const char* now = std::setlocale(LC_ALL, nullptr);
    saved_ = now != nullptr ? now : "C";
  }
  ~LocaleKeeper() { std::setlocale(LC_ALL, saved_.c_str()); }

 private:
  ThreadLocaleKeeper thread_;
  std::string saved_;
};

// Held while an interpreter is made. The first perl_alloc of a process sets up perl's
// globals (its thread key, its mutexes, the hash seed) without a lock of its own, so two
// ports starting Perl at once could each set them up: one of them then ran with a thread
// key the other had replaced, lost its code or crashed. Making is short and runs no user
// code; running and ending interpreters need no lock.
std::mutex& MakingMutex() {
  static std::mutex mutex;
  return mutex;
}

void StartPerlOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
    gEnginePid.store(::getpid(), std::memory_order_relaxed);
    ::pthread_atfork(nullptr, nullptr, StopInForkedChild);
    static int argc = 1;
    static char arg0[] = "orvik";
    static char* argvStore[] = {arg0, nullptr};
    static char** argv = argvStore;
    static char* envStore[] = {nullptr};
    static char** env = envStore;
    LocaleKeeper keep;
    PERL_SYS_INIT3(&argc, &argv, &env);
  });
}

std::string StringOf(pTHX_ SV* sv) {
  STRLEN len = 0;
  const char* p = SvPV(sv, len);
  std::string bytes(p, len);
  return SvUTF8(sv) ? Utf8ToLatin1(bytes) : bytes;
}

SV* VariantToSv(pTHX_ const Variant& v);

SV* ObjectToSv(pTHX_ const std::shared_ptr<Dispatch>& object) {
  if (!object) return newSV(0);
  SV* handle = newSViv(PTR2IV(new std::shared_ptr<Dispatch>(object)));
  SV* ref = newRV_noinc(handle);
  sv_bless(ref, gv_stashpv("Orvik::Object", GV_ADD));
  return ref;
}

SV* VariantToSv(pTHX_ const Variant& v) {
  switch (v.type()) {
    case Variant::Type::Empty:
    case Variant::Type::Missing:
    case Variant::Type::Null:
      return newSV(0);
    case Variant::Type::Boolean:
      return newSViv(v.ToBoolean() ? 1 : 0);
    case Variant::Type::Long:
      return newSViv(v.ToLong());
    case Variant::Type::Double:
      return newSVnv(v.ToDouble());
    case Variant::Type::Date:
      return newSVnv(v.ToDateSerial());
    case Variant::Type::String:
      return newSVpvn(v.StringRef().data(), v.StringRef().size());
    case Variant::Type::Object:
      return ObjectToSv(aTHX_ v.ObjectRef());
    case Variant::Type::Array: {
      AV* av = newAV();
      for (const Variant& item : v.ArrayRef()) av_push(av, VariantToSv(aTHX_ item));
      return newRV_noinc(reinterpret_cast<SV*>(av));
    }
  }
  return newSV(0);
}

std::shared_ptr<Dispatch>* HandleOf(pTHX_ SV* sv) {
  const IV handle = SvIV(sv);
  if (handle == 0) throw VbError(vberr::kObjectVariableNotSet);
  return INT2PTR(std::shared_ptr<Dispatch>*, handle);
}

Variant SvToVariant(pTHX_ SV* sv) {
  SvGETMAGIC(sv);
  if (SvROK(sv)) {
    SV* target = SvRV(sv);
    if (sv_isobject(sv) && sv_derived_from(sv, "Orvik::Object"))
      return Variant(*HandleOf(aTHX_ target));
    if (SvTYPE(target) == SVt_PVAV) {
      AV* av = reinterpret_cast<AV*>(target);
      VariantArray items;
      const SSize_t top = av_top_index(av);
      for (SSize_t i = 0; i <= top; ++i) {
        SV** item = av_fetch(av, i, 0);
        items.push_back(item != nullptr ? SvToVariant(aTHX_ * item) : Variant());
      }
      return Variant(std::move(items));
    }
    throw VbError(vberr::kTypeMismatch);
  }
  if (!SvOK(sv)) return Variant();
  if (SvPOK(sv)) return Variant(StringOf(aTHX_ sv));
  if (SvIOK(sv)) {
    if (SvIsUV(sv)) {
      const UV u = SvUV(sv);
      if (u <= static_cast<UV>(std::numeric_limits<std::int32_t>::max()))
        return Variant(static_cast<std::int32_t>(u));
      return Variant(static_cast<double>(u));
    }
    const IV i = SvIV(sv);
    if (i >= std::numeric_limits<std::int32_t>::min() &&
        i <= std::numeric_limits<std::int32_t>::max())
      return Variant(static_cast<std::int32_t>(i));
    return Variant(static_cast<double>(i));
  }
  if (SvNOK(sv)) return Variant(static_cast<double>(SvNV(sv)));
  return Variant(StringOf(aTHX_ sv));
}

// A blessed Orvik::Error: what a member's failure becomes inside Perl.
SV* ErrorToSv(pTHX_ int number, const std::string& description, int line) {
  HV* hv = newHV();
  hv_stores(hv, "number", newSViv(number));
  hv_stores(hv, "description", newSVpvn(description.data(), description.size()));
  hv_stores(hv, "line", newSViv(line));
  SV* ref = newRV_noinc(reinterpret_cast<SV*>(hv));
  sv_bless(ref, gv_stashpv("Orvik::Error", GV_ADD));
  return ref;
}

// The line of the script that is running: the current statement when it is the script's,
// else the nearest call made from the script (members are reached through subs of the
// support code).
int ScriptLine(pTHX) {
  const auto inScript = [](const COP* cop) {
    const char* file = cop != nullptr ? CopFILE(cop) : nullptr;
    return file != nullptr && std::strcmp(file, kScriptFile) == 0;
  };
  if (inScript(PL_curcop)) return static_cast<int>(CopLINE(PL_curcop));
  for (I32 level = 0;; ++level) {
    const PERL_CONTEXT* cx = caller_cx(level, nullptr);
    if (cx == nullptr) return 0;
    if (inScript(cx->blk_oldcop)) return static_cast<int>(CopLINE(cx->blk_oldcop));
  }
}

// The C++ side of Orvik::_call(handle, name, type, args...). Returns the result, or leaves
// the error to raise in *failure; never throws.
SV* CallMember(pTHX_ I32 ax, I32 items, SV** failure) {
  try {
    if (items < 3) throw VbError(vberr::kWrongArgumentCount);
    std::shared_ptr<Dispatch> object = *HandleOf(aTHX_ ST(0));
    if (!object) throw VbError(vberr::kObjectVariableNotSet);
    const std::string name = StringOf(aTHX_ ST(1));
    const IV type = SvIV(ST(2));
    // The argument scalars themselves: Perl passes them aliased, so writing to them writes
    // to the caller's variables. Taken now, since a nested call may move Perl's stack.
    std::vector<SV*> svs;
    for (I32 i = 3; i < items; ++i) svs.push_back(ST(i));
    std::vector<Variant> args;
    args.reserve(svs.size());
    for (SV* sv : svs) args.push_back(SvToVariant(aTHX_ sv));
    const std::vector<Variant> before = args;
    const Variant result = object->Invoke(name,
                                          type == 2   ? Dispatch::CallType::PropertyLet
                                          : type == 1 ? Dispatch::CallType::PropertyGet
                                                      : Dispatch::CallType::Method,
                                          args);
    for (std::size_t i = 0; i < svs.size(); ++i) {
      if (args[i] == before[i] || SvREADONLY(svs[i])) continue;
      SV* value = sv_2mortal(VariantToSv(aTHX_ args[i]));
      sv_setsv_mg(svs[i], value);
    }
    return sv_2mortal(VariantToSv(aTHX_ result));
  } catch (...) {
    const ScriptError e = ErrorOfCurrentException();
    *failure = sv_2mortal(ErrorToSv(aTHX_ e.number, e.description, ScriptLine(aTHX)));
    return nullptr;
  }
}

// Ends the child of a script's fork, once the script hands control back, with the status
// the script gave it: exit's value, 255 for a failure, 0 for a plain return.
void EndForkedChild(pTHX) {
  if (!InForkedChild()) return;
  int status = 0;
  SV* err = ERRSV;
  if (SvROK(err) && sv_isobject(err) && sv_derived_from(err, "Orvik::Exit")) {
    SV** code = av_fetch(reinterpret_cast<AV*>(SvRV(err)), 0, 0);
    if (code != nullptr) status = static_cast<int>(SvIV(*code));
  } else if (SvTRUE(err)) {
    status = 255;
  }
  PerlIO_flush(nullptr);
  ::_exit(status & 0xFF);
}

XS_EXTERNAL(XsCall) {
  dXSARGS;
  PERL_UNUSED_VAR(cv);
  if (InForkedChild()) croak("The engine's objects cannot be used from a forked process");
  SV* failure = nullptr;
  SV* result = CallMember(aTHX_ ax, items, &failure);
  if (failure != nullptr) croak_sv(failure);
  ST(0) = result;
  XSRETURN(1);
}

XS_EXTERNAL(XsFree) {
  dXSARGS;
  PERL_UNUSED_VAR(cv);
  if (items >= 1) {
    const IV handle = SvIV(ST(0));
    try {
      delete INT2PTR(std::shared_ptr<Dispatch>*, handle);
    } catch (...) {
    }
  }
  XSRETURN_EMPTY;
}

// What a program may not do inside the engine's process. A fork copies the whole engine,
// threads and sessions aside, and would run the program on in that copy; an exec would
// replace the engine, a dump abort it; a system call may be any of these, or anything else. The
// refusal comes when the op runs, so that a program that only mentions them still loads.
SV* RefusalOf(pTHX_ const char* op) {
  return sv_2mortal(ErrorToSv(aTHX_ scripterr::kNotForPrograms,
                              std::string("'") + op + "' is not available to programs",
                              ScriptLine(aTHX)));
}

OP* PpRefused(pTHX) { croak_sv(RefusalOf(aTHX_ OP_NAME(PL_op))); }

// exit (CORE::exit too) ends the program, never the engine: it dies with an Orvik::Exit
// that carries the status.
OP* PpExit(pTHX) {
  dSP;
  IV status = 0;
  if (MAXARG >= 1) {
    SV* arg = POPs;
    if (arg != nullptr) status = SvIV(arg);
    PUTBACK;
  }
  AV* exit = newAV();
  av_push(exit, newSViv(status));
  croak_sv(sv_2mortal(
      sv_bless(newRV_noinc(reinterpret_cast<SV*>(exit)), gv_stashpv("Orvik::Exit", GV_ADD))));
}

// A signal to the engine itself, its process group, or every process there is (a pid of 0
// or below, or a negative signal, which names groups).
OP* PpKill(pTHX) {
  SV** first = PL_stack_base + *PL_markstack_ptr + 1;
  bool refused =
      first <= PL_stack_sp && SvPOK(*first) && SvCUR(*first) > 0 && *SvPVX(*first) == '-';
  if (first <= PL_stack_sp && !SvPOK(*first) && SvIV(*first) < 0) refused = true;
  for (SV** pid = first + 1; pid <= PL_stack_sp && !refused; ++pid) {
    const IV number = SvIV(*pid);
    refused = number <= 0 || number == static_cast<IV>(::getpid());
  }
  if (refused) croak_sv(RefusalOf(aTHX_ "kill of the engine or of a process group"));
  return PL_ppaddr[OP_KILL](aTHX);
}

// waitpid of any child (-1, or a group) could reap what is not the program's: another
// session's process, or the leader that holds its own group's number.
OP* PpWaitpid(pTHX) {
  if (SvIV(PL_stack_sp[-1]) <= 0) croak_sv(RefusalOf(aTHX_ "waitpid of any child"));
  return PL_ppaddr[OP_WAITPID](aTHX);
}

// Whether an open's arguments name a command (a '|' in its mode or its name).
bool OpensPipe(pTHX) {
  for (SV** arg = PL_stack_base + *PL_markstack_ptr + 1; arg <= PL_stack_sp; ++arg) {
    if (SvPOK(*arg) && std::memchr(SvPVX(*arg), '|', SvCUR(*arg)) != nullptr) return true;
  }
  return false;
}

// Ops that start a command: the session's group is made first, so that the command's fork
// joins it.
OP* PpStartsCommand(pTHX) {
  if (PL_op->op_type != OP_OPEN || OpensPipe(aTHX)) {
    if (SessionProcessGroup* group = SessionProcessGroup::Current()) group->Ensure();
  }
  return PL_ppaddr[PL_op->op_type](aTHX);
}

// Gives every op of `type` compiled from now on the run function `pp`.
template <Optype type, Perl_ppaddr_t pp>
struct OpHook {
  static OP* Check(pTHX_ OP* o) {
    o = previous(aTHX_ o);
    if (o != nullptr && o->op_type == type) o->op_ppaddr = pp;
    return o;
  }
  static void Install(pTHX) { wrap_op_checker(type, Check, &previous); }
  static inline Perl_check_t previous = nullptr;
};

// Once per process, before any program compiles (the checkers are perl's globals).
void InstallOpHooks(pTHX) {
  static bool installed = false;
  if (installed) return;
  installed = true;
  OpHook<OP_FORK, PpRefused>::Install(aTHX);
  OpHook<OP_EXEC, PpRefused>::Install(aTHX);
  OpHook<OP_SYSCALL, PpRefused>::Install(aTHX);
  OpHook<OP_WAIT, PpRefused>::Install(aTHX);
  OpHook<OP_DUMP, PpRefused>::Install(aTHX);
  OpHook<OP_EXIT, PpExit>::Install(aTHX);
  OpHook<OP_KILL, PpKill>::Install(aTHX);
  OpHook<OP_WAITPID, PpWaitpid>::Install(aTHX);
  OpHook<OP_SYSTEM, PpStartsCommand>::Install(aTHX);
  OpHook<OP_BACKTICK, PpStartsCommand>::Install(aTHX);
  OpHook<OP_OPEN, PpStartsCommand>::Install(aTHX);
}

void XsInit(pTHX) {
  newXS("DynaLoader::boot_DynaLoader", boot_DynaLoader, __FILE__);
  newXS("Orvik::_call", XsCall, __FILE__);
  newXS("Orvik::_free", XsFree, __FILE__);
}

class PerlHost : public ScriptHost {
 public:
  explicit PerlHost(std::string language) : ScriptHost(std::move(language)) {
    StartPerlOnce();
    std::lock_guard making(MakingMutex());
    LocaleKeeper keep;
    void* previous = PERL_GET_CONTEXT;
    perl_ = perl_alloc();
    if (perl_ == nullptr) throw VbError(vberr::kOutOfMemory);
    PERL_SET_CONTEXT(perl_);
    perl_construct(perl_);
    dTHXa(perl_);
    InstallOpHooks(aTHX);
    PL_perl_destruct_level = 1;
    PL_exit_flags |= PERL_EXIT_DESTRUCT_END;
    PL_runops = RunopsStoppable;
    static char empty[] = "", dashE[] = "-e", zero[] = "0";
    char* args[] = {empty, dashE, zero, nullptr};
    bool ok = perl_parse(perl_, XsInit, 3, args, nullptr) == 0 && perl_run(perl_) == 0;
    if (ok) {
      eval_pv(kSupport, FALSE);
      ok = !SvTRUE(ERRSV);
    }
    if (previous != nullptr) PERL_SET_CONTEXT(previous);
    if (!ok) {
      Destroy();
      throw VbError(vberr::kAutomationError, "The Perl interpreter could not be started");
    }
  }

  ~PerlHost() override { Destroy(); }

  void AddObject(const std::string& name, std::shared_ptr<Dispatch> object,
                 bool addMembers) override;
  void AddCode(std::string_view code) override;
  Variant Run(std::string_view procedure, std::span<Variant> args) override;
  void Interrupt() override {
    stop_.store(true, std::memory_order_relaxed);
    group_.Kill();
  }

 private:
  void Destroy() {
    if (perl_ == nullptr) return;
    // END blocks and destructors still run, and must not die at their first op.
    stop_.store(false, std::memory_order_relaxed);
    ContextGuard guard(perl_, &stop_, &group_);
    dTHXa(perl_);
    PL_perl_destruct_level = 1;
    perl_destruct(perl_);
    // A fork in an END block or a destructor.
    if (InForkedChild()) ::_exit(0);
    perl_free(perl_);
    perl_ = nullptr;
  }
  void ResetDieHook(pTHX) {
    sv_setiv(get_sv("Orvik::died", GV_ADD), 0);
    sv_setiv(get_sv("Orvik::die_line", GV_ADD), 0);
  }
  // What $@ holds, as a script error; number 0 when the script only called exit.
  ScriptError ErrorOfErrsv(pTHX_ bool compiling);

  PerlInterpreter* perl_ = nullptr;
  std::atomic<bool> stop_{false};
  // What the program's commands start ends with the host.
  SessionProcessGroup group_;
};

ScriptError PerlHost::ErrorOfErrsv(pTHX_ bool compiling) {
  ScriptError e;
  SV* err = ERRSV;
  const int dieLine = static_cast<int>(SvIV(get_sv("Orvik::die_line", GV_ADD)));
  if (SvROK(err)) {
    if (sv_isobject(err) && sv_derived_from(err, "Orvik::Exit")) return e;
    SV* target = SvRV(err);
    e.number = scripterr::kUncaught;
    e.line = dieLine;
    if (SvTYPE(target) == SVt_PVHV) {
      HV* hv = reinterpret_cast<HV*>(target);
      SV** number = hv_fetchs(hv, "number", 0);
      SV** description = hv_fetchs(hv, "description", 0);
      SV** line = hv_fetchs(hv, "line", 0);
      if (number != nullptr && SvOK(*number)) e.number = static_cast<int>(SvIV(*number));
      if (description != nullptr && SvOK(*description))
        e.description = StringOf(aTHX_ * description);
      if (line != nullptr && SvOK(*line) && SvIV(*line) > 0) e.line = static_cast<int>(SvIV(*line));
    }
    if (e.description.empty()) e.description = StringOf(aTHX_ err);
    return e;
  }
  // A text: "message at script line N.\n", or the compiler's lines.
  const std::string text = StringOf(aTHX_ err);
  const std::string at = std::string(" at ") + kScriptFile + " line ";
  const std::size_t where = text.find(at);
  if (where != std::string::npos) e.line = std::atoi(text.c_str() + where + at.size());
  std::string description;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (line.rfind("Execution of ", 0) == 0 && line.find("compilation errors") != std::string::npos)
      continue;
    // The location is told apart; a message that is nothing but "... at script line N."
    // loses it.
    const std::size_t p = line.rfind(at);
    if (p != std::string::npos && line.back() == '.' &&
        line.find_first_not_of("0123456789", p + at.size()) == line.size() - 1)
      line.erase(p);
    if (line.empty()) continue;
    if (!description.empty()) description += ' ';
    description += line;
  }
  e.description = description.empty() ? text : description;
  e.number = compiling ? scripterr::kSyntax : scripterr::kUncaught;
  if (e.line == 0) e.line = dieLine;
  return e;
}

void PerlHost::AddObject(const std::string& name, std::shared_ptr<Dispatch> object,
                         bool addMembers) {
  ContextGuard guard(perl_, &stop_, &group_);
  dTHXa(perl_);
  if (!IsScriptIdentifier(name)) throw VbError(vberr::kInvalidProcedureCall);
  SV* value = VariantToSv(aTHX_ Variant(object));
  hv_store(get_hv("Orvik::objects", GV_ADD), name.data(), static_cast<I32>(name.size()), value, 0);
  // $NAME in main, imported from another package, so that "use strict" accepts it.
  std::string code =
      "package Orvik;\n*main::" + name + " = \\$Orvik::objects{'" + name + "'};\npackage main;\n";
  const std::vector<std::string> members =
      addMembers && object ? object->MemberNames() : std::vector<std::string>();
  for (const std::string& member : members) {
    if (!IsScriptIdentifier(member)) continue;
    if (get_cv(("main::" + member).c_str(), 0) != nullptr) continue;
    code += "$Orvik::member{lc '" + member + "'} = 1;\n";
    code += "sub " + member + " { Orvik::_call(${$Orvik::objects{'" + name + "'}}, '" + member +
            "', 0, @_) }\n";
  }
  code += "1;\n";
  eval_pv(code.c_str(), FALSE);
  if (SvTRUE(ERRSV))
    throw VbError(vberr::kAutomationError, "The object '" + name + "' could not be added");
}

void PerlHost::AddCode(std::string_view code) {
  if (stop_.load()) Fail(InterruptedError());
  ScriptError failure;
  {
    ContextGuard guard(perl_, &stop_, &group_);
    dTHXa(perl_);
    ResetDieHook(aTHX);
    std::string text = "package main;\n#line 1 \"";
    text += kScriptFile;
    text += "\"\n";
    text.append(code);
    text += "\n;1;";
    ENTER;
    SAVETMPS;
    SV* source = sv_2mortal(newSVpvn(text.data(), text.size()));
    eval_sv(source, G_SCALAR | G_DISCARD);
    EndForkedChild(aTHX);
    if (SvTRUE(ERRSV)) {
      // Compile errors reach no die hook; a failure of the code's top level does.
      const bool compiling = SvIV(get_sv("Orvik::died", GV_ADD)) == 0;
      failure = ErrorOfErrsv(aTHX_ compiling);
    }
    FREETMPS;
    LEAVE;
  }
  if (stop_.load()) Fail(InterruptedError());
  if (failure.number != 0) Fail(std::move(failure));
}

Variant PerlHost::Run(std::string_view procedure, std::span<Variant> args) {
  if (stop_.load()) Fail(InterruptedError());
  ScriptError failure;
  Variant result;
  bool found = true;
  {
    ContextGuard guard(perl_, &stop_, &group_);
    dTHXa(perl_);
    ResetDieHook(aTHX);
    std::string sub;
    {
      dSP;
      ENTER;
      SAVETMPS;
      PUSHMARK(SP);
      XPUSHs(sv_2mortal(newSVpvn(procedure.data(), procedure.size())));
      PUTBACK;
      const int count = call_pv("Orvik::find", G_SCALAR | G_EVAL);
      SPAGAIN;
      if (count == 1) {
        SV* name = POPs;
        if (SvOK(name)) sub = StringOf(aTHX_ name);
      }
      PUTBACK;
      FREETMPS;
      LEAVE;
    }
    if (sub.empty()) {
      found = false;
    } else {
      dSP;
      ENTER;
      SAVETMPS;
      PUSHMARK(SP);
      std::vector<SV*> svs;
      try {
        for (const Variant& a : args) svs.push_back(sv_2mortal(VariantToSv(aTHX_ a)));
      } catch (...) {
        failure = ErrorOfCurrentException();
      }
      if (failure.number == 0) {
        for (SV* sv : svs) XPUSHs(sv);
        PUTBACK;
        const int count = call_pv(sub.c_str(), G_SCALAR | G_EVAL);
        EndForkedChild(aTHX);
        SPAGAIN;
        SV* value = count == 1 ? POPs : nullptr;
        PUTBACK;
        if (SvTRUE(ERRSV)) {
          failure = ErrorOfErrsv(aTHX_ false);
        } else {
          try {
            if (value != nullptr) result = SvToVariant(aTHX_ value);
            for (std::size_t i = 0; i < svs.size(); ++i) args[i] = SvToVariant(aTHX_ svs[i]);
          } catch (...) {
            failure = ErrorOfCurrentException();
          }
        }
      }
      FREETMPS;
      LEAVE;
    }
  }
  if (stop_.load()) Fail(InterruptedError());
  if (!found) {
    Fail({scripterr::kNoProcedure, "The script has no procedure '" + std::string(procedure) + "'",
          0, 0});
  }
  if (failure.number != 0) Fail(std::move(failure));
  return result;
}

}  // namespace

std::unique_ptr<ScriptHost> MakePerlScriptHost(std::string language) {
  return std::make_unique<PerlHost>(std::move(language));
}

}  // namespace orvik
