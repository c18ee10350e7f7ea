#include "framework/dialogs/list_box.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lumetra {
namespace {

std::vector<std::string> Fields(std::string text) {
  std::vector<std::string> fields;
  char* cursor = &text[0];
  while (char* field = NextTabField(&cursor)) fields.push_back(field);
  return fields;
}

TEST(ListBoxRowText, TabsSeparateFieldsAsStrtokDoes) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Fields("first\t\tsecond"), (V{"first", "second"})) << "a run of tabs is one separator";
  EXPECT_EQ(Fields("\tlead\ttrail\t"), (V{"lead", "trail"})) << "no fields at the ends";
  EXPECT_EQ(Fields("one field"), (V{"one field"}));
  EXPECT_EQ(Fields("\t\t"), V{});
}

}  // namespace
}  // namespace lumetra
