#include "analysis/concurrent_scan.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace coffer {
namespace {

using Batch = std::vector<BankLogEntry>;
constexpr std::size_t kBatchSize = 512;   // entries handed over at a time: few locks
constexpr std::size_t kBatchesAhead = 16; // how far the scan may run ahead: little memory

struct StopScan {};

// Batches from the scanning thread to the handling one, with room for a few only.
class BatchQueue {
  public:
    // False when the reader has stopped: the scan should end.
    bool push(Batch batch) {
        std::unique_lock lock(mutex_);
        roomLeft_.wait(lock, [&] { return batches_.size() < kBatchesAhead || stopped_; });
        if (stopped_)
            return false;
        batches_.push_back(std::move(batch));
        ready_.notify_one();
        return true;
    }
    void finish(std::exception_ptr failure) {
        std::lock_guard lock(mutex_);
        finished_ = true;
        failure_ = failure;
        ready_.notify_one();
    }
    // False once every batch has been taken and the scan is over.
    bool pop(Batch& batch) {
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [&] { return !batches_.empty() || finished_; });
        if (batches_.empty())
            return false;
        batch = std::move(batches_.front());
        batches_.pop_front();
        roomLeft_.notify_one();
        return true;
    }
    void stop() {
        std::lock_guard lock(mutex_);
        stopped_ = true;
        roomLeft_.notify_one();
    }
    std::exception_ptr failure() {
        std::lock_guard lock(mutex_);
        return failure_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable ready_, roomLeft_;
    std::deque<Batch> batches_;
    bool finished_ = false, stopped_ = false;
    std::exception_ptr failure_;
};

} // namespace

void ScanBankLogConcurrently(LineReader& lines, GuildIdentity& guild, const EntryHandler& onEntry, std::stop_token stop,
                             const std::function<void(std::uint64_t bytes)>& onRead) {
    BatchQueue queue;
    GuildIdentity scanned = guild;
    std::thread scanner([&] {
        std::exception_ptr failure;
        try {
            Batch batch;
            ScanBankLog(
                lines, scanned,
                [&](BankLogEntry& entry) {
                    batch.push_back(std::move(entry));
                    if (batch.size() < kBatchSize)
                        return;
                    if (!queue.push(std::exchange(batch, {})))
                        throw StopScan{};
                    if (onRead)
                        onRead(lines.bytesRead());
                },
                stop);
            if (!batch.empty())
                queue.push(std::move(batch));
            if (onRead)
                onRead(lines.bytesRead());
        } catch (const StopScan&) {
        } catch (...) {
            failure = std::current_exception();
        }
        queue.finish(failure);
    });
    // However handling ends, the scanning thread is stopped and joined before anything it uses goes.
    struct Join {
        BatchQueue& queue;
        std::thread& thread;
        ~Join() {
            queue.stop();
            thread.join();
        }
    } join{queue, scanner};

    for (Batch batch; !stop.stop_requested() && queue.pop(batch);)
        for (BankLogEntry& entry : batch) {
            if (stop.stop_requested())
                break;
            onEntry(entry);
        }
    if (const std::exception_ptr failure = queue.failure())
        std::rethrow_exception(failure);
    if (!stop.stop_requested())
        guild = scanned;
}

} // namespace coffer
