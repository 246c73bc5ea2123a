#include "discovery/hand_over.h"

#include <QTest>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace {

// Counts wake-ups so that a test can tell how many calls are queued.
class TCountingWaker : public TUiThreadWaker {
public:
    void WaitForWakeUps(std::size_t count)
    {
        std::unique_lock lock(mutex_);
        woken_.wait(lock, [&] { return wakeUps_ >= count; });
    }

private:
    void Wake() override
    {
        {
            std::lock_guard lock(mutex_);
            ++wakeUps_;
        }
        woken_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable woken_;
    std::size_t wakeUps_ = 0;
};

}  // namespace

class TestHandOver : public QObject {
    Q_OBJECT
private slots:
    void runsQueuedCallsOldestFirstOnTheDrainingThread();
    void raisesTheCallsFailureInTheCaller();
    void drainUntilRunsCallsUntilTheThreadEnds();
    void drainWhileArrivingTakesABurstWithinItsBudget_data();
    void drainWhileArrivingTakesABurstWithinItsBudget();
};

void TestHandOver::runsQueuedCallsOldestFirstOnTheDrainingThread()
{
    TCountingWaker waker;
    THandOver handOver(waker);
    std::vector<int> order;
    std::vector<std::thread::id> ranOn;
    std::vector<std::thread> callers;
    for (int caller = 0; caller < 3; ++caller) {
        callers.emplace_back([&, caller] {
            handOver.Call([&, caller] {
                order.push_back(caller);
                ranOn.push_back(std::this_thread::get_id());
            });
        });
        waker.WaitForWakeUps(static_cast<std::size_t>(caller) + 1);  // queued before the next one starts
    }
    QVERIFY(order.empty());
    handOver.RunQueued();
    for (std::thread& caller : callers)
        caller.join();
    QCOMPARE(order, (std::vector<int>{0, 1, 2}));
    for (const std::thread::id id : ranOn)
        QCOMPARE(id, std::this_thread::get_id());
}

void TestHandOver::raisesTheCallsFailureInTheCaller()
{
    TCountingWaker waker;
    THandOver handOver(waker);
    std::string raised;
    std::thread caller([&] {
        try {
            handOver.Call([] { throw std::runtime_error("handler failed"); });
        } catch (const std::runtime_error& error) {
            // The failure must come back to the caller: that is what is tested.
            raised = error.what();
        }
    });
    waker.WaitForWakeUps(1);
    handOver.RunQueued();
    caller.join();
    QCOMPARE(raised, std::string("handler failed"));
}

void TestHandOver::drainUntilRunsCallsUntilTheThreadEnds()
{
    TCountingWaker waker;
    THandOver handOver(waker);
    std::atomic<bool> ended{false};
    int calls = 0;
    std::thread receiving([&] {
        for (int i = 0; i < 50; ++i)
            handOver.Call([&] { ++calls; });
        ended = true;
        handOver.WakeDrain();
    });
    handOver.DrainUntil([&] { return ended.load(); });
    receiving.join();
    QCOMPARE(calls, 50);
}

void TestHandOver::drainWhileArrivingTakesABurstWithinItsBudget_data()
{
    QTest::addColumn<int>("budgetMs");
    QTest::addColumn<int>("runInOneTurn");
    QTest::newRow("the whole burst") << 60'000 << 20;
    QTest::newRow("no budget: only what was queued") << 0 << 1;
}

void TestHandOver::drainWhileArrivingTakesABurstWithinItsBudget()
{
    QFETCH(int, budgetMs);
    QFETCH(int, runInOneTurn);
    TCountingWaker waker;
    THandOver handOver(waker);
    std::atomic<int> calls{0};
    std::atomic<bool> ended{false};
    std::thread receiving([&] {
        for (int i = 0; i < 20; ++i)
            handOver.Call([&] { ++calls; });
        ended = true;
        handOver.WakeDrain();
    });
    waker.WaitForWakeUps(1);
    // A generous linger: the next call of the burst comes within microseconds.
    handOver.DrainWhileArriving(std::chrono::seconds(1), std::chrono::milliseconds(budgetMs), std::chrono::seconds(60));
    QCOMPARE(calls.load(), runInOneTurn);
    handOver.DrainUntil([&] { return ended.load(); });
    receiving.join();
    QCOMPARE(calls.load(), 20);
}

QTEST_GUILESS_MAIN(TestHandOver)

#include "tst_listener_hand_over.moc"
