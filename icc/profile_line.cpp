#include "icc/profile_line.h"

#include <cstring>

#include "icc/description.h"
#include "icc/profile.h"

namespace lumetra {

std::string ProfileListLine(const std::string& path, bool show_file_names) {
  // The name after the last "\", else after the last "/".
  size_t cut = path.rfind('\\');
  if (cut == std::string::npos) cut = path.rfind('/');
  std::string line = cut == std::string::npos ? path : path.substr(cut + 1);

  char reference[kFileReferenceSize] = {};
  if (path.size() >= sizeof(reference)) return line;  // cannot be opened: listed by its name
  std::memcpy(reference, path.data(), path.size());
  IccProfile* profile = nullptr;
  if (OpenProfile(&profile, reference) != kOk) return line;
  char description[kDescriptionBufferSize] = {};
  if (!show_file_names && GetProfileDescription(profile, description) == kOk) line = description;
  bool has_table = false;
  if (HasTag(profile, Signature("vcgt"), &has_table) == kOk && has_table) line += kGammaTableMark;
  CloseProfile(profile);
  return line;
}

}  // namespace lumetra
