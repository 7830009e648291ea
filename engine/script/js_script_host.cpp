// JavaScript on QJSEngine.
//
// Objects reach scripts as proxies: each Dispatch object sits in a small QObject (a
// holder, owned by the JavaScript heap so that the collector frees it) and a JavaScript
// Proxy turns property reads, assignments and calls into Dispatch calls by name. Member
// names given as globals live on an object between the global object and its prototype,
// so that a script's own declarations of the same names take precedence over them.
//
// Errors cross the boundary as values: a holder catches every C++ exception and throws a
// JavaScript error with `number` and `description` instead; the host runs every script
// call through QJSEngine::evaluate, whose stack trace tells whether something was thrown
// and at which line of the script.

#include "js_script_host.h"

#include <QDateTime>
#include <QJSEngine>
#include <QJSValue>
#include <QObject>
#include <QStringList>
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <unordered_map>
#include <vector>

#include "text.h"
#include "vb_error.h"

namespace orvik {
namespace {

constexpr const char* kScriptFile = "script";
constexpr const char* kHostFile = "host";
constexpr const char* kHolderKey = "__orvikHolder";
// More arguments than any call can pass: the engine's stack holds fewer.
constexpr std::size_t kMostArguments = std::size_t{1} << 20;

// Kind codes shared with the support code below.
int KindCode(Dispatch::MemberKind kind) {
  switch (kind) {
    case Dispatch::MemberKind::None:
      return 0;
    case Dispatch::MemberKind::Method:
      return 1;
    case Dispatch::MemberKind::Property:
      return 2;
    case Dispatch::MemberKind::Unknown:
      break;
  }
  return 3;
}

// Installed once per engine; gives the host its helpers through the global "__orvik".
constexpr const char* kSupport = R"JS(
(function (global) {
  "use strict";
  var HOLDER = "__orvikHolder";
  // Taken before any script runs, so that a script's own changes to them do not change how
  // its calls reach the engine.
  var hasOwn = Object.prototype.hasOwnProperty;
  var isArray = Array.isArray;
  var DateType = Date;
  var members = Object.create(Object.getPrototypeOf(global));
  Object.setPrototypeOf(global, members);
  var builtIn = {};
  Object.getOwnPropertyNames(global).forEach(function (n) { builtIn[n] = true; });
  var pending = null;

  // References of the member calls running, each with its position: kept here rather than in
  // a list of each call's own, so that a call makes nothing to collect but its rest array.
  var stash = Object.setPrototypeOf([], null);  // what a script does to arrays is not seen here

  // A holder's proxy goes to the holder as the holder itself, which it knows without asking
  // the proxy anything.
  function unwrapped(v) {
    if (v === null || typeof v !== "object") return v;
    var holder = v[HOLDER];
    return holder !== null && typeof holder === "object" ? holder : v;
  }

  // Runs `member` (a holder's call or let) on `args`, the calling wrapper's own rest array,
  // a reference's value in its place; what the member leaves there goes back into the
  // reference. Told apart here, the arguments reach the holder as plain values and positions:
  // the holder looking at each argument's properties by name cost more than the member
  // itself, and made a string to collect each time. The positions of references are bits of
  // a number, or a list beyond 30 arguments.
  function invoke(member, key, args) {
    var n = args.length, refs = 0, top = stash.length;
    for (var i = 0; i < n; ++i) {
      var a = args[i];
      if (a === null || typeof a !== "object" || isArray(a) || a instanceof DateType) continue;
      var holder = a[HOLDER];
      if (holder !== undefined) {
        if (holder !== null && typeof holder === "object") args[i] = holder;
        continue;
      }
      if (!hasOwn.call(a, "value")) continue;
      stash[stash.length] = a;
      stash[stash.length] = i;
      args[i] = unwrapped(a.value);
      if (n <= 30) {
        refs |= 1 << i;
      } else {
        if (refs === 0) refs = [];
        refs[refs.length] = i;
      }
    }
    if (refs === 0) return member(key, args, n, 0);
    try {
      var result = member(key, args, n, refs);
      for (var k = top; k < stash.length; k += 2) stash[k].value = args[stash[k + 1]];
      return result;
    } finally {
      stash.length = top;
    }
  }

  // A holder's call is looked up once: each look-up of a method of a C++ object makes a new
  // function, and a program's every call of a member would leave one to collect. Each member
  // is found by name once, when its wrapper is made, and called by number after.
  function caller(holder) {
    var call = holder.call;
    return function (name) {
      var id = holder.member(name);
      return function (...args) { return invoke(call, id, args); };
    };
  }

  function wrap(holder) {
    var callerOf = caller(holder), methods = Object.create(null);
    var kindOf = holder.kind, valueOf = holder.get, assign = holder.let;
    // Made here, not in `get`: a function made inside another makes that one's every call
    // keep its variables on the heap.
    var letProperty = function (member, ...args) { return invoke(assign, String(member), args); };
    return new Proxy({}, {
      get: function (t, name) {
        if (name === HOLDER) return holder;
        if (typeof name !== "string") return undefined;
        if (name === "LetProperty") return letProperty;
        var kind = kindOf(name);
        if (kind === 0) return undefined;
        if (kind === 2) {
          var r = valueOf(name);
          if (r !== holder) return r;  // else the property takes arguments: it is called
        }
        if (kind !== 1) return callerOf(name);
        if (!hasOwn.call(methods, name)) methods[name] = callerOf(name);
        return methods[name];
      },
      set: function (t, name, value) {
        invoke(assign, String(name), [value]);
        return true;
      },
      has: function (t, name) { return typeof name === "string" && kindOf(name) !== 0; }
    });
  }

  var support = {
    wrap: wrap,
    addMembers: function (proxy, holder, names, kinds) {
      var callerOf = caller(holder);
      names.forEach(function (name, i) {
        if (name in global) return;
        if (kinds[i] === 2) {
          Object.defineProperty(members, name, {
            get: function () { return proxy[name]; },
            set: function (v) { proxy[name] = v; },
            configurable: true
          });
        } else {
          Object.defineProperty(members, name, {
            value: callerOf(name), writable: true, configurable: true
          });
        }
      });
    },
    find: function (name) {
      var own = Object.getOwnPropertyNames(global);
      var lower = name.toLowerCase(), found;
      for (var i = 0; i < own.length; ++i) {
        var n = own[i];
        if (builtIn[n] || typeof global[n] !== "function") continue;
        if (n === name) return global[n];
        if (found === undefined && n.toLowerCase() === lower) found = global[n];
      }
      return found;
    },
    prepare: function (fn, args) { pending = [fn, args]; },
    call: function () {
      var p = pending;
      pending = null;
      return p[0].apply(undefined, p[1]);
    }
  };
  Object.defineProperty(global, "__orvik", { value: support });
  Object.defineProperty(global, "Ref", {
    value: function (v) { return { value: v }; }, writable: true, configurable: true
  });
})((function () { return this; })());
)JS";

class JsHost;

// One Dispatch object as the JavaScript heap holds it.
class JsHolder : public QObject {
  Q_OBJECT

 public:
  JsHolder(JsHost* host, std::shared_ptr<Dispatch> object)
      : host_(host), object_(std::move(object)) {}
  const std::shared_ptr<Dispatch>& object() const { return object_; }

  // The number `call` knows the member `name` by.
  Q_INVOKABLE int member(const QString& name);
  // The member's arguments are `values` (`count` of them); those at the positions `refs`
  // tells (a number's bits, or a list) are by reference, and get back what the member left in
  // them.
  Q_INVOKABLE QJSValue call(int member, const QJSValue& values, int count, const QJSValue& refs);
  // The property's value when it reads without arguments, this holder when it needs some.
  Q_INVOKABLE QJSValue get(const QString& name);
  Q_INVOKABLE QJSValue let(const QString& name, const QJSValue& values, int count,
                           const QJSValue& refs);
  Q_INVOKABLE int kind(const QString& name);

 private:
  QJSValue Invoke(std::string_view name, Dispatch::CallType type, const QJSValue& values, int count,
                  const QJSValue& refs);

  JsHost* host_;
  std::shared_ptr<Dispatch> object_;
  std::vector<std::string> members_;  // by the numbers `member` gave
  // Each name's number: an object of unknown members is asked for whatever names a script
  // makes, and a search of the list would grow with every one.
  std::unordered_map<std::string, int> numbers_;
};

class JsHost : public ScriptHost {
 public:
  explicit JsHost(std::string language) : ScriptHost(std::move(language)) {
    QStringList trace;
    engine_.evaluate(QString::fromLatin1(kSupport), kHostFile, 1, &trace);
    if (!trace.isEmpty())
      throw VbError(vberr::kAutomationError, "The JavaScript engine could not be prepared");
    support_ = engine_.globalObject().property("__orvik");
    wrap_ = support_.property("wrap");
    CountUntouchedText();
  }

  void AddObject(const std::string& name, std::shared_ptr<Dispatch> object,
                 bool addMembers) override;
  void AddCode(std::string_view code) override;
  Variant Run(std::string_view procedure, std::span<Variant> args) override;
  // QJSEngine takes this flag from any thread and checks it as the script runs.
  void Interrupt() override { engine_.setInterrupted(true); }

  QJSEngine& engine() { return engine_; }
  QJSValue ToJs(const Variant& v);
  Variant FromJs(const QJSValue& v);
  // Throws the current C++ exception into JavaScript as an error object.
  void ThrowCurrentException();

 private:
  QJSValue Wrap(std::shared_ptr<Dispatch> object);
  // Evaluates `code`; fills `failure` when something was thrown.
  QJSValue Evaluate(const QString& code, const QString& file, bool* failed, ScriptError* failure);

  // The engine collects garbage whenever the text of the strings made since its last
  // collection passes a limit, which starts at 128 KB and grows only while the strings that
  // survive fill most of it. A program that reads and writes items makes that much text every
  // couple of hundred items, and each collection walks the whole heap and gives emptied pages
  // back to the system, which every processor running a session of the process must then
  // forget: sessions side by side spent more time collecting than running their programs. A
  // string the engine counts, but that nothing reaches or reads, holds the limit at twice its
  // size: text worth kCountedText is then made between collections. Its characters are a
  // zero buffer never written or read, so it takes no memory.
  void CountUntouchedText() {
    static constexpr qsizetype kCountedText = 512 * 1024;  // bytes, two a character
    static char16_t untouched[kCountedText / 2];
    QJSValue holder = engine_.newObject();
    holder.setProperty(
        "text", QString::fromRawData(reinterpret_cast<const QChar*>(untouched), kCountedText / 2));
    counted_ = holder;
  }

  QJSEngine engine_;
  QJSValue support_;
  QJSValue wrap_;
  QJSValue counted_;  // CountUntouchedText
};

// Straight into the string, as QString::toLatin1 would have it ('?' for what Latin-1 lacks),
// without the byte array between: every argument and member name of a call comes this way.
std::string ToLatin1(const QString& s) {
  std::string out(static_cast<std::size_t>(s.size()), '\0');
  const QChar* in = s.constData();
  for (std::size_t i = 0; i < out.size(); ++i) {
    const char16_t c = in[i].unicode();
    out[i] = c < 0x100 ? static_cast<char>(c) : '?';
  }
  return out;
}

QString FromLatin1(std::string_view s) {
  return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

const QDate kSerialEpoch(1899, 12, 30);

QDateTime DateTimeOfSerial(double serial) {
  const double days = std::floor(serial);
  const auto ms = static_cast<int>(std::llround((serial - days) * 86400000.0));
  return QDateTime(kSerialEpoch.addDays(static_cast<qint64>(days)),
                   QTime::fromMSecsSinceStartOfDay(std::min(ms, 86399999)));
}

double SerialOfDateTime(const QDateTime& t) {
  return static_cast<double>(kSerialEpoch.daysTo(t.date())) +
         t.time().msecsSinceStartOfDay() / 86400000.0;
}

// The positions `refs` tells (see JsHolder::call) below `count`.
std::vector<quint32> ReferencePositions(const QJSValue& refs, int count) {
  std::vector<quint32> out;
  if (refs.isNumber()) {
    const quint32 bits = refs.toUInt();
    for (int i = 0; i < std::min(count, 32); ++i) {
      if (bits & (1u << i)) out.push_back(static_cast<quint32>(i));
    }
  } else if (refs.isArray()) {
    const quint32 n = refs.property(QStringLiteral("length")).toUInt();
    for (quint32 k = 0; k < n; ++k) {
      const quint32 i = refs.property(k).toUInt();
      if (i < static_cast<quint32>(count)) out.push_back(i);
    }
  }
  return out;
}

QJSValue JsHolder::Invoke(std::string_view name, Dispatch::CallType type, const QJSValue& values,
                          int count, const QJSValue& refs) {
  try {
    // Most members take a few arguments: those need no list on the heap.
    constexpr std::size_t kFew = 8;
    std::array<Variant, kFew> few;
    std::vector<Variant> many;
    const auto n = static_cast<std::size_t>(std::max(count, 0));
    if (n > kFew) {
      // The support code counts its own lists; a script that calls the holder itself could
      // claim any count, and a list of a billion arguments would take the console down.
      if (n > kMostArguments || n != values.property(QStringLiteral("length")).toUInt())
        throw VbError(vberr::kWrongArgumentCount);
      many.resize(n);
    }
    const std::span<Variant> args = n > kFew ? std::span<Variant>(many) : std::span(few).first(n);
    for (std::size_t i = 0; i < n; ++i)
      args[i] = host_->FromJs(values.property(static_cast<quint32>(i)));
    const Variant result = object_->Invoke(name, type, args);
    const std::vector<quint32> back = ReferencePositions(refs, static_cast<int>(n));
    if (!back.empty()) {
      QJSValue out = values;
      for (const quint32 i : back) out.setProperty(i, host_->ToJs(args[i]));
    }
    return host_->ToJs(result);
  } catch (...) {
    host_->ThrowCurrentException();
    return QJSValue();
  }
}

int JsHolder::member(const QString& name) {
  const std::string latin1 = ToLatin1(name);
  const auto [at, added] = numbers_.try_emplace(latin1, static_cast<int>(members_.size()));
  if (added) members_.push_back(latin1);
  return at->second;
}

QJSValue JsHolder::call(int member, const QJSValue& values, int count, const QJSValue& refs) {
  // Only a script that reaches for the holder itself can give a number never handed out: an
  // empty name, which no object has as a member.
  const bool known = member >= 0 && static_cast<std::size_t>(member) < members_.size();
  return Invoke(known ? std::string_view(members_[static_cast<std::size_t>(member)]) : "",
                Dispatch::CallType::Method, values, count, refs);
}

QJSValue JsHolder::let(const QString& name, const QJSValue& values, int count,
                       const QJSValue& refs) {
  return Invoke(ToLatin1(name), Dispatch::CallType::PropertyLet, values, count, refs);
}

QJSValue JsHolder::get(const QString& name) {
  try {
    return host_->ToJs(object_->Invoke(ToLatin1(name), Dispatch::CallType::PropertyGet, {}));
  } catch (const VbError& e) {
    // The property takes arguments: the script calls it instead.
    if (e.number() == vberr::kArgumentNotOptional || e.number() == vberr::kWrongArgumentCount)
      return host_->engine().newQObject(this);
    host_->ThrowCurrentException();
  } catch (...) {
    host_->ThrowCurrentException();
  }
  return QJSValue();
}

int JsHolder::kind(const QString& name) {
  try {
    return KindCode(object_->KindOf(ToLatin1(name)));
  } catch (...) {
    return 3;
  }
}

void JsHost::ThrowCurrentException() {
  const ScriptError e = ErrorOfCurrentException();
  QJSValue error = engine_.newErrorObject(QJSValue::GenericError, FromLatin1(e.description));
  error.setProperty("number", e.number);
  error.setProperty("description", FromLatin1(e.description));
  engine_.throwError(error);
}

QJSValue JsHost::Wrap(std::shared_ptr<Dispatch> object) {
  auto* holder = new JsHolder(this, std::move(object));
  QJSValue h = engine_.newQObject(holder);  // JavaScript ownership: the collector frees it
  return wrap_.call({h});
}

QJSValue JsHost::ToJs(const Variant& v) {
  switch (v.type()) {
    case Variant::Type::Empty:
    case Variant::Type::Missing:
      return QJSValue(QJSValue::UndefinedValue);
    case Variant::Type::Null:
      return QJSValue(QJSValue::NullValue);
    case Variant::Type::Boolean:
      return QJSValue(v.ToBoolean());
    case Variant::Type::Long:
      return QJSValue(static_cast<int>(v.ToLong()));
    case Variant::Type::Double:
      return QJSValue(v.ToDouble());
    case Variant::Type::String:
      return QJSValue(FromLatin1(v.StringRef()));
    case Variant::Type::Date:
      return engine_.toScriptValue(DateTimeOfSerial(v.ToDateSerial()));
    case Variant::Type::Object:
      if (!v.ObjectRef()) return QJSValue(QJSValue::NullValue);  // Nothing
      return Wrap(v.ObjectRef());
    case Variant::Type::Array: {
      const VariantArray& items = v.ArrayRef();
      QJSValue out = engine_.newArray(static_cast<uint>(items.size()));
      for (std::size_t i = 0; i < items.size(); ++i)
        out.setProperty(static_cast<quint32>(i), ToJs(items[i]));
      return out;
    }
  }
  return QJSValue();
}

Variant JsHost::FromJs(const QJSValue& v) {
  if (v.isUndefined()) return Variant();
  if (v.isNull()) return Variant::Null();
  if (v.isBool()) return Variant(v.toBool());
  if (v.isNumber()) {
    const double d = v.toNumber();
    if (std::trunc(d) == d && d >= std::numeric_limits<std::int32_t>::min() &&
        d <= std::numeric_limits<std::int32_t>::max() && !(d == 0 && std::signbit(d)))
      return Variant(static_cast<std::int32_t>(d));
    return Variant(d);
  }
  if (v.isString()) return Variant(ToLatin1(v.toString()));
  if (v.isDate()) return Variant::Date(SerialOfDateTime(v.toDateTime()));
  if (v.isArray()) {
    const int n = v.property("length").toInt();
    VariantArray items;
    items.reserve(static_cast<std::size_t>(std::max(n, 0)));
    for (int i = 0; i < n; ++i) items.push_back(FromJs(v.property(static_cast<quint32>(i))));
    return Variant(std::move(items));
  }
  if (v.isQObject()) {
    if (auto* holder = qobject_cast<JsHolder*>(v.toQObject())) return Variant(holder->object());
    throw VbError(vberr::kTypeMismatch);
  }
  if (v.isObject() && !v.isCallable()) {
    if (auto* holder = qobject_cast<JsHolder*>(v.property(kHolderKey).toQObject()))
      return Variant(holder->object());
  }
  throw VbError(vberr::kTypeMismatch);
}

// A frame of QJSEngine's stack trace: "function:line:column:file:name".
struct Frame {
  int line = 0;
  int column = 0;
  QString file;
};

Frame ParseFrame(const QString& text) {
  Frame f;
  const QStringList parts = text.split(':');
  if (parts.size() >= 4) {
    f.line = parts[1].toInt();
    f.column = parts[2].toInt();
    f.file = parts.mid(3).join(':');
    if (f.file.startsWith("file:")) f.file = f.file.mid(5);
  }
  return f;
}

QJSValue JsHost::Evaluate(const QString& code, const QString& file, bool* failed,
                          ScriptError* failure) {
  if (engine_.isInterrupted()) {
    *failed = true;
    *failure = InterruptedError();
    return QJSValue();
  }
  QStringList trace;
  QJSValue result = engine_.evaluate(code, file, 1, &trace);
  *failed = !trace.isEmpty() || engine_.isInterrupted();
  if (!*failed) return result;
  if (engine_.isInterrupted()) {
    // Whatever the script was doing, and whatever it caught, the session is over.
    *failure = InterruptedError();
    return result;
  }

  ScriptError e;
  for (const QString& text : trace) {
    const Frame f = ParseFrame(text);
    if (f.file == kScriptFile) {
      e.line = std::max(f.line, 0);
      e.column = std::max(f.column, 0);
      break;
    }
  }
  const QJSValue number = result.isObject() ? result.property("number") : QJSValue();
  if (number.isNumber()) {
    e.number = number.toInt();
    const QJSValue description = result.property("description");
    e.description = ToLatin1(description.isString() ? description.toString()
                                                    : result.property("message").toString());
  } else if (result.isError()) {
    const QString name = result.property("name").toString();
    e.number = name == "SyntaxError"      ? scripterr::kSyntax
               : name == "ReferenceError" ? scripterr::kUndefined
               : name == "TypeError"      ? vberr::kNoSuchMember
                                          : scripterr::kUncaught;
    e.description = ToLatin1(result.toString());
  } else {
    e.number = scripterr::kUncaught;
    e.description = ToLatin1(result.toString());
  }
  if (e.number == scripterr::kSyntax) {
    // Only the compiler knows the column.
  } else {
    e.column = 0;
  }
  *failure = std::move(e);
  return result;
}

void JsHost::AddObject(const std::string& name, std::shared_ptr<Dispatch> object, bool addMembers) {
  QJSValue proxy = Wrap(object);
  engine_.globalObject().setProperty(FromLatin1(name), proxy);
  if (!addMembers || !object) return;
  const std::vector<std::string> names = object->MemberNames();
  QJSValue jsNames = engine_.newArray(static_cast<uint>(names.size()));
  QJSValue kinds = engine_.newArray(static_cast<uint>(names.size()));
  for (std::size_t i = 0; i < names.size(); ++i) {
    jsNames.setProperty(static_cast<quint32>(i), FromLatin1(names[i]));
    kinds.setProperty(static_cast<quint32>(i), KindCode(object->KindOf(names[i])));
  }
  support_.property("addMembers").call({proxy, proxy.property(kHolderKey), jsNames, kinds});
}

void JsHost::AddCode(std::string_view code) {
  bool failed = false;
  ScriptError e;
  Evaluate(FromLatin1(code), kScriptFile, &failed, &e);
  if (failed) Fail(std::move(e));
}

Variant JsHost::Run(std::string_view procedure, std::span<Variant> args) {
  if (engine_.isInterrupted()) Fail(InterruptedError());
  const QJSValue fn = support_.property("find").call({FromLatin1(procedure)});
  if (!fn.isCallable()) {
    Fail({scripterr::kNoProcedure, "The script has no procedure '" + std::string(procedure) + "'",
          0, 0});
  }
  QJSValue refs = engine_.newArray(static_cast<uint>(args.size()));
  for (std::size_t i = 0; i < args.size(); ++i) {
    QJSValue ref = engine_.newObject();
    ref.setProperty("value", ToJs(args[i]));
    refs.setProperty(static_cast<quint32>(i), ref);
  }
  support_.property("prepare").call({fn, refs});
  bool failed = false;
  ScriptError e;
  const QJSValue result = Evaluate("__orvik.call()", kHostFile, &failed, &e);
  if (failed) Fail(std::move(e));
  try {
    Variant out = FromJs(result);
    for (std::size_t i = 0; i < args.size(); ++i)
      args[i] = FromJs(refs.property(static_cast<quint32>(i)).property("value"));
    return out;
  } catch (...) {
    Fail(ErrorOfCurrentException());  // a result that has no Variant form
  }
}

}  // namespace

std::unique_ptr<ScriptHost> MakeJsScriptHost(std::string language) {
  return std::make_unique<JsHost>(std::move(language));
}

}  // namespace orvik

#include "js_script_host.moc"
