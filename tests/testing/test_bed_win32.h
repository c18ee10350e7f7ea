// What the Windows end-to-end tests read and set on the test bed's system
// around the programs they drive: the colour directory, the associations
// of profiles with the first monitor, and the graphics card's ramp.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lumetra::testing {

// The system's colour directory, ending in a backslash; empty when unknown.
std::string ColorDirectory();

// The associations as the test bed keeps them: one list for every monitor,
// whose first entry by name is the profile the system reports.
void ClearAssociations();
bool AssociateWithFirstMonitor(const char* file_name);

// The 768 words of a display's ramp; empty when it cannot be read.
std::vector<uint16_t> CardRamp(const char* display = "\\\\.\\DISPLAY1");
bool SetCardRamp(const std::vector<uint16_t>& ramp, const char* display = "\\\\.\\DISPLAY1");

// A ramp as the test bed's X server keeps it: 8 bits per entry, read back as
// (word >> 8) * 257.
std::vector<uint16_t> AtServerPrecision(const std::vector<uint16_t>& words);

// The identity ramp, entry i = i * 256 in every channel.
std::vector<uint16_t> IdentityRamp();

// The first visible dialog window (class "#32770", an HWND) of a process
// other than `except`, waited for up to `ms` milliseconds; null when none came.
void* WaitForDialog(unsigned long process, void* except, unsigned long ms);

// A file's bytes as text (a Windows path); empty when it cannot be read.
std::string ReadFileText(const std::string& path);

// The lines of a program's report, CR LF or LF ended.
std::vector<std::string> TextLines(const std::string& text);

}  // namespace lumetra::testing
