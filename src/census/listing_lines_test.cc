#include "census/listing_lines.h"

#include "gtest/gtest.h"

namespace {

TEST(ListingLines, LinesBuiltPieceByPieceKeepTheirBounds) {
  ListingLines lines;
  lines.StartLine().append("1, ");
  lines.StartLine().append("jdoe");
  EXPECT_TRUE(lines.FinishLine());
  EXPECT_TRUE(lines.FinishLine()) << "an empty line is a line";
  lines.StartLine().append("3, x");
  EXPECT_TRUE(lines.FinishLine());

  ASSERT_EQ(3u, lines.size());
  EXPECT_EQ("1, jdoe", lines[0]);
  EXPECT_EQ("", lines[1]);
  EXPECT_EQ("3, x", lines[2]);
}

TEST(ListingLines, DiscardDropsOnlyTheUnfinishedLine) {
  ListingLines lines = {"kept"};
  lines.StartLine().append("half a li");
  lines.DiscardLine();
  lines.StartLine().append("next");
  lines.FinishLine();
  EXPECT_EQ((ListingLines{"kept", "next"}), lines);

  ListingLines empty;
  empty.StartLine().append("x");
  empty.DiscardLine();
  EXPECT_TRUE(empty.empty());
  EXPECT_EQ(ListingLines(), empty);
}

TEST(ListingLines, EqualityComparesLinesNotJustText) {
  EXPECT_NE((ListingLines{"ab", "c"}), (ListingLines{"a", "bc"}));
  EXPECT_NE((ListingLines{"a"}), (ListingLines{"a", ""}));
  EXPECT_EQ((ListingLines{"a", ""}), (ListingLines{"a", ""}));
}

TEST(ListingLines, LinesMayHoldAnyByte) {
  ListingLines lines;
  lines.StartLine().append(std::string("a\0b\nc", 5));
  lines.FinishLine();
  ASSERT_EQ(1u, lines.size());
  EXPECT_EQ(std::string_view("a\0b\nc", 5), lines[0]);
}

}  // namespace
