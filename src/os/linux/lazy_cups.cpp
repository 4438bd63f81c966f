// libcups, opened when the first CUPS function is called: a job whose
// printer the system printer profile names never asks the scheduler, and
// never loads the library. Without the library every call answers zero or
// null, which the callers read as a scheduler that cannot be reached.
#include <cups/cups.h>

#include "os/linux/lazy_library.h"

namespace tolvane {
TLazyLibrary CupsLibrary{"libcups.so.2", nullptr, false};
}  // namespace tolvane

using tolvane::CupsLibrary;

TOLVANE_LAZY_FUNCTION(CupsLibrary, cupsAddOption, 4)
TOLVANE_LAZY_FUNCTION(CupsLibrary, cupsCancelJob2, 4)
TOLVANE_LAZY_FUNCTION(CupsLibrary, cupsCopyDestInfo, 2)
TOLVANE_LAZY_FUNCTION(CupsLibrary, cupsCreateJob, 5)
TOLVANE_LAZY_FUNCTION(CupsLibrary, cupsDoRequest, 3)
TOLVANE_LAZY_FUNCTION(CupsLibrary, cupsEncryption, 0)
TOLVANE_LAZY_FUNCTION(CupsLibrary, cupsFindDestDefault, 4)
TOLVANE_LAZY_FUNCTION(CupsLibrary, cupsFinishDocument, 2)
TOLVANE_LAZY_FUNCTION(CupsLibrary, cupsFreeDestInfo, 1)
TOLVANE_LAZY_FUNCTION(CupsLibrary, cupsFreeDests, 2)
TOLVANE_LAZY_FUNCTION(CupsLibrary, cupsFreeJobs, 2)
TOLVANE_LAZY_FUNCTION(CupsLibrary, cupsFreeOptions, 2)
TOLVANE_LAZY_FUNCTION(CupsLibrary, cupsGetDest, 4)
TOLVANE_LAZY_FUNCTION(CupsLibrary, cupsGetDestMediaByName, 6)
TOLVANE_LAZY_FUNCTION(CupsLibrary, cupsGetDestMediaDefault, 5)
TOLVANE_LAZY_FUNCTION(CupsLibrary, cupsGetDests2, 2)
TOLVANE_LAZY_FUNCTION(CupsLibrary, cupsGetJobs2, 5)
TOLVANE_LAZY_FUNCTION(CupsLibrary, cupsGetOption, 3)
TOLVANE_LAZY_FUNCTION(CupsLibrary, cupsLastErrorString, 0)
TOLVANE_LAZY_FUNCTION(CupsLibrary, cupsParseOptions, 3)
TOLVANE_LAZY_FUNCTION(CupsLibrary, cupsServer, 0)
TOLVANE_LAZY_FUNCTION(CupsLibrary, cupsSetPasswordCB2, 2)
TOLVANE_LAZY_FUNCTION(CupsLibrary, cupsSetServer, 1)
TOLVANE_LAZY_FUNCTION(CupsLibrary, cupsStartDocument, 6)
TOLVANE_LAZY_FUNCTION(CupsLibrary, cupsUser, 0)
TOLVANE_LAZY_FUNCTION(CupsLibrary, cupsWriteRequestData, 3)
TOLVANE_LAZY_FUNCTION(CupsLibrary, httpAssembleURI, 8)
TOLVANE_LAZY_FUNCTION(CupsLibrary, httpClose, 1)
TOLVANE_LAZY_FUNCTION(CupsLibrary, httpConnect2, 8)
TOLVANE_LAZY_FUNCTION(CupsLibrary, httpError, 1)
TOLVANE_LAZY_FUNCTION(CupsLibrary, httpFlushWrite, 1)
TOLVANE_LAZY_FUNCTION(CupsLibrary, httpSetTimeout, 4)
TOLVANE_LAZY_FUNCTION(CupsLibrary, ippAddString, 6)
TOLVANE_LAZY_FUNCTION(CupsLibrary, ippAddStrings, 7)
TOLVANE_LAZY_FUNCTION(CupsLibrary, ippDelete, 1)
TOLVANE_LAZY_FUNCTION(CupsLibrary, ippFindAttribute, 3)
TOLVANE_LAZY_FUNCTION(CupsLibrary, ippGetInteger, 2)
TOLVANE_LAZY_FUNCTION(CupsLibrary, ippGetResolution, 4)
TOLVANE_LAZY_FUNCTION(CupsLibrary, ippGetStatusCode, 1)
TOLVANE_LAZY_FUNCTION(CupsLibrary, ippGetString, 3)
TOLVANE_LAZY_FUNCTION(CupsLibrary, ippGetValueTag, 1)
TOLVANE_LAZY_FUNCTION(CupsLibrary, ippNewRequest, 1)
TOLVANE_LAZY_FUNCTION(CupsLibrary, ippPort, 0)
TOLVANE_LAZY_FUNCTION(CupsLibrary, pwgFormatSizeName, 7)
TOLVANE_LAZY_FUNCTION(CupsLibrary, pwgMediaForSize, 2)
