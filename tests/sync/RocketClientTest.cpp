// The client against a small editor in the test: a non-blocking TCP server
// on 127.0.0.1, driven in turn with the client's Poll() on one thread.
#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "TestEditor.h"
#include "sync/RocketClient.h"

namespace stagwerk {
namespace {

using namespace std::chrono_literals;
using Clock = RocketClient::Clock;

// Polls client and editor in turn until done() holds or the wait is over.
bool PollUntil(RocketClient& client, TestEditor& editor, const std::function<bool()>& done,
               std::vector<RocketEvent>* events, Clock::time_point now, Clock::duration wait = 2s) {
  for (const auto end = Clock::now() + wait; Clock::now() < end; std::this_thread::sleep_for(1ms)) {
    for (RocketEvent& event : client.Poll(now)) events->push_back(std::move(event));
    editor.Step();
    if (done()) return true;
  }
  return false;
}

std::string SetKey(uint32_t track, uint32_t row, float value, KeyShape shape) {
  std::string out;
  AppendSetKey(out, track, {row, value, shape});
  return out;
}

TEST(RocketClient, HandshakeTracksInOrderThenCommandsApplied) {
  TestEditor editor;
  std::vector<SyncTrack> tracks = {SyncTrack("s:Cam.x"), SyncTrack("s:Cam.y")};
  tracks[0].SetKey({0, 7.0f, KeyShape::Step});  // from a saved file
  RocketClient client({"127.0.0.1", editor.port()}, std::move(tracks));
  std::vector<RocketEvent> events;
  const auto now = Clock::now();
  ASSERT_TRUE(PollUntil(client, editor, [&] { return editor.received == kRocketClientGreeting; }, &events, now));
  EXPECT_FALSE(client.connected());
  editor.Send(std::string(kRocketServerGreeting));
  std::string requests(kRocketClientGreeting);
  AppendGetTrack(requests, "s:Cam.x");
  AppendGetTrack(requests, "s:Cam.y");
  ASSERT_TRUE(PollUntil(client, editor, [&] { return editor.received.size() >= requests.size(); }, &events, now));
  EXPECT_EQ(editor.received, requests);
  EXPECT_TRUE(client.connected());
  EXPECT_TRUE(client.tracks()[0].keys().empty());  // the editor's keys replace the saved ones

  // A command split over two sends, as TCP may deliver it.
  const std::string stream = SetKey(1, 4, 2.0f, KeyShape::Linear) + SetKey(1, 8, 4.0f, KeyShape::Step) +
                             std::string("\x01\0\0\0\1\0\0\0\x08", 9) + std::string("\x03\0\0\0\x10", 5) +
                             std::string("\x04\x01\x05", 3);
  editor.Send(stream.substr(0, 20));
  ASSERT_TRUE(PollUntil(client, editor, [&] { return client.tracks()[1].keys().size() == 1; }, &events, now));
  editor.Send(stream.substr(20));
  events.clear();
  ASSERT_TRUE(PollUntil(client, editor, [&] { return !events.empty(); }, &events, now));
  using K = RocketEvent::Kind;
  ASSERT_EQ(events.size(), 4u);
  EXPECT_TRUE(events[0].kind == K::SetRow && events[0].row == 16u);
  EXPECT_TRUE(events[1].kind == K::Pause && events[1].paused);
  EXPECT_TRUE(events[2].kind == K::SaveTracks && events[3].kind == K::KeysChanged);
  ASSERT_EQ(client.tracks()[1].keys().size(), 1u);
  EXPECT_EQ(client.tracks()[1].keys()[0], (SyncKey{4, 2.0f, KeyShape::Linear}));

  // Rows go back only when they change, and not the one the editor set.
  editor.received.clear();
  client.SendRow(16);
  client.SendRow(17);
  client.SendRow(17);
  client.SendKey(0, {17, -1.0f, KeyShape::Smooth});
  std::string expected;
  AppendSetRow(expected, 17);
  expected += SetKey(0, 17, -1.0f, KeyShape::Smooth);
  ASSERT_TRUE(PollUntil(client, editor, [&] { return editor.received.size() >= expected.size(); }, &events, now));
  EXPECT_EQ(editor.received, expected);
  EXPECT_EQ(client.tracks()[0].keys().size(), 1u);
}

bool HasStatus(const std::vector<RocketEvent>& events, const std::string& part) {
  for (const RocketEvent& event : events) {
    if (event.kind == RocketEvent::Kind::Status && event.text.find(part) != std::string::npos) return true;
  }
  return false;
}

TEST(RocketClient, SurvivesGarbageRefusalAndAGoneEditorAndReconnectsOncePerInterval) {
  auto editor = std::make_unique<TestEditor>();
  const uint16_t port = editor->port();
  RocketClient client({"127.0.0.1", port}, {SyncTrack("s:Cam.x")});
  std::vector<RocketEvent> events;
  auto now = Clock::now();
  auto handshake = [&] {
    ASSERT_TRUE(PollUntil(client, *editor, [&] { return editor->received == kRocketClientGreeting; }, &events, now));
    editor->received.clear();
    editor->Send(std::string(kRocketServerGreeting));
    ASSERT_TRUE(PollUntil(client, *editor, [&] { return client.connected(); }, &events, now));
  };
  handshake();

  // A good key, then a byte no editor sends: dropped, the key kept.
  editor->Send(SetKey(0, 2, 5.0f, KeyShape::Step) + "\x09");
  ASSERT_TRUE(PollUntil(client, *editor, [&] { return editor->closedByClient == 1; }, &events, now));
  EXPECT_FALSE(client.connected());
  EXPECT_TRUE(HasStatus(events, "garbage from editor at 127.0.0.1:" + std::to_string(port) + " (unknown command 9)"));
  EXPECT_EQ(*client.tracks()[0].ValueAt(3), 5.0);
  // No new attempt within the interval.
  EXPECT_FALSE(PollUntil(client, *editor, [&] { return editor->accepted > 1; }, &events, now + 999ms, 200ms));

  now += 1s;
  ASSERT_TRUE(PollUntil(client, *editor, [&] { return editor->received == kRocketClientGreeting; }, &events, now));
  editor->received.clear();
  editor->Send("hello, world!");
  ASSERT_TRUE(PollUntil(client, *editor, [&] { return editor->closedByClient == 2; }, &events, now));
  EXPECT_TRUE(HasStatus(events, "is no sync editor"));

  now += 1s;
  handshake();
  editor->Hangup();
  ASSERT_TRUE(PollUntil(client, *editor, [&] { return !client.connected(); }, &events, now));
  EXPECT_TRUE(HasStatus(events, "gone; playing on, reconnecting"));

  // No editor at all for a while, then one on the same port again.
  editor.reset();
  for (int i = 0; i < 3; ++i) {
    now += 1s;
    client.Poll(now);
  }
  editor = std::make_unique<TestEditor>(port);
  now += 1s;
  events.clear();
  handshake();
  EXPECT_TRUE(HasStatus(events, "connected to editor"));
}

TEST(RocketClient, PollNeverWaitsOnASilentEditor) {
  TestEditor editor;
  RocketClient client({"127.0.0.1", editor.port()}, {SyncTrack("s:Cam.x")});
  std::vector<RocketEvent> events;
  const auto now = Clock::now();
  ASSERT_TRUE(PollUntil(client, editor, [&] { return editor.received == kRocketClientGreeting; }, &events, now));
  Clock::duration longest{};
  for (int i = 0; i < 200; ++i) {
    const auto start = Clock::now();
    client.Poll(now + std::chrono::seconds(i));
    longest = std::max(longest, Clock::now() - start);
  }
  EXPECT_LT(longest, 20ms);
  EXPECT_FALSE(client.connected());
  EXPECT_EQ(editor.accepted, 1);  // waiting for the greeting is no reason to reconnect
}

}  // namespace
}  // namespace stagwerk
