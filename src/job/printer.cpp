#include "job/printer.h"

#include <algorithm>
#include <cstring>

#include "arithmetic.h"
#include "job/job.h"
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

static void ReadConfiguredPrinter() {
  TPrintState& state = PrintState;
  GetProfileStringA("Devices", state.PrinterDevice, NoEntry, ProfileBuffer, sizeof ProfileBuffer);
  state.PrinterDriver = NextField(ProfileBuffer, ',');
  state.PrinterPort = NextField("", ',');
}

static void ReadDefaultPrinter() {
  TPrintState& state = PrintState;
  GetProfileStringA("windows", "device", NoEntry, ProfileBuffer, sizeof ProfileBuffer);
  SetPrinterDevice(NextField(ProfileBuffer, ','));
  state.PrinterDriver = NextField("", ',');
  state.PrinterPort = NextField("", ',');
}

// Every length of the job rests on these: the printable area in tenths of a
// millimetre and the pixels per millimetre in each direction.
static void ReadDeviceMetrics() {
  TPrintState& state = PrintState;
  state.PageWidth = GetDeviceCaps(state.PrinterDC, HORZSIZE);
  state.PixelsPerMmX =
      StoreDouble(DivideExtended(GetDeviceCaps(state.PrinterDC, HORZRES), state.PageWidth));
  state.PageHeight = GetDeviceCaps(state.PrinterDC, VERTSIZE);
  state.PixelsPerMmY =
      StoreDouble(DivideExtended(GetDeviceCaps(state.PrinterDC, VERTRES), state.PageHeight));
  state.PageWidth = MultiplyWrapped(state.PageWidth, 10);
  state.PageHeight = MultiplyWrapped(state.PageHeight, 10);
}

void OpenJobPrinter() {
  TPrintState& state = PrintState;
  GetPrivateProfileStringA("preferences", "printer", "", state.PrinterDevice,
                           sizeof state.PrinterDevice, ConfigPath.c_str());
  if (ForcedPrinter.Set)
    UseForcedPrinter();
  else if (state.PrinterDevice[0] != 0)
    ReadConfiguredPrinter();
  else
    ReadDefaultPrinter();
  state.PrinterDC = CreateDCA(state.PrinterDriver.c_str(), state.PrinterDevice,
                              state.PrinterPort.c_str(), nullptr);
  if (!state.PrinterDC) throw TJobExit{ExitNoPrinter};
  ReadDeviceMetrics();
}

}  // namespace tolvane
