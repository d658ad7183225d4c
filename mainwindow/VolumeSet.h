#pragma once
// The volumes of a set beside its first one: "name.j", then "name.j01", "name.j02", ...,
// "name.j99", "name.j100" (the first volume's name with two or more digits). The file commands
// copy, move, rename and delete a set as a whole, since the archiver finds the volumes by name.

#include <string>
#include <vector>

// The ending of the set's volume after the first at index (1 for the second volume): "01", "100".
std::string VolumeSuffix(int index);

// The endings of the further volumes beside first that exist, in order, up to the first gap; empty
// for an archive of one file.
std::vector<std::string> FurtherVolumeSuffixes(const std::string& first);

// wanted when neither it nor any of its names with the endings names something; else the first of
// "name (2).ext", "name (3).ext", ... for which none does.
std::string FreeSetName(const std::string& wanted, const std::vector<std::string>& suffixes);
