// Device-level services of profile activation: associating a profile with a
// monitor's display device, finding the monitor's device id, asking which
// profile the system uses for a screen or a display, and what the display
// configuration says of a display. Each call loads and frees the system
// libraries it needs. Windows only.
#pragma once

#include <cstdint>
#include <vector>

#include "framework/support/status.h"
#include "framework/support/tstring.h"

namespace lumetra {

// Associates the profile file (the last backslash-separated field of `path`)
// with the monitor of a screen. False on every failure, a screen without a
// monitor device id among them.
bool AssociateProfileWithScreen(const char* path, int32_t screen);
// The same for the monitor of a display device ("\\.\DISPLAY2").
bool AssociateProfileWithDisplay(const char* path, const char* device_name);

// The device id of the first monitor of a display device ("\\.\DISPLAY1");
// empty when it cannot be found or no name is given.
TString GetMonitorDeviceId(const TString& display_device_name);

// Associate first disassociates, so that the association is always made anew.
bool AssociateProfile(const char* file_name, const char* device_id);
bool DisassociateProfile(const char* file_name, const char* device_id);

// The full path of the profile the system uses for the screen; empty when
// there is none or the screen is out of range.
TString GetScreenProfilePath(int32_t screen);
// The same question for a display by its device name.
TString GetDisplayProfilePath(const char* device_name);

// The display devices attached to the desktop now ("\\.\DISPLAY1", ...), in
// the system's order, mirroring drivers left out. Asked afresh at every call,
// unlike the screen list, so that a resident program sees displays come and
// go. 0, 21002 when memory runs out.
Status ListAttachedDisplays(std::vector<TString>* names);

// The monitor's friendly name as the display configuration gives it for a
// display device ("\\.\DISPLAY1"); empty when the system gives none.
TString GetDisplayFriendlyName(const char* device_name);
// Whether advanced colour (HDR, or automatic colour management) is active on
// the display; false for every failure of the question.
bool IsAdvancedColorActive(const char* device_name);

}  // namespace lumetra
