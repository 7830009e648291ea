// Port by name, for scripts and plugins.

#include "dictionary.h"
#include "port.h"
#include "recordset.h"
#include "vb_error.h"

namespace orvik {
namespace {

using Args = DispatchArgs;

MemberTable<Port> BuildTable() {
  MemberTable<Port> t;
  t.Property(
      "ExecuteCompareMethod",
      [](Port& p, Args& a) {
        a.Expect(0, 0);
        return Variant(p.ExecuteCompareMethod());
      },
      [](Port& p, Args& a) {
        a.Expect(1, 1);
        p.SetExecuteCompareMethod(a.Long(0));
      });
  t.Property(
      "State",
      [](Port& p, Args& a) {
        a.Expect(0, 0);
        return Variant(p.State());
      },
      [](Port&, Args& a) { a.Expect(1, 1); });
  t.Property(
      "UserName",
      [](Port& p, Args& a) {
        a.Expect(0, 0);
        return Variant(p.UserName());
      },
      [](Port&, Args& a) { a.Expect(1, 1); });
  t.Property(
      "TermType",
      [](Port& p, Args& a) {
        a.Expect(0, 0);
        return Variant(p.TermType());
      },
      [](Port& p, Args& a) {
        a.Expect(1, 1);
        p.SetTermType(a.String(0));
      });
  t.Property("UserInst", [](Port& p, Args& a) {
    a.Expect(0, 0);
    return Variant(p.UserInst());
  });
  t.Property("Connection_ID", [](Port& p, Args& a) {
    a.Expect(0, 0);
    return Variant(p.Connection_ID());
  });
  t.Property("SelectArray", [](Port& p, Args& a) {
    a.Expect(0, 0);
    return p.SelectArray();
  });
  t.Property("ErrorDetail", [](Port& p, Args& a) {
    a.Expect(0, 0);
    return Variant(p.ErrorDetail());
  });
  t.Property("Response", [](Port& p, Args& a) {
    a.Expect(0, 0);
    return Variant(p.Response());
  });
  t.Property("Description", nullptr, [](Port& p, Args& a) {
    a.Expect(1, 1);
    p.SetDescription(a.String(0));
  });
  t.Method("Echo", [](Port& p, Args& a) {
    a.Expect(1, 1);
    p.Echo(a.Ref(0));
    return Variant();
  });
  t.Method("IInput", [](Port& p, Args& a) {
    a.Expect(1, 4);
    const bool ok = p.IInput(a.Ref(0), a.LongOr(1, -1), a.Present(2) ? a.Boolean(2) : true,
                             a.Present(3) ? a.Double(3) : -1.0);
    return Variant(ok);
  });
  t.Method("CRT", [](Port& p, Args& a) {
    a.Expect(1, 2);
    p.CRT(a.String(0), a.Present(1) ? a.Boolean(1) : true);
    return Variant();
  });
  t.Method("TTag", [](Port& p, Args& a) {
    a.Expect(1, 2);
    return Variant(p.TTag(a.Long(0), a.LongOr(1, -1)));
  });
  t.Method("Execute", [](Port& p, Args& a) {
    a.Expect(1, 2);
    return Variant(p.Execute(a.String(0), a.Present(1) ? a.String(1) : std::string()));
  });
  t.Method("ExecuteTX", [](Port& p, Args& a) {
    a.Expect(1, 1);
    return Variant(p.ExecuteTX(a.String(0)));
  });
  t.Method("PPrint", [](Port& p, Args& a) {
    a.Expect(1, 2);
    p.PPrint(a.String(0), a.Present(1) ? a.Boolean(1) : true);
    return Variant();
  });
  t.Method("ExecutePS", [](Port& p, Args& a) {
    a.Expect(1, 1);
    std::string sentence = a.String(0);
    const std::string answer = p.ExecutePS(sentence);
    a.Ref(0) = Variant(sentence);
    return Variant(answer);
  });
  t.Method("RequestA", [](Port& p, Args& a) {
    a.Expect(1, 1);
    return Variant(p.RequestA(a.String(0)));
  });
  t.Method("PortCClose", [](Port& p, Args& a) {
    a.Expect(0, 0);
    p.PortCClose();
    return Variant();
  });
  t.Method("RsOOpen", [](Port& p, Args& a) {
    a.Expect(2, 2);
    std::shared_ptr<Recordset> rs;
    const bool ok = p.RsOOpen(a.String(0), rs);
    a.Ref(1) = Variant(std::static_pointer_cast<Dispatch>(rs));
    return Variant(ok);
  });
  t.Method("OOpen", [](Port& p, Args& a) {
    a.Expect(2, 2);
    return Variant(p.OOpen(a.Ref(0), a.Ref(1)));
  });
  t.Method("CClose", [](Port& p, Args& a) {
    a.Expect(1, 1);
    return Variant(p.CClose(a.Ref(0)));
  });
  t.Method("RRead", [](Port& p, Args& a) {
    a.Expect(3, 3);
    return Variant(p.RRead(a.Ref(0), a.Ref(1), a.Ref(2)));
  });
  t.Method("RReadTR", [](Port& p, Args& a) {
    a.Expect(3, 3);
    return Variant(p.RReadTR(a.Ref(0), a.Ref(1), a.Ref(2)));
  });
  t.Method("RReadV", [](Port& p, Args& a) {
    a.Expect(4, 4);
    return Variant(p.RReadV(a.Ref(0), a.Ref(1), a.Ref(2), a.Ref(3)));
  });
  t.Method("RReadU", [](Port& p, Args& a) {
    a.Expect(3, 3);
    return Variant(p.RReadU(a.Ref(0), a.Ref(1), a.Ref(2)));
  });
  t.Method("RReadVU", [](Port& p, Args& a) {
    a.Expect(4, 4);
    return Variant(p.RReadVU(a.Ref(0), a.Ref(1), a.Ref(2), a.Ref(3)));
  });
  t.Method("WWrite", [](Port& p, Args& a) {
    a.Expect(3, 3);
    return Variant(p.WWrite(a.String(0), a.String(1), a.String(2)));
  });
  t.Method("WWriteU", [](Port& p, Args& a) {
    a.Expect(3, 3);
    return Variant(p.WWriteU(a.String(0), a.String(1), a.String(2)));
  });
  t.Method("WWriteV", [](Port& p, Args& a) {
    a.Expect(4, 4);
    return Variant(p.WWriteV(a.String(0), a.String(1), a.String(2), a.Long(3)));
  });
  t.Method("WWriteVU", [](Port& p, Args& a) {
    a.Expect(4, 4);
    return Variant(p.WWriteVU(a.String(0), a.String(1), a.String(2), a.Long(3)));
  });
  t.Method("Delete", [](Port& p, Args& a) {
    a.Expect(2, 2);
    return Variant(p.Delete(a.Ref(0), a.Ref(1)));
  });
  t.Method("Release", [](Port& p, Args& a) {
    a.Expect(0, 2);
    const Variant empty{std::string()};
    return Variant(p.Release(a.Present(0) ? a.Ref(0) : empty, a.Present(1) ? a.Ref(1) : empty));
  });
  t.Method("JDecode", [](Port& p, Args& a) {
    a.Expect(2, 2);
    const std::string text = a.String(0);
    std::string key = a.String(1);
    Variant result = p.JDecode(text, key);
    a.Ref(1) = Variant(key);
    return result;
  });
  t.Method("XRun", [](Port& p, Args& a) {
    a.Expect(1, 9);
    // The arguments up to the first one left out, each by reference.
    std::span<Variant> rest = a.Rest(1);
    std::size_t n = 0;
    while (n < rest.size() && !rest[n].IsMissing()) ++n;
    return p.XRun(a.String(0), rest.first(n));
  });
  t.Method("JetQRef", [](Port& p, Args& a) {
    a.Expect(4, 4);
    std::shared_ptr<Recordset> rs;
    const std::string answer = p.JetQRef(a.String(0), a.String(1), a.String(2), rs);
    a.Ref(3) = Variant(std::static_pointer_cast<Dispatch>(rs));
    return Variant(answer);
  });
  t.Property(
      "msState",
      [](Port& p, Args& a) {
        a.Expect(0, 0);
        return Variant(p.msState());
      },
      [](Port& p, Args& a) {
        a.Expect(1, 1);
        p.SetMsState(a.String(0));
      });
  t.Property(
      "XCommon",
      [](Port& p, Args& a) {
        a.Expect(0, 0);
        return Variant(std::static_pointer_cast<Dispatch>(p.XCommon()));
      },
      [](Port& p, Args& a) {
        a.Expect(1, 1);
        auto dict = std::dynamic_pointer_cast<Dictionary>(a.Ref(0).ObjectRef());
        if (!dict) throw VbError(vberr::kTypeMismatch);
        p.SetXCommon(std::move(dict));
      });
  return t;
}

const MemberTable<Port>& Table() {
  static const MemberTable<Port> table = BuildTable();
  return table;
}

}  // namespace

Variant Port::Invoke(std::string_view name, CallType type, std::span<Variant> args) {
  const auto self = shared_from_this();  // a member may pump events and outlive the host
  return Table().Invoke(*this, name, type, args);
}

Dispatch::MemberKind Port::KindOf(std::string_view name) { return Table().Kind(name); }

std::vector<std::string> Port::MemberNames() { return Table().Names(); }

}  // namespace orvik
