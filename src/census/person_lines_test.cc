#include "census/person_lines.h"

#include <string>

#include "gtest/gtest.h"

#include "census/census.h"
#include "failing_allocator.h"
#include "sim_session.h"

namespace {

const char kIni[] = "MailServer=CN=Mail1/O=Acme\n";

// Lists the persons of a one-view directory with the given switches.
struct Listing {
  ListingLines found;
  ListingLines other;
  std::string log;
};

Listing List(const std::string& notes, bool names, bool details,
             const char* mailServerName = "Mail1/Acme") {
  Listing listing;
  SimSession session(kIni, ("view Mail Users\n" + notes).c_str());
  EXPECT_TRUE(session.Start());
  int32_t found = 0, other = 0;
  EXPECT_TRUE(MailboxCensus(mailServerName, found, other, ReportOptions{names, details}, listing.found,
                            listing.other));
  session.Stop();
  listing.log = session.Log();
  EXPECT_EQ("", UnbalancedObjects(listing.log));
  return listing;
}

const std::string kFullPerson =
    "note 4\n"
    "ShortName=jdoe\n"
    "MailFile=mail\\jdoe.nsf\n"
    "MailServer=CN=Mail1/OU=Sales/O=Acme\n"
    "MailDomain=AcmeDomain\n"
    "InternetAddress=jdoe@acme.example\n"
    "FullName=CN=John Doe/O=Acme\n"
    "Form=Person\n";

TEST(PersonLines, BothFormsWithAllItems) {
  Listing l = List(kFullPerson + "$REF=4A2B\n", true, true);
  ASSERT_EQ(2u, l.other.size()) << "a reference document counts as other";
  EXPECT_EQ("1, jdoe, mail\\jdoe.nsf, Mail1/Sales/Acme", l.other[0]);
  EXPECT_EQ(
      "1, jdoe, mail\\jdoe.nsf, Mail1/Sales/Acme (CN=Mail1/OU=Sales/O=Acme), AcmeDomain, "
      "jdoe@acme.example, CN=John Doe/O=Acme, 4A2B, Person",
      l.other[1]);
  EXPECT_TRUE(l.found.empty());
}

TEST(PersonLines, PersonWithoutItems) {
  Listing l = List("note 4\n", true, true);
  ASSERT_EQ(2u, l.other.size());
  EXPECT_EQ("1, NA, NA, NA", l.other[0]);
  EXPECT_EQ("1, NA, NA, NA (NA), NA, NA, NA, NA, NA", l.other[1]);
}

TEST(PersonLines, ItemThatTranslatesToNothing) {
  // A lone zero byte is a line break that ends the text at once.
  Listing l = List("note 4\nShortName=\\x00\nMailFile=\\x00\n", true, false);
  ASSERT_EQ(1u, l.other.size());
  EXPECT_EQ("1, , , NA", l.other[0]);

  // The text is translated into the line itself: what follows the zero
  // must not stay behind in it.
  l = List("note 4\nShortName=ab\\x00cd\nMailFile=x\\x00\n", true, true);
  ASSERT_EQ(2u, l.other.size());
  EXPECT_EQ("1, ab, x, NA", l.other[0]);
  EXPECT_EQ("1, ab, x, NA (NA), NA, NA, NA, NA, NA", l.other[1]);
}

TEST(PersonLines, NonAsciiMailServer) {
  // 0x81 is u with diaeresis in the server's set.
  Listing l = List("note 4\nShortName=m\\x81ller\nMailFile=mail\\m.nsf\n"
                   "MailServer=CN=M\\x81nchen/O=Acme\n",
                   true, true, "M\x81nchen/Acme");
  ASSERT_EQ(2u, l.found.size());
  EXPECT_EQ("1, m\xC3\xBCller, mail\\m.nsf, M\x81nchen/Acme", l.found[0])
      << "the basic line shows the server's own bytes for the mail server";
  EXPECT_EQ("1, m\xC3\xBCller, mail\\m.nsf, M\xC3\xBCnchen/Acme (CN=M\xC3\xBCnchen/O=Acme), NA, "
            "NA, NA, NA, NA",
            l.found[1]);
}

TEST(PersonLines, NumbersFromTenUpHaveNoPadding) {
  std::string notes;
  for (int i = 1; i <= 11; ++i) {
    notes += "note " + std::to_string(i * 4) + "\nShortName=u" + std::to_string(i) +
             "\nMailFile=f\nMailServer=CN=Mail1/O=Acme\n";
  }
  Listing l = List(notes, true, false);
  ASSERT_EQ(11u, l.found.size());
  EXPECT_EQ("9, u9, f, Mail1/Acme", l.found[8]);
  EXPECT_EQ("10, u10, f, Mail1/Acme", l.found[9]);
  EXPECT_EQ("11, u11, f, Mail1/Acme", l.found[10]);
}

TEST(PersonLines, DetailedOnlyGivesOneLinePerPerson) {
  Listing l = List(kFullPerson, false, true, "Mail1/Sales/Acme");
  ASSERT_EQ(1u, l.found.size());
  EXPECT_EQ(0u, l.found[0].find("1, jdoe, mail\\jdoe.nsf, Mail1/Sales/Acme (")) << l.found[0];
}

TEST(PersonLines, NoSwitchesNoLines) {
  Listing l = List(kFullPerson, false, false);
  EXPECT_TRUE(l.found.empty());
  EXPECT_TRUE(l.other.empty());
}

// An item of 259 bytes (the most the server hands over) whose every byte
// becomes three in UTF-8 must be shown whole.
TEST(PersonText, LongItemThatGrowsIsNotCut) {
  std::string item;
  for (int i = 0; i < 259; ++i) item += "\\xB0";  // light shade, U+2591
  std::string expected;
  for (int i = 0; i < 259; ++i) expected += "\xE2\x96\x91";
  Listing l = List("note 4\nShortName=" + item + "\n", true, false);
  ASSERT_EQ(1u, l.other.size());
  EXPECT_EQ("1, " + expected + ", NA, NA", l.other[0]);
}

TEST(PersonText, ServerCutsItemsLongerThanTheArea) {
  Listing l = List("note 4\nShortName=" + std::string(300, 'x') + "\n", true, false);
  ASSERT_EQ(1u, l.other.size());
  EXPECT_EQ("1, " + std::string(259, 'x') + ", NA, NA", l.other[0]);
}

// Each allocation of the person lines fails in turn: the counts stay
// exact, and one line at most is left out or lacks one item's text.
TEST(PersonLines, AFailedAllocationCostsOneLineOrOneItemAtMost) {
  SimSession session(kIni, ("view Mail Users\n" + kFullPerson +
                            "note 8\nShortName=second\nMailServer=CN=Mail1/OU=Sales/O=Acme\n"
                            "MailFile=mail\\s.nsf\n")
                               .c_str());
  ASSERT_TRUE(session.Start());
  // Each form alone, so that each builder starts the list's first block.
  for (const ReportOptions& options : {ReportOptions{true, false}, ReportOptions{false, true},
                                       ReportOptions{true, true}}) {
    ListingLines all, none;
    int32_t found = 0, other = 0;
    ASSERT_TRUE(MailboxCensus("Mail1/Sales/Acme", found, other, options, all, none));
    ASSERT_EQ(options.names && options.details ? 4u : 2u, all.size());

    long skipped = 0;
    for (;; ++skipped) {
      ListingLines lines, others;
      found = 0;
      other = 0;
      FailOneAllocationAfter(skipped);
      bool result = MailboxCensus("Mail1/Sales/Acme", found, other, options, lines, others);
      bool failed = StopFailingAllocations();
      EXPECT_TRUE(result) << "allocation " << skipped;
      EXPECT_EQ(2, found) << "allocation " << skipped;
      EXPECT_EQ(0, other) << "allocation " << skipped;
      // Lines that differ from the full listing, or that it lacks.
      size_t differing = all.size() - lines.size();
      for (size_t i = 0, j = 0; i < lines.size(); ++i, ++j) {
        if (lines.size() < all.size() && j < all.size() && lines[i] != all[j]) ++j;
        if (j >= all.size() || lines[i] != all[j]) ++differing;
      }
      EXPECT_LE(differing, failed ? 1u : 0u) << "allocation " << skipped;
      EXPECT_EQ(differing != 0, lines.lost()) << "allocation " << skipped;
      if (!failed) break;
    }
    EXPECT_GE(skipped, 3) << "lines and texts are allocated";
  }
  session.Stop();
  EXPECT_EQ("", UnbalancedObjects(session.Log()));
}

}  // namespace
