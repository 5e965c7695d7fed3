#ifndef BREVON_APP_BANNER_H_
#define BREVON_APP_BANNER_H_

// The product's texts, which the version resource and the manifest carry as
// well (all from the build's version.h).
extern const char kProductDescription[];
extern const char kVersion[];  // carries a trailing blank, as the banner shows
extern const char kRightsLine[];
extern const char kExecutableName[];

/// The product and its version, the rights line and an empty line.
void PrintBanner();

/// The switches that the usage text documents; "/?" is not among them.
void PrintUsage();

#endif  // BREVON_APP_BANNER_H_
