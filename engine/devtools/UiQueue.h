// The work that the engine's threads hand to the UI thread, in the order it was handed over.
//
// Windows refuses a posted message when the thread's queue is full (10,000 messages, for instance
// while the UI thread waits in a synchronous call and the page writes to its console without end),
// and a task that travels as its own message is then lost. Here the tasks wait in a queue of their
// own, and the UI thread is woken by one request at a time while the queue is not empty, so a
// refused request loses nothing: the next task asks again.
//
// Console output is what a flooding page sends most and matters least: it is dropped first, and
// only it (counted, and said once in the debugger output). Everything else is kept; a queue over
// kHighBytes makes the reader wait for room (see WaitForRoom) rather than drop anything.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>

class UiQueue {
public:
    using Task = std::function<void()>;
    enum class Kind { Ordinary, Console };

    // Console tasks are dropped while this many wait, or while the queue holds kConsoleBytes.
    static constexpr size_t kMaxConsoleTasks = 256;
    static constexpr size_t kConsoleBytes = 8u * 1024u * 1024u;
    // The reader waits while the queue holds more than kHighBytes, until it holds kLowBytes.
    static constexpr size_t kHighBytes = 48u * 1024u * 1024u;
    static constexpr size_t kLowBytes = 24u * 1024u * 1024u;

    // `wake` asks the UI thread to call Drain soon and answers false when the request was refused;
    // it is called from any thread, never with the queue's lock held.
    explicit UiQueue(std::function<bool()> wake);
    UiQueue(const UiQueue&) = delete;
    UiQueue& operator=(const UiQueue&) = delete;

    // Any thread. `bytes` is what the task holds. False when a console task was dropped.
    bool Push(Task task, Kind kind, size_t bytes);

    // UI thread: runs tasks in order, until none is left or `sliceMs` has passed; true when some
    // are left (a wake-up for them is on its way). A task may run a message loop (a modal box),
    // in which the tasks after it run, still in order.
    bool Drain(DWORD sliceMs);

    // Reader thread: true when the queue holds more than kHighBytes.
    bool Full() const;
    // Reader thread: waits until the queue holds kLowBytes or less, or Close. The only wait for the
    // UI thread anywhere; nothing on the UI thread waits for the reader meanwhile.
    void WaitForRoom();
    // Ends every wait for room, now and later. Any thread.
    void Close();

    size_t DroppedConsole() const;

private:
    struct Item {
        Task task;
        Kind kind;
        size_t bytes;
    };

    void Wake();

    const std::function<bool()> m_wake;
    mutable std::mutex m_lock;  // guards everything below
    std::condition_variable m_room;
    std::deque<Item> m_items;
    size_t m_bytes = 0;
    size_t m_consoleTasks = 0;
    size_t m_droppedConsole = 0;
    bool m_wakePending = false;  // a wake-up has been asked for and not yet answered by Drain
    bool m_closed = false;
};
