#include "tools/mdm-sim/outcome.h"

#include <cerrno>
#include <chrono>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>

#include "tests/test_base.h"

namespace mdmsim {
namespace {

Outcome Parse(const std::string& text) {
  Outcome o;
  const velunor::Status parsed = ParseOutcome(text, &o);
  EXPECT_TRUE(parsed.ok()) << text << ": " << parsed.message();
  return o;
}

TEST(OutcomeTest, EachFormGivesItsAnswer) {
  Reply r = MakeReply(Parse("ack"));
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.content_type, "text/xml;charset=utf-8");
  EXPECT_EQ(r.body.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<soapenv:Envelope", 0), 0u);
  EXPECT_NE(r.body.find("<exchange>\n<response>acknowledge</response>\n<supplierIdentification>"),
            std::string::npos);

  r = MakeReply(Parse("ack-plain"));
  EXPECT_EQ(r.body.rfind("<soapenv:Envelope", 0), 0u);

  r = MakeReply(Parse("refuse:Preis <ungültig> & zu alt"));
  EXPECT_NE(r.body.find("<response>Preis &lt;ungültig&gt; &amp; zu alt</response>"),
            std::string::npos);

  r = MakeReply(Parse("responses:acknowledge|denied"));
  EXPECT_NE(r.body.find("<response>acknowledge</response>\n<response>denied</response>"),
            std::string::npos);

  r = MakeReply(Parse("http:500"));
  EXPECT_EQ(r.status, 500);
  r = MakeReply(Parse("non-xml"));
  EXPECT_EQ(r.content_type, "text/html;charset=utf-8");
  EXPECT_NE(r.body.find("<br></p>"), std::string::npos) << "the page must not be well-formed";
  EXPECT_EQ(MakeReply(Parse("empty")).body, "");

  const Outcome delayed = Parse("delay:1.5:refuse:spät");
  EXPECT_DOUBLE_EQ(delayed.delay_seconds, 1.5);
  EXPECT_EQ(delayed.responses, std::vector<std::string>{"spät"});
  EXPECT_EQ(delayed.text, "delay:1.5:refuse:spät");
  EXPECT_EQ(Parse("delay:3").responses, std::vector<std::string>{"acknowledge"});

  r = MakeReply(Parse("redirect:/v2/prices"));
  EXPECT_EQ(r.status, 307);
  EXPECT_EQ(r.locations, std::vector<std::string>{"/v2/prices"});
  EXPECT_EQ(MakeReply(Parse("file:/nonexistent/answer.xml")).status, 500);

  for (const char* bad : {"", "acknowledge", "http:42", "http:abc", "http:", "delay:x", "delay:-1",
                          "delay:2:nonsense", "redirect:elsewhere"}) {
    Outcome o;
    const velunor::Status parsed = ParseOutcome(bad, &o);
    EXPECT_EQ(parsed.code(), EINVAL) << bad;
    EXPECT_FALSE(parsed.message().empty()) << bad;
  }
}

TEST(OutcomeTest, QueueHandsOutInOrderAndKeepsTheLast) {
  OutcomeQueue queue({Parse("http:500"), Parse("refuse:x"), Parse("ack")});
  int n = 0;
  EXPECT_EQ(queue.Next(&n).text, "http:500");
  EXPECT_EQ(n, 1);
  EXPECT_EQ(queue.Next(&n).text, "refuse:x");
  EXPECT_EQ(queue.Next(&n).text, "ack");
  EXPECT_EQ(queue.Next(&n).text, "ack");
  EXPECT_EQ(n, 4);
  queue.Replace({Parse("non-xml")});
  EXPECT_EQ(queue.Pending(), std::vector<std::string>{"non-xml"});
  queue.Replace({});
  EXPECT_EQ(queue.Next(&n).text, "non-xml") << "an empty replacement changes nothing";
  EXPECT_EQ(OutcomeQueue({}).Pending(), std::vector<std::string>{"ack"});
}

TEST(OutcomeTest, ControlFileCountsOnceAndBadFilesAreRefused) {
  const velunor::testing::TempDir dir;
  const auto file = dir.path() / "control";
  std::vector<Outcome> taken;
  EXPECT_EQ(TakeControlFile(file, &taken).code(), ENOENT) << "no file, no change";

  std::ofstream(file) << "# next two answers\r\nrefuse:Preis fehlt\r\n\r\nack-plain\r\n";
  ASSERT_TRUE(TakeControlFile(file, &taken).ok());
  ASSERT_EQ(taken.size(), 2u);
  EXPECT_EQ(taken[0].responses, std::vector<std::string>{"Preis fehlt"});
  EXPECT_FALSE(taken[1].declaration);
  EXPECT_FALSE(std::filesystem::exists(file));

  std::ofstream(file) << "ack\nbogus\n";
  const velunor::Status bad = TakeControlFile(file, &taken);
  EXPECT_TRUE(taken.empty());
  EXPECT_EQ(bad.message(), "unknown outcome: bogus");
  EXPECT_FALSE(std::filesystem::exists(file));
}

TEST(OutcomeTest, StopEndsAWaitEarly) {
  StopSignal stop;
  EXPECT_TRUE(stop.Wait(0.01));
  const auto start = std::chrono::steady_clock::now();
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    stop.Stop();
  });
  EXPECT_FALSE(stop.Wait(30));
  stopper.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_FALSE(stop.Wait(5)) << "stays stopped";
}

}  // namespace
}  // namespace mdmsim
