#include "runtime/string_list.h"

#include <gtest/gtest.h>

#include "runtime/exceptions.h"

namespace {

TEST(StringList, KeepsOrderTagsAndExactCase) {
  rtl::TStringList list;
  EXPECT_EQ(list.Add(u"b"), 0);
  EXPECT_EQ(list.Add(u"A", 1), 1);
  list.Insert(0, u"a", 0);
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list[0], u"a");
  EXPECT_EQ(list.Objects(0), rtl::TStringList::TTag(0));
  EXPECT_FALSE(list.Objects(1).has_value());
  EXPECT_EQ(list.IndexOf(u"A"), 2);
  EXPECT_EQ(list.IndexOf(u"B"), -1);
  list.Delete(0);
  EXPECT_EQ(list[0], u"b");
  list.SetString(0, u"c");
  EXPECT_EQ(list.IndexOf(u"c"), 0);
}

TEST(StringList, IndexOutsideTheListRaisesListError) {
  rtl::TStringList list;
  list.Add(u"x");
  for (Integer index : {-1, 1, 2}) {
    try {
      (void)list.Strings(index);
      ADD_FAILURE() << index;
    } catch (const rtl::EListError& e) {
      EXPECT_EQ(e.Message(), u"List index out of bounds (" +
                                 std::u16string(index < 0 ? u"-1" : index == 1 ? u"1" : u"2") +
                                 u")");
    }
  }
  EXPECT_THROW(list.Delete(1), rtl::EListError);
  EXPECT_THROW(list.Insert(3, u"y"), rtl::EListError);
  list.Insert(1, u"end");  // inserting at the end is allowed
  EXPECT_EQ(list[1], u"end");
}

}  // namespace
