// Port by name, for scripts and plugins.

#include "port.h"
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
  t.Method("RequestA", [](Port& p, Args& a) {
    a.Expect(1, 1);
    return Variant(p.RequestA(a.String(0)));
  });
  t.Method("PortCClose", [](Port& p, Args& a) {
    a.Expect(0, 0);
    p.PortCClose();
    return Variant();
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

}  // namespace

Variant Port::Invoke(std::string_view name, CallType type, std::span<Variant> args) {
  static const MemberTable<Port> table = BuildTable();
  const auto self = shared_from_this();  // a member may pump events and outlive the host
  return table.Invoke(*this, name, type, args);
}

}  // namespace orvik
