#pragma once
// The multiple-disk size box shared by the dialogs that can span disks.

#include <QStringList>

class TJar;

// The items of the size box, blanks as shown to the user.
QStringList VolumeSizeItems();
// The chosen item (its index in VolumeSizeItems, -1 for none) into the job's volumeSize and its
// automatic-size bit: "Autodetect" sets the bit and leaves the size; the sizes store "360", "720",
// "1440", "2880k" or "100431870" and clear the bit; no item changes nothing.
void ApplyVolumeSize(TJar& jar, int itemIndex);
