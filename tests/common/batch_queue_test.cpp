// The queue between a reading thread and a working one: everything put comes
// out once, in order; a full queue holds the reader back; finish ends the
// taking once the queue is empty; stop frees a side that waits.
#include "common/batch_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

using common::BatchQueue;

TEST(BatchQueue, EverythingPutComesOutInOrderThenNothing)
{
    BatchQueue<int> q(2);
    std::thread producer([&] {
        for (int i = 0; i < 5000; ++i)
            ASSERT_TRUE(q.put(i));
        q.finish();
    });
    std::vector<int> got;
    while (const auto item = q.take())
        got.push_back(*item);
    producer.join();
    ASSERT_EQ(got.size(), 5000u);
    for (int i = 0; i < 5000; ++i)
        ASSERT_EQ(got[size_t(i)], i);
    EXPECT_FALSE(q.take());
}

TEST(BatchQueue, AFullQueueHoldsThePutUntilATake)
{
    BatchQueue<int> q(2);
    ASSERT_TRUE(q.put(1));
    ASSERT_TRUE(q.put(2));
    std::atomic<bool> third{false};
    std::thread producer([&] {
        EXPECT_TRUE(q.put(3));
        third = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(third);
    EXPECT_EQ(q.take(), 1);
    producer.join();
    EXPECT_TRUE(third);
    q.finish();
    EXPECT_EQ(q.take(), 2);
    EXPECT_EQ(q.take(), 3);
    EXPECT_FALSE(q.take());
}

TEST(BatchQueue, StopFreesBothSidesAndHandsOutNothingMore)
{
    BatchQueue<int> empty(1);
    std::thread taker([&] { EXPECT_FALSE(empty.take()); });
    BatchQueue<int> full(1);
    ASSERT_TRUE(full.put(1));
    std::thread putter([&] { EXPECT_FALSE(full.put(2)); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    empty.stop();
    full.stop();
    taker.join();
    putter.join();
    EXPECT_FALSE(full.take());
    EXPECT_FALSE(full.put(3));
}
