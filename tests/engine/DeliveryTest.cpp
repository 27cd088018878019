// How what the browser says reaches the UI thread: the pipe keeps each message within the limit
// its head decides (of a longer one only the head and the tail), and the UI thread's queue keeps
// every task in order whatever becomes of its wake-up requests, dropping only console output.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "engine/devtools/DevToolsPipe.h"
#include "engine/devtools/UiQueue.h"

namespace {

// The browser's side of a pipe that has said `bytes`, read back in pieces of `piece` bytes.
class SaidStream : public PipeStream {
public:
    SaidStream(std::string bytes, size_t piece) : m_bytes(std::move(bytes)), m_piece(piece) {}
    bool Write(const char*, size_t) override { return true; }
    size_t Read(char* buffer, size_t size) override {
        const size_t n = std::min({size, m_piece, m_bytes.size() - m_at});
        m_bytes.copy(buffer, n, m_at);
        m_at += n;
        return n;
    }
    void Shutdown() override {}

private:
    std::string m_bytes;
    size_t m_piece;
    size_t m_at = 0;
};

TEST(DevToolsPipe, KeepsMessagesWithinTheirLimitAndOfLongerOnesTheHeadAndTheTail) {
    const std::string first = R"({"id":1,"result":{}})";
    const std::string dialog = R"({"method":"Page.javascriptDialogOpening","params":{"message":")" +
                               std::string(300000, 'x') + R"("},"sessionId":"S7"})";
    const std::string last = R"({"method":"Page.loadEventFired","params":{},"sessionId":"S7"})";
    DevToolsPipe pipe(std::make_unique<SaidStream>(first + '\0' + dialog + '\0' + last + '\0', 1000));
    std::vector<std::string> heads;
    const DevToolsPipe::LimitOf limitOf = [&](const std::string& head) {
        heads.push_back(head);
        return head.find("Dialog") != std::string::npos ? size_t{1000} : DevToolsPipe::kMaxMessage;
    };

    std::string message;
    std::string tail;
    bool cut = true;
    ASSERT_TRUE(pipe.Receive(message, tail, cut, limitOf));
    EXPECT_FALSE(cut);
    EXPECT_EQ(message, first);
    ASSERT_TRUE(pipe.Receive(message, tail, cut, limitOf));
    EXPECT_TRUE(cut);
    EXPECT_EQ(message, dialog.substr(0, DevToolsPipe::kCutHead));
    EXPECT_EQ(tail, dialog.substr(dialog.size() - DevToolsPipe::kCutTail)) << "the session stays readable";
    ASSERT_TRUE(pipe.Receive(message, tail, cut, limitOf));
    EXPECT_FALSE(cut);
    EXPECT_EQ(message, last) << "the message after a cut one is whole";
    EXPECT_FALSE(pipe.Receive(message, tail, cut, limitOf)) << "the end of the pipe";
    // Each limit was asked for once, with the message's first bytes (all of it when shorter).
    ASSERT_EQ(heads.size(), 3u);
    EXPECT_EQ(heads[0], first);
    EXPECT_EQ(heads[1], dialog.substr(0, DevToolsPipe::kCutHead));
}

TEST(UiQueue, KeepsTheOrderAcrossThreadsAndNestedLoopsAndLosesNothingWhenWakeUpsAreRefused) {
    std::atomic<int> wakes{0};
    std::atomic<bool> refuse{true};
    UiQueue queue([&] {
        ++wakes;
        return !refuse;
    });
    std::vector<int> ran;
    // Task 10 runs a message loop of its own (a modal box), in which the next tasks run.
    const auto record = [&](int i) {
        return [&, i] {
            ran.push_back(i);
            if (i == 10) queue.Drain(60000);
        };
    };
    std::thread reader([&] {
        for (int i = 0; i < 3000; ++i) queue.Push(record(i), UiQueue::Kind::Ordinary, 100);
    });
    reader.join();
    // Every request was refused, so every task asked again; none was lost.
    EXPECT_EQ(wakes, 3000);
    refuse = false;
    queue.Push(record(3000), UiQueue::Kind::Ordinary, 100);
    queue.Push(record(3001), UiQueue::Kind::Ordinary, 100);
    EXPECT_EQ(wakes, 3001) << "one request while the queue is not empty";
    while (queue.Drain(60000)) {
    }
    ASSERT_EQ(ran.size(), 3002u);
    for (int i = 0; i < 3002; ++i) ASSERT_EQ(ran[i], i);
}

TEST(UiQueue, DropsConsoleOutputFirstAndOnlyItAndMakesTheReaderWaitForRoom) {
    UiQueue queue([] { return true; });
    std::vector<int> ran;
    for (int i = 0; i < 1000; ++i) {
        queue.Push([&ran, i] { ran.push_back(i); }, UiQueue::Kind::Console, 10);
        queue.Push([&ran, i] { ran.push_back(-i - 1); }, UiQueue::Kind::Ordinary, 10);
    }
    EXPECT_EQ(queue.DroppedConsole(), 1000u - UiQueue::kMaxConsoleTasks);
    while (queue.Drain(60000)) {
    }
    std::vector<int> ordinary;
    std::vector<int> console;
    for (int i : ran) (i < 0 ? ordinary : console).push_back(i);
    ASSERT_EQ(ordinary.size(), 1000u);
    for (int i = 0; i < 1000; ++i) EXPECT_EQ(ordinary[i], -i - 1);
    ASSERT_EQ(console.size(), UiQueue::kMaxConsoleTasks);
    for (size_t i = 0; i < console.size(); ++i) EXPECT_EQ(console[i], static_cast<int>(i)) << "the first are kept";

    // Past its high mark the reader waits until the UI thread has made room.
    queue.Push([] {}, UiQueue::Kind::Ordinary, UiQueue::kHighBytes + 1);
    EXPECT_TRUE(queue.Full());
    std::atomic<bool> resumed{false};
    std::thread reader([&] {
        queue.WaitForRoom();
        resumed = true;
    });
    EXPECT_FALSE(queue.Drain(60000));
    reader.join();
    EXPECT_TRUE(resumed);
    EXPECT_FALSE(queue.Full());
}

}  // namespace
