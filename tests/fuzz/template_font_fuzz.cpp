// Font substitution in dialog templates, DLGTEMPLATE and DLGTEMPLATEEX alike
// (the extended layout is told by 0xFFFF in its second word): the input is
// the template, rewritten with a short face, the empty face and a long one.
#include <cstdint>

#include "framework/dialogs/template_font.h"
#include "framework/support/memory.h"
#include "tests/fuzz/fuzz_support.h"

using namespace lumetra;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const char* const kFaces[] = {"MS Shell Dlg", "", "A face name far longer than any the template held"};
  const int16_t kSizes[] = {8, 0, -3};
  for (int i = 0; i < 3; ++i) {
    void* rewritten = reinterpret_cast<void*>(1);
    Status status = RewriteTemplateFont(data, kFaces[i], kSizes[i], &rewritten, static_cast<uint32_t>(size));
    fuzz::Require((status == kOk) == (rewritten != nullptr), "a new template exactly on success");
    MemFree(rewritten);
  }
  return 0;
}
