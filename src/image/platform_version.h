// The platform versions whose behaviour the program follows, as major * 256 + minor.
#ifndef QVX_PLATFORM_VERSION_H
#define QVX_PLATFORM_VERSION_H

constexpr unsigned short kPlatform3_10 = 3 * 256 + 10;
constexpr unsigned short kPlatform3_95 = 3 * 256 + 95;
constexpr unsigned short kPlatform4_0 = 4 * 256 + 0;

// Returns true on platform 3.95 and later.
inline bool newer_platform(unsigned short version) { return version >= kPlatform3_95; }
// Returns true on platform 4.0 and later.
inline bool platform_4_or_later(unsigned short version) { return version >= kPlatform4_0; }
// Returns true before platform 3.10.
inline bool platform_before_3_10(unsigned short version) { return version < kPlatform3_10; }

#endif
