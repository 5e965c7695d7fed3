#include "base/listing_lines.h"

#include "gtest/gtest.h"

#include "failing_allocator.h"
#include "listing_lines_support.h"

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
  ListingLines lines = LinesOf({"kept"});
  lines.StartLine().append("half a li");
  lines.DiscardLine();
  lines.StartLine().append("next");
  lines.FinishLine();
  EXPECT_EQ(LinesOf({"kept", "next"}), lines);

  ListingLines empty;
  empty.StartLine().append("x");
  empty.DiscardLine();
  EXPECT_TRUE(empty.empty());
  EXPECT_EQ(ListingLines(), empty);
}

TEST(ListingLines, EqualityComparesLinesNotJustText) {
  EXPECT_NE(LinesOf({"ab", "c"}), LinesOf({"a", "bc"}));
  EXPECT_NE(LinesOf({"a"}), LinesOf({"a", ""}));
  EXPECT_EQ(LinesOf({"a", ""}), LinesOf({"a", ""}));
}

TEST(ListingLines, LinesMayHoldAnyByte) {
  ListingLines lines;
  lines.StartLine().append(std::string("a\0b\nc", 5));
  lines.FinishLine();
  ASSERT_EQ(1u, lines.size());
  EXPECT_EQ(std::string_view("a\0b\nc", 5), lines[0]);
}

// Enough lines to fill many blocks, each built in two pieces so that some
// pieces arrive when their block is nearly full.
TEST(ListingLines, ManyLinesAcrossBlocksKeepTheirText) {
  auto lineText = [](size_t i) {
    return std::to_string(i) + ", " + std::string(i % 97, static_cast<char>('a' + i % 26));
  };
  ListingLines lines;
  const size_t count = 100000;
  for (size_t i = 0; i < count; ++i) {
    std::string text = lineText(i);
    size_t half = text.size() / 2;
    lines.StartLine().append(text, 0, half);
    lines.StartLine().append(text, half, std::string::npos);
    ASSERT_TRUE(lines.FinishLine());
    if (i % 1000 == 999) {
      lines.StartLine().append("dropped");
      lines.DiscardLine();
    }
  }
  ASSERT_EQ(count, lines.size());
  for (size_t i = 0; i < count; ++i) {
    ASSERT_EQ(lineText(i), lines[i]) << "line " << i;
  }
}

TEST(ListingLines, LineLongerThanABlock) {
  ListingLines lines = LinesOf({"before"});
  std::string longLine(3 * 1024 * 1024, 'x');
  lines.StartLine().append(longLine);
  lines.FinishLine();
  lines.StartLine().append("after");
  lines.FinishLine();
  ASSERT_EQ(3u, lines.size());
  EXPECT_EQ("before", lines[0]);
  EXPECT_EQ(longLine.size(), lines[1].size());
  EXPECT_EQ(longLine, lines[1]);
  EXPECT_EQ("after", lines[2]);
}

std::string AllBlocks(const ListingLines& lines) {
  std::string text;
  for (size_t i = 0; i < lines.BlockCount(); ++i) text.append(lines.Block(i));
  return text;
}

TEST(ListingLines, PrefixAndSuffixFrameEachLineInTheBlocksOnly) {
  ListingLines lines = ListingLines::Framed("  ", "\r\n");
  lines.StartLine().append("1, a");
  lines.StartLine().append("bc");
  lines.FinishLine();
  lines.FinishLine();  // an empty line still gets both
  lines.StartLine().append("dropped");
  EXPECT_EQ("  1, abc\r\n  \r\n", AllBlocks(lines)) << "a line under way is not in the blocks";
  lines.DiscardLine();
  lines.StartLine().append("3");
  lines.FinishLine();

  EXPECT_EQ("  1, abc\r\n  \r\n  3\r\n", AllBlocks(lines));
  EXPECT_EQ(LinesOf({"1, abc", "", "3"}), lines) << "lines compare without their frame";
  EXPECT_EQ("1, abc", lines[0]);
  EXPECT_EQ("", lines[1]);
  EXPECT_EQ("3", lines[2]);
}

TEST(ListingLines, FramedLinesAcrossBlocksReadAsOneText) {
  ListingLines lines = ListingLines::Framed("> ", ";\n");
  auto lineText = [](size_t i) { return std::to_string(i) + std::string(i % 131, 'x'); };
  std::string expected;
  for (size_t i = 0; i < 50000; ++i) {
    lines.StartLine().append(lineText(i));
    ASSERT_TRUE(lines.FinishLine());
    expected += "> " + lineText(i) + ";\n";
  }
  ASSERT_GT(lines.BlockCount(), 2u);
  EXPECT_EQ(expected, AllBlocks(lines));
  for (size_t i = 0; i < 50000; ++i) {
    ASSERT_EQ(lineText(i), lines[i]) << "line " << i;
  }
}

TEST(ListingLines, AppendTakesTheLinesInTheTargetsOwnFrame) {
  ListingLines source = ListingLines::Framed("[", "]");
  source.StartLine().append("a");
  source.FinishLine();
  source.StartLine().append("b");
  source.FinishLine();
  ListingLines target = ListingLines::Framed("<", ">");
  target.StartLine().append("first");
  target.FinishLine();

  EXPECT_TRUE(target.Append(source));
  EXPECT_EQ("<first><a><b>", AllBlocks(target));
  EXPECT_TRUE(target.Append(target)) << "a list appended to itself doubles once";
  EXPECT_EQ(LinesOf({"first", "a", "b", "first", "a", "b"}), target);
  EXPECT_TRUE(target.Append(ListingLines()));
  EXPECT_EQ(6u, target.size());
}

// Each allocation that building a list makes fails in turn: only the line
// under way is lost, the others and the frame stay whole.
TEST(ListingLines, AFailedAllocationLosesTheLineUnderWayOnly) {
  // Long enough to fill the first block and need new ones.
  const std::string texts[] = {std::string(40000, 'a'), "b", std::string(30000, 'c'), "d",
                               std::string(70000, 'e')};
  long skipped = 0;
  for (;; ++skipped) {
    ListingLines lines = ListingLines::Framed("  ", "\r\n");
    bool finished[5] = {};
    FailOneAllocationAfter(skipped);
    for (int i = 0; i < 5; ++i) {
      try {
        lines.StartLine().append(texts[i]);
        finished[i] = lines.FinishLine();
      } catch (...) {
        lines.DiscardLine();
      }
    }
    bool failed = StopFailingAllocations();

    std::string expected;
    size_t kept = 0;
    for (int i = 0; i < 5; ++i) {
      if (!finished[i]) continue;
      ASSERT_LT(kept, lines.size()) << "allocation " << skipped;
      EXPECT_EQ(texts[i], lines[kept++]) << "allocation " << skipped;
      expected += "  " + texts[i] + "\r\n";
    }
    EXPECT_EQ(kept, lines.size()) << "allocation " << skipped;
    EXPECT_GE(kept, failed ? 4u : 5u) << "allocation " << skipped;
    EXPECT_EQ(expected, AllBlocks(lines)) << "allocation " << skipped;
    if (!failed) break;
  }
  EXPECT_GE(skipped, 3) << "the list allocates for its blocks and its index";
}

TEST(ListingLines, AFailedAllocationInAppendLosesOneLine) {
  ListingLines source;
  for (const char* text : {"one", "two", "three"}) {
    source.StartLine().append(text);
    source.FinishLine();
  }
  long skipped = 0;
  for (;; ++skipped) {
    ListingLines target = LinesOf({"first"});
    FailOneAllocationAfter(skipped);
    bool complete = target.Append(source);
    bool failed = StopFailingAllocations();
    EXPECT_EQ(!failed, complete) << "allocation " << skipped;
    EXPECT_EQ(failed, target.lost()) << "allocation " << skipped;
    ASSERT_EQ(failed ? 3u : 4u, target.size()) << "allocation " << skipped;
    EXPECT_EQ("first", target[0]) << "allocation " << skipped;
    if (!failed) break;
  }
  EXPECT_GE(skipped, 1);
}

}  // namespace
