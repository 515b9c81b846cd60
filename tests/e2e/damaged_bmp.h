// Damaged BMP files made from good and bad sample files with a fixed seed: the same
// seed always gives the same files, on every machine.
#ifndef QVX_E2E_DAMAGED_BMP_H
#define QVX_E2E_DAMAGED_BMP_H

#include <cstdint>
#include <string>
#include <vector>

struct SampleFile {
  std::string name;  // says where it came from and, for a damaged file, how it was damaged
  std::vector<uint8_t> bytes;
};

// The kinds of damage, used in turn so that every kind reaches every sample.
enum Damage : int {
  kTruncated,      // cut at a field boundary or anywhere
  kBitFlipped,     // one bit of a header field flipped
  kFieldZeroed,    // one header field set to 0
  kFieldMaximised, // one header field set to all ones, or the largest signed value
  kHugeSize,       // width and height far beyond any screen or memory
  kRleDamaged,     // runs, absolute runs and deltas past the edge of the picture
  kExtremeMasks,   // bit-fields masks of 0 and 0xFFFFFFFF
  kHugeColourCount,// colours used past 2^31
  kSeveral,        // two to four of the above in one file
  kDamageKinds
};

// Returns `count` damaged files made from the samples, deterministic for a seed.
std::vector<SampleFile> damaged_files(const std::vector<SampleFile>& samples, uint64_t seed, size_t count);

#endif
