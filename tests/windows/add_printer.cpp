// Registers a printer of Wine's PostScript driver for the print test:
//   tolvane_add_printer NAME PORT PPD-FILE
// The driver is installed with the given PPD file first; a printer of the
// same name is replaced. Then prints what the printer's device context
// reports, one key=value a line, in the keys of a printer geometry section:
// horzsize, horzres, vertsize, vertres, then dpix, dpiy, offsetx, offsety.
// Exit code 0 when the printer is there.
#include <cstdio>
#include <string>

#include <windows.h>
#include <winspool.h>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: tolvane_add_printer NAME PORT PPD-FILE\n");
    return 2;
  }
  std::string name = argv[1], port = argv[2], ppd = argv[3];
  std::string driver = "Tolvane Test PostScript";
  char driverPath[] = "wineps.drv";
  DRIVER_INFO_3A info{};
  info.cVersion = 3;
  info.pName = driver.data();
  info.pDriverPath = driverPath;
  info.pDataFile = ppd.data();
  info.pConfigFile = driverPath;
  if (!AddPrinterDriverExA(nullptr, 3, reinterpret_cast<LPBYTE>(&info),
                           APD_COPY_NEW_FILES | APD_COPY_FROM_DIRECTORY) &&
      !AddPrinterDriverA(nullptr, 3, reinterpret_cast<LPBYTE>(&info))) {
    std::fprintf(stderr, "AddPrinterDriver failed: %lu\n", GetLastError());
    return 1;
  }
  HANDLE old = nullptr;
  if (OpenPrinterA(name.data(), &old, nullptr)) {
    DeletePrinter(old);
    ClosePrinter(old);
  }
  char processor[] = "WinPrint", datatype[] = "RAW";
  PRINTER_INFO_2A printer{};
  printer.pPrinterName = name.data();
  printer.pPortName = port.data();
  printer.pDriverName = driver.data();
  printer.pPrintProcessor = processor;
  printer.pDatatype = datatype;
  HANDLE added = AddPrinterA(nullptr, 2, reinterpret_cast<LPBYTE>(&printer));
  if (!added) {
    std::fprintf(stderr, "AddPrinter failed: %lu\n", GetLastError());
    return 1;
  }
  ClosePrinter(added);
  HDC dc = CreateDCA(nullptr, name.c_str(), nullptr, nullptr);
  if (!dc) {
    std::fprintf(stderr, "CreateDC failed for the new printer\n");
    return 1;
  }
  std::printf("horzsize=%d\nhorzres=%d\nvertsize=%d\nvertres=%d\n", GetDeviceCaps(dc, HORZSIZE),
              GetDeviceCaps(dc, HORZRES), GetDeviceCaps(dc, VERTSIZE), GetDeviceCaps(dc, VERTRES));
  std::printf("dpix=%d\ndpiy=%d\noffsetx=%d\noffsety=%d\n", GetDeviceCaps(dc, LOGPIXELSX),
              GetDeviceCaps(dc, LOGPIXELSY), GetDeviceCaps(dc, PHYSICALOFFSETX),
              GetDeviceCaps(dc, PHYSICALOFFSETY));
  DeleteDC(dc);
  return 0;
}
