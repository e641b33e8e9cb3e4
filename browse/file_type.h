#pragma once
// The kinds of directory entries a file list shows.
#include "framework/set.h"

namespace lumivane {

// Each value but ftNormal stands for the file attribute bit 1 << value; ftNormal means "every
// entry the search returns".
enum TFileAttr { ftReadOnly, ftHidden, ftSystem, ftVolumeID, ftDirectory, ftArchive, ftNormal };

// Bit n stands for value n: [ftNormal] is 0x40.
using TFileType = TSet<TFileAttr>;

}  // namespace lumivane
