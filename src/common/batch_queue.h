// Batches handed from one thread to another, in the order they were put, with
// at most a few waiting: a reader that runs ahead waits instead of filling
// memory. finish() says no more will come; stop() makes both sides give up.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <utility>

namespace common {

template <class T>
class BatchQueue {
public:
    explicit BatchQueue(std::size_t capacity) : capacity_(capacity) {}

    /// Waits while the queue is full; false (and item dropped) once stopped.
    bool put(T item)
    {
        std::unique_lock lock(m_);
        changed_.wait(lock, [&] { return stopped_ || items_.size() < capacity_; });
        if (stopped_)
            return false;
        items_.push_back(std::move(item));
        lock.unlock();
        changed_.notify_all();
        return true;
    }

    /// The next item; waits while there is none. Nothing once the queue is
    /// stopped, or once it is finished and every item is taken.
    std::optional<T> take()
    {
        std::unique_lock lock(m_);
        changed_.wait(lock, [&] { return stopped_ || finished_ || !items_.empty(); });
        if (stopped_ || items_.empty())
            return std::nullopt;
        std::optional<T> item(std::move(items_.front()));
        items_.pop_front();
        lock.unlock();
        changed_.notify_all();
        return item;
    }

    /// No more items will be put; what is waiting can still be taken.
    void finish()
    {
        {
            const std::lock_guard lock(m_);
            finished_ = true;
        }
        changed_.notify_all();
    }

    /// Both sides give up at their next put or take (or the one they wait in).
    void stop()
    {
        {
            const std::lock_guard lock(m_);
            stopped_ = true;
        }
        changed_.notify_all();
    }

private:
    const std::size_t capacity_;
    std::mutex m_;
    std::condition_variable changed_;
    std::deque<T> items_;
    bool finished_ = false;
    bool stopped_ = false;
};

} // namespace common
