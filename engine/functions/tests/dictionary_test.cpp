#include "dictionary.h"

#include <gtest/gtest.h>

#include "error_number.h"
#include "vb_error.h"

namespace orvik {
namespace {

using test_support::ErrorNumber;

TEST(DictionaryTest, KeepsInsertionOrderThroughRemovals) {
  Dictionary d;
  d.Add("b", 1);
  d.Add("a", 2);
  d.Add("c", 3);
  d.Remove("a");
  d.Add("a", 4);
  const VariantArray keys = d.Keys();
  ASSERT_EQ(keys.size(), 3u);
  EXPECT_EQ(keys[0].ToString(), "b");
  EXPECT_EQ(keys[1].ToString(), "c");
  EXPECT_EQ(keys[2].ToString(), "a");
  EXPECT_EQ(d.Items()[2].ToLong(), 4);
  EXPECT_EQ(d.Count(), 3);
}

TEST(DictionaryTest, BinaryAndTextCompare) {
  Dictionary binary;
  binary.Add("Key", 1);
  EXPECT_FALSE(binary.Exists("KEY"));
  binary.Add("KEY", 2);
  EXPECT_EQ(binary.Count(), 2);

  Dictionary text(Dictionary::CompareMode::Text);
  text.Add("Key", 1);
  EXPECT_TRUE(text.Exists("kEY"));
  EXPECT_EQ(ErrorNumber([&] { text.Add("KEY", 2); }), vberr::kDuplicateKey);
  EXPECT_EQ(text.Item("KEY").ToLong(), 1);
  // Accented capitals fold too; the marks do not.
  text.Add("\xC9T\xC9", 5);
  EXPECT_TRUE(text.Exists("\xE9t\xE9"));
  EXPECT_FALSE(text.Exists("\xDE"));  // 222 is not 254
}

TEST(DictionaryTest, TextAndNumberKeysDiffer) {
  Dictionary d;
  d.Add(1, "number");
  d.Add("1", "text");
  EXPECT_EQ(d.Item(1).ToString(), "number");
  EXPECT_EQ(d.Item(1.0).ToString(), "number");
  EXPECT_EQ(d.Item("1").ToString(), "text");
}

TEST(DictionaryTest, ReadingAnAbsentKeyAddsIt) {
  Dictionary d;
  EXPECT_TRUE(d.Item("x").IsEmpty());
  EXPECT_TRUE(d.Exists("x"));
  EXPECT_EQ(d.Find("y"), nullptr);
  EXPECT_FALSE(d.Exists("y"));
}

TEST(DictionaryTest, Errors) {
  Dictionary d;
  d.Add("a", 1);
  EXPECT_EQ(ErrorNumber([&] { d.Add("a", 2); }), vberr::kDuplicateKey);
  EXPECT_EQ(ErrorNumber([&] { d.Remove("zz"); }), vberr::kElementNotFound);
  EXPECT_EQ(ErrorNumber([&] { d.SetCompareMode(Dictionary::CompareMode::Text); }),
            vberr::kInvalidProcedureCall);
  d.RemoveAll();
  EXPECT_EQ(d.Count(), 0);
  d.SetCompareMode(Dictionary::CompareMode::Text);
  EXPECT_EQ(d.compareMode(), Dictionary::CompareMode::Text);
}

TEST(DictionaryTest, RenameKeepsThePlace) {
  Dictionary d;
  d.Add("a", 1);
  d.Add("b", 2);
  d.Rename("a", "z");
  EXPECT_EQ(d.Keys()[0].ToString(), "z");
  EXPECT_EQ(d.Item("z").ToLong(), 1);
  EXPECT_EQ(ErrorNumber([&] { d.Rename("z", "b"); }), vberr::kDuplicateKey);
}

TEST(DictionaryTest, ByName) {
  Dictionary d;
  Variant args[] = {Variant("k"), Variant(7)};
  d.Call("ADD", args);
  EXPECT_EQ(d.Get("count").ToLong(), 1);
  Variant key[] = {Variant("k")};
  EXPECT_EQ(d.Call("item", key).ToLong(), 7);
  Variant let[] = {Variant("k"), Variant(8)};
  d.Invoke("Item", Dispatch::CallType::PropertyLet, let);
  EXPECT_EQ(d.Item("k").ToLong(), 8);
  EXPECT_EQ(ErrorNumber([&] { d.Call("Nope", {}); }), vberr::kNoSuchMember);
}

}  // namespace
}  // namespace orvik
