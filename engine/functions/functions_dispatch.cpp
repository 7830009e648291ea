// Functions by name, for scripts, plugins and converted programs.

#include "functions.h"

namespace orvik {
namespace {

using Args = DispatchArgs;
using F = Functions;

MemberTable<F> BuildTable() {
  MemberTable<F> t;
  t.Property(
      "ErrorDetailFn",
      [](F& f, Args& a) {
        a.Expect(0, 0);
        return Variant(f.ErrorDetailFn());
      },
      [](F& f, Args& a) {
        a.Expect(1, 1);
        f.SetErrorDetailFn(a.String(0));
      });
  t.Property(
      "RReplaceSafety",
      [](F& f, Args& a) {
        a.Expect(0, 0);
        return Variant(f.RReplaceSafety());
      },
      [](F& f, Args& a) {
        a.Expect(1, 1);
        f.SetRReplaceSafety(a.Boolean(0));
      });
  t.Property(
      "InsertSafety",
      [](F& f, Args& a) {
        a.Expect(0, 0);
        return Variant(f.InsertSafety());
      },
      [](F& f, Args& a) {
        a.Expect(1, 1);
        f.SetInsertSafety(a.Boolean(0));
      });

  t.Method("PropertyParse", [](F& f, Args& a) {
    a.Expect(3, 3);
    return f.PropertyParse(a.Ref(0), a.Ref(1), a.Ref(2));
  });
  t.Method("SegmentReplace", [](F& f, Args& a) {
    a.Expect(3, 3);
    return Variant(f.SegmentReplace(a.String(0), a.String(1), a.String(2)));
  });
  t.Method("Sleep", [](F& f, Args& a) {
    a.Expect(1, 1);
    f.Sleep(a.Double(0));
    return Variant();
  });
  t.Method("DCount", [](F& f, Args& a) {
    a.Expect(2, 2);
    return f.DCount(a.String(0), a.String(1));
  });
  t.Method("Field", [](F& f, Args& a) {
    a.Expect(3, 3);
    return Variant(f.Field(a.String(0), a.String(1), a.Long(2)));
  });
  t.Method("Extract", [](F& f, Args& a) {
    a.Expect(2, 4);
    return f.Extract(a.String(0), a.Long(1), a.LongOr(2, 0), a.LongOr(3, 0));
  });
  t.Method("RReplace", [](F& f, Args& a) {
    a.Expect(3, 5);
    return Variant(f.RReplace(a.String(0), a.Long(1), a.Ref(2), a.Optional(3), a.Optional(4)));
  });
  t.Method("Insert", [](F& f, Args& a) {
    a.Expect(3, 5);
    return Variant(f.Insert(a.String(0), a.Long(1), a.Ref(2), a.Optional(3), a.Optional(4)));
  });
  t.Method("Locate", [](F& f, Args& a) {
    a.Expect(3, SIZE_MAX);
    return Variant(f.Locate(a.String(0), a.String(1), a.String(2), a.Rest(3)));
  });
  t.Method("Col1", [](F& f, Args& a) {
    a.Expect(0, 0);
    return Variant(f.Col1());
  });
  t.Method("Col2", [](F& f, Args& a) {
    a.Expect(0, 0);
    return Variant(f.Col2());
  });
  t.Method("Num", [](F& f, Args& a) {
    a.Expect(1, 1);
    return Variant(f.Num(a.Ref(0)));
  });
  t.Method("OConv", [](F& f, Args& a) {
    a.Expect(2, 2);
    return f.OConv(a.String(0), a.String(1));
  });
  t.Method("Index", [](F& f, Args& a) {
    a.Expect(3, 3);
    return Variant(f.Index(a.String(0), a.String(1), a.Long(2)));
  });
  t.Method("Matches", [](F& f, Args& a) {
    a.Expect(2, 2);
    return Variant(f.Matches(a.String(0), a.String(1)));
  });
  t.Method("IConv", [](F& f, Args& a) {
    a.Expect(2, 2);
    return f.IConv(a.String(0), a.String(1));
  });
  t.Method("MVR", [](F& f, Args& a) {
    a.Expect(1, 1);
    return Variant(f.MVR(a.Ref(0)));
  });
  t.Method("MVW", [](F& f, Args& a) {
    a.Expect(1, 1);
    return Variant(f.MVW(a.String(0)));
  });
  t.Method("MVOConv", [](F& f, Args& a) {
    a.Expect(2, 2);
    return Variant(f.MVOConv(a.Ref(0), a.String(1)));
  });
  t.Method("MVIConv", [](F& f, Args& a) {
    a.Expect(2, 2);
    return Variant(f.MVIConv(a.String(0), a.String(1)));
  });
  t.Method("Dylete", [](F& f, Args& a) {
    a.Expect(2, 4);
    return Variant(f.Dylete(a.String(0), a.Long(1), a.Optional(2), a.Optional(3)));
  });
  t.Method("Alpha", [](F& f, Args& a) {
    a.Expect(1, 1);
    return Variant(f.Alpha(a.String(0)));
  });
  t.Method("Seq", [](F& f, Args& a) {
    a.Expect(1, 1);
    return Variant(f.Seq(a.String(0)));
  });
  t.Method("SStr", [](F& f, Args& a) {
    a.Expect(2, 2);
    return Variant(f.SStr(a.String(0), a.Long(1)));
  });
  t.Method("Fmt", [](F& f, Args& a) {
    a.Expect(2, 2);
    return Variant(f.Fmt(a.String(0), a.String(1)));
  });
  t.Method("CConvert", [](F& f, Args& a) {
    a.Expect(3, 3);
    return Variant(f.CConvert(a.String(0), a.String(1), a.String(2)));
  });
  return t;
}

const MemberTable<F>& Table() {
  static const MemberTable<F> table = BuildTable();
  return table;
}

}  // namespace

Variant Functions::Invoke(std::string_view name, CallType type, std::span<Variant> args) {
  return Table().Invoke(*this, name, type, args);
}

Dispatch::MemberKind Functions::KindOf(std::string_view name) { return Table().Kind(name); }

std::vector<std::string> Functions::MemberNames() { return Table().Names(); }

}  // namespace orvik
