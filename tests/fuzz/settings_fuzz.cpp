// The settings text reader, over the same bytes in word mode (GUI settings)
// and in line mode (language files), then every entry of the tree it built
// read back and the tree destroyed.
#include <cstdint>
#include <cstring>

#include "framework/support/settings_tree.h"
#include "tests/fuzz/fuzz_support.h"

using namespace lumetra;

namespace {

struct Walk {
  const SettingsTree* tree;
  int32_t depth;
};

Status Visit(void* context, const char* name, SettingType type, SettingValue value) {
  Walk* walk = static_cast<Walk*>(context);
  fuzz::Require(name != nullptr, "every entry has a name");
  volatile size_t sink = std::strlen(name);
  fuzz::Require(FindEntry(walk->tree, name) >= 0, "a stored name is found again");
  GetNumber(walk->tree, name, 0);
  switch (type) {
    case kTextEntry:
      fuzz::Require(value.text != nullptr, "a text entry holds a text");
      sink = sink + std::strlen(value.text);
      break;
    case kFlagEntry:
      fuzz::Require(value.number == 0 || value.number == 1, "a flag is 0 or 1");
      break;
    case kNumberEntry:
      break;
    case kSubtreeEntry: {
      fuzz::Require(value.subtree != nullptr, "a subtree entry holds a tree");
      fuzz::Require(walk->depth < kMaxSettingsDepth, "nesting stays within the limit");
      Walk inner{value.subtree, walk->depth + 1};
      ForEachEntry(value.subtree, Visit, &inner);
      break;
    }
    default:
      fuzz::Require(false, "every entry has a known type");
  }
  (void)sink;
  return kOk;
}

void ParseAndWalk(const uint8_t* data, size_t size, bool line_mode) {
  SettingsTree* tree = CreateTree();
  if (!tree) return;
  SetLineMode(tree, line_mode);
  ParseSettingsMemory(tree, data, size);
  fuzz::Require(EntryCount(tree) <= EntryCapacity(tree), "entries fit their slots");
  Walk walk{tree, 0};
  ForEachEntry(tree, Visit, &walk);
  DestroyTree(tree, true);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ParseAndWalk(data, size, false);
  ParseAndWalk(data, size, true);
  return 0;
}
