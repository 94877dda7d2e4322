#include "platform/spooler/DevModes.h"

#include <algorithm>
#include <cstring>

#include "platform/spooler/PaperSizes.h"

namespace platform::spooler {

DEVMODEA devModeFor(const std::string& displayName, const PrinterSetup& setup) {
  DEVMODEA mode{};
  std::strncpy(mode.dmDeviceName, displayName.c_str(), CCHDEVICENAME - 1);
  mode.dmSpecVersion = 0x0401;
  mode.dmSize = sizeof(DEVMODEA);
  mode.dmFields = DM_ORIENTATION | DM_PAPERSIZE | DM_PAPERLENGTH | DM_PAPERWIDTH | DM_SCALE | DM_COPIES |
                  DM_PRINTQUALITY | DM_YRESOLUTION | DM_FORMNAME;
  mode.dmOrientation = setup.orientation == 4 ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
  const int16_t paper = paperForMedia(setup.media);
  mode.dmPaperSize = paper != 0 ? paper : DMPAPER_USER;
  // Tenths of a millimetre, as the paper stands in portrait.
  mode.dmPaperWidth = static_cast<int16_t>(std::clamp(setup.width / 10, 0, 32767));
  mode.dmPaperLength = static_cast<int16_t>(std::clamp(setup.length / 10, 0, 32767));
  mode.dmScale = 100;
  mode.dmCopies = static_cast<int16_t>(std::clamp(setup.copies, 1, 9999));
  mode.dmPrintQuality = static_cast<int16_t>(setup.dpiX);
  mode.dmYResolution = static_cast<int16_t>(setup.dpiY);
  std::strncpy(mode.dmFormName, formNameForMedia(setup.media).c_str(), CCHFORMNAME - 1);
  return mode;
}

DefaultsChange changeFrom(const DEVMODEA& mode) {
  DefaultsChange change;
  if ((mode.dmFields & DM_PAPERSIZE) != 0)
    if (const char* media = pwgMediaForPaper(mode.dmPaperSize)) change.media = media;
  if ((mode.dmFields & DM_ORIENTATION) != 0 &&
      (mode.dmOrientation == DMORIENT_PORTRAIT || mode.dmOrientation == DMORIENT_LANDSCAPE))
    change.orientation = mode.dmOrientation == DMORIENT_LANDSCAPE ? 4 : 3;
  if ((mode.dmFields & DM_COPIES) != 0 && mode.dmCopies >= 1) change.copies = mode.dmCopies;
  return change;
}

}  // namespace platform::spooler
