#include "engine/devtools/UiQueue.h"

#include <utility>

UiQueue::UiQueue(std::function<bool()> wake) : m_wake(std::move(wake)) {}

bool UiQueue::Push(Task task, Kind kind, size_t bytes) {
    bool kept = true;
    bool firstDrop = false;
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (kind == Kind::Console && (m_consoleTasks >= kMaxConsoleTasks || m_bytes >= kConsoleBytes)) {
            kept = false;
            firstDrop = m_droppedConsole++ == 0;
        } else {
            m_items.push_back(Item{std::move(task), kind, bytes});
            m_bytes += bytes;
            if (kind == Kind::Console) ++m_consoleTasks;
            if (!m_wakePending) wake = m_wakePending = true;
        }
    }
    if (firstDrop)
        OutputDebugStringW(L"node.dll: a page writes to its console faster than the launcher takes it; "
                           L"its console messages are dropped while it does\n");
    if (wake) Wake();
    return kept;
}

void UiQueue::Wake() {
    if (m_wake()) return;
    // Refused: the next task asks again, and the tasks wait for it.
    std::lock_guard<std::mutex> lock(m_lock);
    m_wakePending = false;
}

bool UiQueue::Drain(DWORD sliceMs) {
    const DWORD start = GetTickCount();
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_wakePending = false;  // the wake-up that brought us here is answered
    }
    for (;;) {
        Item item;
        bool wake = false;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            if (m_items.empty()) return false;
            item = std::move(m_items.front());
            m_items.pop_front();
            m_bytes -= item.bytes;
            if (item.kind == Kind::Console) --m_consoleTasks;
            if (m_bytes <= kLowBytes) m_room.notify_all();
            // Whoever runs the next task, this loop or one inside the task, is woken for it.
            if (!m_items.empty() && !m_wakePending) wake = m_wakePending = true;
        }
        if (wake) Wake();
        if (item.task) item.task();
        if (GetTickCount() - start >= sliceMs) {
            std::lock_guard<std::mutex> lock(m_lock);
            return !m_items.empty();
        }
    }
}

bool UiQueue::Full() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_bytes > kHighBytes;
}

void UiQueue::WaitForRoom() {
    std::unique_lock<std::mutex> lock(m_lock);
    m_room.wait(lock, [this] { return m_closed || m_bytes <= kLowBytes; });
}

void UiQueue::Close() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_closed = true;
    m_room.notify_all();
}

size_t UiQueue::DroppedConsole() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_droppedConsole;
}
