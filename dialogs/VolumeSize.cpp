#include "dialogs/VolumeSize.h"

#include "driver/TJarExec_unit.h"

QStringList VolumeSizeItems() {
  return {"Autodetect", "  360 kb ", "  720 kb", "1440 kb", "2880 kb", "100 Mb (zip disk)"};
}

void ApplyVolumeSize(TJar& jar, int itemIndex) {
  static const char* const kSizes[] = {"360", "720", "1440", "2880k", "100431870"};
  if (itemIndex == 0) {
    jar.volumeFlags |= TJar::kVolumeAutoSize;
  } else if (itemIndex >= 1 && itemIndex <= 5) {
    jar.volumeSize = kSizes[itemIndex - 1];
    jar.volumeFlags &= static_cast<uint8_t>(~TJar::kVolumeAutoSize);
  }
}
