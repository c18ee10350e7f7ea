// A monitor profile as the profile lists show it (the dialog's list and the
// loader's menu): its description, or its file name when asked for or when
// the description cannot be read, with " (*)" when the profile carries a
// video card gamma table.
#pragma once

#include <string>

namespace lumetra {

constexpr char kGammaTableMark[] = " (*)";

// `path` is the profile's full path as the system names it.
std::string ProfileListLine(const std::string& path, bool show_file_names = false);

}  // namespace lumetra
