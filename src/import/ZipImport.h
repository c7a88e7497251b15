#pragma once

#include "import/ImportDriver.h"

class TdmMain;

// Unpacks a carrier's zip archive flat into the scratch folder "Temp/Zip" below the start
// directory (cleared first) and imports every file this archive delivered whole, each by its
// own type, registered with the archive as its origin. The result's count is the sum.
// An archive inside an archive is unpacked into a scratch folder of its own.
ImportResult ImportZip(TdmMain& dm, const QString& archive);

// The scratch folder of an archive at the given depth (0 for the archive the user chose).
QString ZipScratchFolder(const TdmMain& dm, int depth);

// What one archive may unpack to at most (4 GiB); tests lower it.
void SetZipUnpackLimit(quint64 bytes);
