#ifndef BREVON_TESTS_SUPPORT_LISTING_LINES_SUPPORT_H_
#define BREVON_TESTS_SUPPORT_LISTING_LINES_SUPPORT_H_

#include <initializer_list>
#include <ostream>
#include <string_view>

#include "base/listing_lines.h"

// Listing lines as tests write and compare them.

/// A list holding `lines`, without a frame.
ListingLines LinesOf(std::initializer_list<std::string_view> lines);

/// Lists are equal when their lines are, whatever their frames.
bool operator==(const ListingLines& a, const ListingLines& b);
inline bool operator!=(const ListingLines& a, const ListingLines& b) { return !(a == b); }

/// Shows the lines in a failed expectation.
void PrintTo(const ListingLines& lines, std::ostream* out);

#endif  // BREVON_TESTS_SUPPORT_LISTING_LINES_SUPPORT_H_
