// Paths of the files tests read, as the code under test must name them:
// unchanged on the host, on Wine's Z: drive (which maps the Unix root) under Wine.
#pragma once

#include <string>

namespace lumetra::testing {

// A Unix path as the program sees it.
std::string SystemPath(const std::string& unix_path);

// A path below the source tree or the build tree, as the program sees it.
std::string SourcePath(const std::string& relative);
std::string BinaryPath(const std::string& relative);

// A fresh, empty folder for one test's files (Unix path), removed by the caller
// or left for the next run to overwrite.
std::string ScratchDir(const std::string& name);

// A file of the Debian source packages the dependency build unpacked (libjpeg-turbo,
// libpng, tiff), by its path inside them: the Unix path.
std::string DependencySource(const std::string& relative);

bool UnixFileExists(const std::string& unix_path);

}  // namespace lumetra::testing
