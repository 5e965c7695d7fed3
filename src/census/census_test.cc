#include "census/census.h"

#include <string>

#include "gtest/gtest.h"

#include "base/stop_request.h"

#include "listing_lines_support.h"
#include "sim_session.h"

namespace {

const char kIni[] = "ServerName=CN=Mail1/O=Acme\nMailServer=CN=Mail1/O=Acme\n";

struct CensusRun {
  bool result = false;
  int32_t found = 0;
  int32_t other = 0;
  ListingLines foundLines;
  ListingLines otherLines;
  std::string out;
  std::string err;
  std::string log;
};

// Runs one census against the simulator, as the partition run does.
// With `stop`, Ctrl+C is pressed once the library is initialised.
CensusRun Census(const std::string& settings, const char* namesNsf,
                 const char* mailServerName = "Mail1/Acme", bool names = false,
                 bool details = false, bool stop = false) {
  CensusRun run;
  SimSession session(kIni + settings, namesNsf);
  EXPECT_TRUE(session.Start());
  if (stop) HandleConsoleControl(CTRL_C_EVENT);
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  run.result = MailboxCensus(mailServerName, run.found, run.other, ReportOptions{names, details},
                             run.foundLines, run.otherLines);
  fflush(stdout);
  run.err = testing::internal::GetCapturedStderr();
  run.out = testing::internal::GetCapturedStdout();
  session.Stop();
  run.log = session.Log();
  return run;
}

std::string Person(unsigned long long id, const std::string& items) {
  return "note " + std::to_string(id) + "\n" + items;
}

const std::string kOnThisServer = "MailServer=CN=Mail1/O=Acme\nMailFile=mail\\p.nsf\n";
const std::string kOnOtherServer = "MailServer=CN=Mail2/O=Acme\nMailFile=mail\\q.nsf\n";

std::string View(const std::string& body) { return "view Mail Users\n" + body; }

// --- The decision -----------------------------------------------------------

TEST(CensusDecision, EachRuleOfTheFoundTest) {
  struct Case {
    const char* what;
    std::string items;
    bool found;
  };
  const Case cases[] = {
      {"mail file on this server", kOnThisServer, true},
      {"reference document", kOnThisServer + "$REF=1234\n", false},
      {"empty $REF still present", kOnThisServer + "$REF=\n", false},
      {"no mail file", "MailServer=CN=Mail1/O=Acme\n", false},
      {"empty mail file", "MailServer=CN=Mail1/O=Acme\nMailFile=\n", false},
      {"no mail server", "MailFile=mail\\p.nsf\n", false},
      {"empty mail server", "MailServer=\nMailFile=mail\\p.nsf\n", false},
      {"other mail server", kOnOtherServer, false},
      {"stored already abbreviated", "MailServer=Mail1/Acme\nMailFile=m\n", true},
      {"ASCII case differs", "MailServer=CN=mail1/O=ACME\nMailFile=m\n", true},
      {"longer name", "MailServer=CN=Mail1/O=Acme2\nMailFile=m\n", false},
  };
  for (const Case& c : cases) {
    CensusRun run = Census("", View(Person(10, c.items)).c_str());
    EXPECT_TRUE(run.result) << c.what;
    EXPECT_EQ(c.found ? 1 : 0, run.found) << c.what;
    EXPECT_EQ(c.found ? 0 : 1, run.other) << c.what;
    EXPECT_EQ("", run.out) << c.what;
    EXPECT_EQ("", UnbalancedObjects(run.log)) << c.what;
  }
}

TEST(CensusDecision, StoredTextMatchesWhenItsAbbreviationFails) {
  // The partition's own abbreviation failed, so its full name is compared.
  std::string settings = "SimAbbreviateStatus=0x0103:cn=mail1/o=acme\n";
  CensusRun run = Census(settings, View(Person(10, "MailServer=cn=mail1/o=acme\nMailFile=m\n")).c_str(),
                         "CN=Mail1/O=Acme");
  EXPECT_TRUE(run.result);
  EXPECT_EQ(1, run.found);
  EXPECT_EQ("", run.out) << "a failing abbreviation of a person is not reported";
  EXPECT_EQ("", UnbalancedObjects(run.log));
}

TEST(CensusDecision, OnlyAsciiLettersAreFolded) {
  // 0x82 and 0x90 are the small and capital e acute of the server's set.
  CensusRun same = Census("", View(Person(10, "MailServer=CN=M\\x82il/O=Acme\nMailFile=m\n")).c_str(),
                          "M\x82IL/acme");
  EXPECT_EQ(1, same.found);
  CensusRun accented = Census(
      "", View(Person(10, "MailServer=CN=M\\x90il/O=Acme\nMailFile=m\n")).c_str(), "M\x82il/Acme");
  EXPECT_EQ(0, accented.found);
  EXPECT_EQ(1, accented.other);
}

TEST(CensusDecision, CountersAddToWhatTheyAreGiven) {
  SimSession session(kIni, View(Person(1, kOnThisServer) + Person(2, kOnOtherServer)).c_str());
  ASSERT_TRUE(session.Start());
  int32_t found = 5, other = 7;
  ListingLines foundLines, otherLines;
  EXPECT_TRUE(MailboxCensus("Mail1/Acme", found, other, ReportOptions(), foundLines, otherLines));
  EXPECT_EQ(6, found);
  EXPECT_EQ(8, other);
  EXPECT_TRUE(foundLines.empty());
  EXPECT_TRUE(otherLines.empty());
  session.Stop();
  EXPECT_EQ("", UnbalancedObjects(session.Log()));
}

// --- Reading the view -------------------------------------------------------

std::string ManyPersons(int count, int firstId = 100) {
  std::string body;
  for (int i = 0; i < count; ++i) {
    body += Person(firstId + 4 * i, "ShortName=p" + std::to_string(i + 1) + "\n" +
                                        (i % 3 == 2 ? kOnOtherServer : kOnThisServer));
  }
  return View(body);
}

TEST(CensusView, NumbersGoOnAcrossReads) {
  CensusRun run = Census("SimReadBatch=2\n", ManyPersons(7).c_str(), "Mail1/Acme", true);
  EXPECT_TRUE(run.result);
  EXPECT_EQ(5, run.found);
  EXPECT_EQ(2, run.other);
  ListingLines expectedFound = LinesOf({"1, p1, mail\\p.nsf, Mail1/Acme", "2, p2, mail\\p.nsf, Mail1/Acme",
                                       "3, p4, mail\\p.nsf, Mail1/Acme", "4, p5, mail\\p.nsf, Mail1/Acme",
                                       "5, p7, mail\\p.nsf, Mail1/Acme"});
  EXPECT_EQ(expectedFound, run.foundLines);
  ListingLines expectedOther = LinesOf({"1, p3, mail\\q.nsf, Mail2/Acme", "2, p6, mail\\q.nsf, Mail2/Acme"});
  EXPECT_EQ(expectedOther, run.otherLines);
  EXPECT_NE(std::string::npos, run.log.find("buffers 4/4")) << run.log;
  EXPECT_EQ("", UnbalancedObjects(run.log));
}

TEST(CensusView, EmptyViewDeliversNoBufferOnTheFirstReadOnly) {
  CensusRun run = Census("", View("").c_str());
  EXPECT_TRUE(run.result);
  EXPECT_EQ(0, run.found);
  EXPECT_EQ(0, run.other);
  EXPECT_EQ("", run.out) << "no buffer on the first read of an empty view is no failure";
  EXPECT_EQ("", UnbalancedObjects(run.log));
  run = Census("SimReadBatch=1\nSimReadEmptyFrom=2\n", ManyPersons(3).c_str());
  EXPECT_EQ(1, run.found + run.other);
  EXPECT_EQ("Error: read user data failed (null handle).\n", run.out) << "a later read says so";
}

TEST(CensusView, ReadWithoutBufferGoesOnWhileMoreIsSignalled) {
  CensusRun run = Census("SimReadEntriesNoBuffer=1\n", ManyPersons(3).c_str());
  EXPECT_TRUE(run.result);
  EXPECT_EQ(2, run.found);
  EXPECT_EQ(1, run.other);
  EXPECT_EQ("Error: read user data failed (null handle).\n", run.out);
  EXPECT_EQ("", UnbalancedObjects(run.log));
}

TEST(CensusView, LockFailureSkipsThatBatchOnly) {
  CensusRun run = Census("SimReadBatch=2\nSimLockNull=1\n", ManyPersons(4).c_str());
  EXPECT_TRUE(run.result);
  EXPECT_EQ(2, run.found + run.other) << "only the second batch is counted";
  EXPECT_EQ("Error: lock object failed.\n", run.out);
  EXPECT_NE(std::string::npos, run.log.find("buffers 2/2")) << run.log;
  EXPECT_EQ("", UnbalancedObjects(run.log));
}

TEST(CensusView, FailingReadEndsTheLoopAndTheCensusFails) {
  CensusRun run = Census("SimReadBatch=2\nSimReadEntriesStatus=2:2055\n", ManyPersons(5).c_str());
  EXPECT_FALSE(run.result);
  EXPECT_EQ(2, run.found + run.other) << "the first batch stands";
  EXPECT_EQ("Error: read user data failed.\nError: read user data failed (null handle).\n",
            run.out);
  EXPECT_FALSE(run.err.empty()) << "the server's text for the status";
  EXPECT_NE(std::string::npos, run.log.find("buffers 1/1")) << run.log;
  EXPECT_EQ("", UnbalancedObjects(run.log));
}

TEST(CensusView, FailingFirstReadDeliversNothing) {
  CensusRun run = Census("SimReadEntriesStatus=1:0x0307\n", ManyPersons(3).c_str());
  EXPECT_FALSE(run.result);
  EXPECT_EQ(0, run.found + run.other);
  EXPECT_EQ("Error: read user data failed.\nError: read user data failed (null handle).\n",
            run.out);
  EXPECT_EQ("", UnbalancedObjects(run.log));
}

TEST(CensusView, NotesThatFailToOpen) {
  std::string nsf = View(Person(8, kOnThisServer) + "entry 12\n" + Person(16, kOnThisServer) +
                         Person(20, kOnOtherServer));
  CensusRun run = Census("SimNoteOpenStatus=16:582\n", nsf.c_str());
  EXPECT_TRUE(run.result);
  EXPECT_EQ(1, run.found);
  EXPECT_EQ(1, run.other);
  EXPECT_EQ("Error: open note (16) failed.\n", run.out) << "551 for note 12 passes silently";
  EXPECT_FALSE(run.err.empty());
  EXPECT_EQ("", UnbalancedObjects(run.log));
}

TEST(CensusView, NoteIdsWithTheTopBitAreCategoryRows) {
  CensusRun run = Census("SimNoteOpenStatus=4000000000:582\n",
                         View(Person(4000000000u, kOnThisServer) + Person(8, kOnThisServer)).c_str());
  EXPECT_EQ("", run.out) << "a category row is not opened";
  EXPECT_EQ(1, run.found);
  EXPECT_EQ(0, run.other);
}

// --- Failures before and after the reads -------------------------------------

TEST(CensusEarlyFailures, EachReportsAndGivesBackWhatItTook) {
  struct Case {
    const char* what;
    std::string settings;
    bool withDirectory;
    std::string nsf;
    std::string out;
    bool result;
  };
  const std::string persons = ManyPersons(2);
  const Case cases[] = {
      {"no names.nsf", "", false, "", "Error: open names.nsf failed.\n", false},
      {"no view", "", true, "view People\n" + Person(4, kOnThisServer),
       "Error: find mail users failed.\n", false},
      {"collection does not open", "SimOpenCollectionStatus=779\n", true, persons,
       "Error: open view failed.\n", false},
      {"collection does not close", "SimCloseCollectionStatus=2055\n", true, persons,
       "Error: close collection failed.\n", false},
      {"database does not close", "SimDbCloseStatus=2055\n", true, persons,
       "Error: close database failed.\n", false},
  };
  for (const Case& c : cases) {
    CensusRun run = Census(c.settings, c.withDirectory ? c.nsf.c_str() : nullptr);
    EXPECT_EQ(c.result, run.result) << c.what;
    EXPECT_EQ(c.out, run.out) << c.what;
    EXPECT_FALSE(run.err.empty()) << c.what << ": the server's text goes to standard error";
    EXPECT_EQ("", UnbalancedObjects(run.log)) << c.what;
  }
}

TEST(CensusEarlyFailures, CountsStandWhenClosingFails) {
  CensusRun run = Census("SimCloseCollectionStatus=2055\nSimDbCloseStatus=2055\n",
                         ManyPersons(3).c_str());
  EXPECT_FALSE(run.result);
  EXPECT_EQ(2, run.found);
  EXPECT_EQ(1, run.other);
  EXPECT_EQ("Error: close collection failed.\nError: close database failed.\n", run.out);
  EXPECT_EQ("", UnbalancedObjects(run.log));
}

TEST(CensusEarlyFailures, AStopAskedGivesBackWhatItTookAndSaysNothing) {
  CensusRun run =
      Census("", View(Person(10, kOnThisServer)).c_str(), "Mail1/Acme", false, false, true);
  ClearStopRequest();
  EXPECT_FALSE(run.result);
  EXPECT_EQ(0, run.found);
  EXPECT_EQ("", run.out + run.err);
  EXPECT_NE(std::string::npos, run.log.find("collections 1/1 notes 0/0 buffers 0/0")) << run.log;
  EXPECT_EQ("", UnbalancedObjects(run.log));
}

TEST(CensusEarlyFailures, NullMailServerNameOpensNothing) {
  SimSession session(kIni, ManyPersons(2).c_str());
  ASSERT_TRUE(session.Start());
  int32_t found = 0, other = 0;
  ListingLines foundLines, otherLines;
  testing::internal::CaptureStdout();
  EXPECT_FALSE(MailboxCensus(nullptr, found, other, ReportOptions{true, true}, foundLines, otherLines));
  fflush(stdout);
  EXPECT_EQ("Error: wrong parameters (Mailserver name).\n", testing::internal::GetCapturedStdout());
  EXPECT_EQ(0, found + other);
  EXPECT_TRUE(foundLines.empty() && otherLines.empty());
  session.Stop();
  EXPECT_NE(std::string::npos, session.Log().find("databases 0/0")) << session.Log();
}

}  // namespace
