#include "job/printer.h"

#include <algorithm>
#include <cstring>

#include "arithmetic.h"
#include "ini_scan.h"
#include "job/job.h"
#include "stream/failure_place.h"
#include "stream/fields.h"
#include "tolvane_state.h"

namespace tolvane {

struct TForcedPrinter {
  bool Set = false;
  std::string Device;
  std::string Driver;
  std::string Port;
};
static TForcedPrinter ForcedPrinter;

void ForceJobPrinter(const std::string& device, const std::string& driver,
                     const std::string& port) {
  ForcedPrinter = TForcedPrinter{true, device, driver, port};
}

// A printer's name that does not come from tolvane.ini is cut like one that
// does.
static void SetPrinterDevice(const std::string& device) {
  TPrintState& state = PrintState;
  size_t length = std::min(device.size(), sizeof state.PrinterDevice - 1);
  std::memcpy(state.PrinterDevice, device.data(), length);
  state.PrinterDevice[length] = 0;
}

static void UseForcedPrinter() {
  TPrintState& state = PrintState;
  SetPrinterDevice(ForcedPrinter.Device);
  state.PrinterDriver = ForcedPrinter.Driver;
  state.PrinterPort = ForcedPrinter.Port;
}

// Entries that are missing read as three commas, so every field is empty.
static const char NoEntry[] = ",,,";

// A read that filled its buffer may have lost the end of the entry; a
// printer chosen from a cut name or port could print somewhere else.
static bool FilledBuffer(DWORD length, size_t size) { return length + 1 >= size; }

[[noreturn]] static void GiveNoPrinter(const std::string& why) {
  Diagnose(why);
  throw TJobExit{ExitNoPrinter};
}

static void ReadConfiguredPrinter() {
  TPrintState& state = PrintState;
  DWORD length = GetProfileStringA("Devices", state.PrinterDevice, NoEntry, ProfileBuffer,
                                   sizeof ProfileBuffer);
  if (FilledBuffer(length, sizeof ProfileBuffer))
    GiveNoPrinter("the entry of printer '" + std::string(state.PrinterDevice) +
                  "' is too long and may have been cut (at most " +
                  std::to_string(sizeof ProfileBuffer - 2) + " characters are read)");
  state.PrinterDriver = NextField(ProfileBuffer, ',');
  state.PrinterPort = NextField("", ',');
}

static void ReadDefaultPrinter() {
  TPrintState& state = PrintState;
  DWORD length =
      GetProfileStringA("windows", "device", NoEntry, ProfileBuffer, sizeof ProfileBuffer);
  if (FilledBuffer(length, sizeof ProfileBuffer))
    GiveNoPrinter("the default printer's entry is too long and may have been cut (at most " +
                  std::to_string(sizeof ProfileBuffer - 2) + " characters are read)");
  std::string device = NextField(ProfileBuffer, ',');
  if (device.size() >= sizeof state.PrinterDevice)
    GiveNoPrinter("the default printer's name '" + device + "' is longer than " +
                  std::to_string(sizeof state.PrinterDevice - 1) + " characters");
  std::memcpy(state.PrinterDevice, device.data(), device.size());
  state.PrinterDevice[device.size()] = 0;
  state.PrinterDriver = NextField("", ',');
  state.PrinterPort = NextField("", ',');
}

// Every length of the job rests on these: the printable area in tenths of a
// millimetre and the pixels per millimetre in each direction.
static void ReadDeviceMetrics() {
  TPrintState& state = PrintState;
  SetFailureSource("the printable area that printer '" + std::string(state.PrinterDevice) +
                   "' reports");
  state.PageWidth = GetDeviceCaps(state.PrinterDC, HORZSIZE);
  state.PixelsPerMmX =
      StoreDouble(DivideExtended(GetDeviceCaps(state.PrinterDC, HORZRES), state.PageWidth));
  state.PageHeight = GetDeviceCaps(state.PrinterDC, VERTSIZE);
  state.PixelsPerMmY =
      StoreDouble(DivideExtended(GetDeviceCaps(state.PrinterDC, VERTRES), state.PageHeight));
  state.PageWidth = MultiplyWrapped(state.PageWidth, 10);
  state.PageHeight = MultiplyWrapped(state.PageHeight, 10);
}

// An empty driver means no entry named the printer; a driver that is there
// but gives no context has said why itself.
static void DiagnoseMissingPrinter(bool configured) {
  const TPrintState& state = PrintState;
  if (!state.PrinterDriver.empty()) return;
  std::string name = state.PrinterDevice;
  if (configured)
    Diagnose("no printer '" + name + "' (printer= in " + ConfigPath + "): looked in " +
             PrinterSearchPlaces());
  else if (name.empty())
    Diagnose("no default printer: looked in " + PrinterSearchPlaces());
  else
    Diagnose("the default printer '" + name + "' is not known: looked in " + PrinterSearchPlaces());
}

static std::string PortToOpen(bool forCheck) {
  const TPrintState& state = PrintState;
  if (!forCheck || !SameIniName(state.PrinterDriver, "TRACE")) return state.PrinterPort;
  return PathSeparator() == '/' ? "/dev/null" : "NUL";
}

void OpenJobPrinter(bool forCheck) {
  TPrintState& state = PrintState;
  // The CUPS filter prints to its own output whatever tolvane.ini names.
  bool configured = false;
  if (ForcedPrinter.Set) {
    UseForcedPrinter();
  } else {
    DWORD length = GetPrivateProfileStringA("preferences", "printer", "", state.PrinterDevice,
                                            sizeof state.PrinterDevice, ConfigPath.c_str());
    if (FilledBuffer(length, sizeof state.PrinterDevice))
      GiveNoPrinter("printer= in " + ConfigPath + " is " +
                    std::to_string(sizeof state.PrinterDevice - 1) +
                    " characters or longer and may have been cut");
    configured = state.PrinterDevice[0] != 0;
    if (configured)
      ReadConfiguredPrinter();
    else
      ReadDefaultPrinter();
  }
  state.PrinterDC = CreateDCA(state.PrinterDriver.c_str(), state.PrinterDevice,
                              PortToOpen(forCheck).c_str(), nullptr);
  if (!state.PrinterDC) {
    DiagnoseMissingPrinter(configured);
    throw TJobExit{ExitNoPrinter};
  }
  ReadDeviceMetrics();
}

}  // namespace tolvane
