// SPDX-License-Identifier: MIT
#include "analysis/scan/concurrent_scan.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace coffer {
namespace {

// Entries handed over together. Batches go back to the scanning thread once handled and are refilled
// there: the entries' strings keep their memory, so neither thread allocates, or frees what the other
// allocated, once the first batches have gone round. A new batch grows as it is filled, so that a short
// log does not pay for a whole batch of empty entries.
template <class Item> struct Batch {
    std::vector<Item> items;
    std::size_t size = 0;
    // The item to fill next, made where the batch has none left to refill.
    Item& next() {
        if (size == items.size())
            items.emplace_back();
        return items[size];
    }
};
constexpr std::size_t kBatchSize = 512;   // entries handed over at a time: few locks
constexpr std::size_t kBatchesAhead = 16; // how far the scan may run ahead: little memory
// Elements with their texts are larger, and a handler of them slower than the scan: the scan waits for
// it sooner, so that the memory it holds (which its thread's own heap keeps after) stays small.
constexpr std::size_t kElementBatchSize = 256, kElementBatchesAhead = 4;

struct StopScan {};

constexpr std::size_t kCacheLine = 64;

// Asks for every cache line of the entry. The other thread touched it last: asked for together, well
// ahead, the lines come at once instead of one stall after the other.
enum class Use { Reading = 0, Writing = 1 };
template <Use kUse> void Fetch(const BankLogEntry& entry) {
    const auto* bytes = reinterpret_cast<const char*>(&entry);
    for (std::size_t at = 0; at < sizeof entry; at += kCacheLine)
        __builtin_prefetch(bytes + at, static_cast<int>(kUse));
}

// The texts held outside the entry (longer than a string holds inline), once the entry is in the cache.
void FetchTexts(const BankLogEntry& entry) {
    for (const std::string* text : {&entry.player, &entry.itemName})
        for (std::size_t at = 0; at < text->size(); at += kCacheLine)
            __builtin_prefetch(text->data() + at);
}

// Batches from the scanning thread to the handling one, with room for a few only, and the handled
// ones back.
template <class Item> class BatchQueue {
  public:
    explicit BatchQueue(std::size_t ahead) : ahead_(ahead) {}

    // False when the reader has stopped: the scan should end.
    bool push(Batch<Item>& batch) {
        std::unique_lock lock(mutex_);
        roomLeft_.wait(lock, [&] { return batches_.size() < ahead_ || stopped_; });
        if (stopped_)
            return false;
        batches_.push_back(std::move(batch));
        ready_.notify_one();
        batch = TakeHandled();
        return true;
    }
    void finish(std::exception_ptr failure) {
        std::lock_guard lock(mutex_);
        finished_ = true;
        failure_ = failure;
        ready_.notify_one();
    }
    // False once every batch has been taken and the scan is over. The batch given is handled.
    bool pop(Batch<Item>& batch) {
        std::unique_lock lock(mutex_);
        if (!batch.items.empty())
            handled_.push_back(std::move(batch));
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
    // A handled batch to refill, or a new one; called with the lock held.
    Batch<Item> TakeHandled() {
        Batch<Item> batch;
        if (!handled_.empty()) {
            batch = std::move(handled_.back());
            handled_.pop_back();
        }
        batch.size = 0;
        return batch;
    }

    const std::size_t ahead_;
    std::mutex mutex_;
    std::condition_variable ready_, roomLeft_;
    std::deque<Batch<Item>> batches_;
    std::vector<Batch<Item>> handled_;
    bool finished_ = false, stopped_ = false;
    std::exception_ptr failure_;
};

// A scan on a thread of its own, handing its batches to the calling thread. However the handling ends,
// the thread is stopped and joined before anything it uses goes.
template <class Item> class ScanThread {
  public:
    // Runs `scan(queue)` on the thread; its failure, or none, ends the queue. A StopScan is no failure.
    template <class Scan>
    ScanThread(std::size_t ahead, Scan scan)
        : queue_(ahead), thread_([this, scan] {
              std::exception_ptr failure;
              try {
                  scan(queue_);
              } catch (const StopScan&) {
              } catch (...) {
                  failure = std::current_exception();
              }
              queue_.finish(failure);
          }) {}
    ScanThread(const ScanThread&) = delete;
    ScanThread& operator=(const ScanThread&) = delete;
    ~ScanThread() {
        queue_.stop();
        thread_.join();
    }

    // False once every batch has been taken and the scan is over. The batch given is handled.
    bool pop(Batch<Item>& batch) { return queue_.pop(batch); }
    // Passes the scan's failure on, once every batch has been taken.
    void passFailureOn() {
        if (const std::exception_ptr failure = queue_.failure())
            std::rethrow_exception(failure);
    }

  private:
    BatchQueue<Item> queue_;
    std::thread thread_;
};

// What the scanning thread heard, in text order: an element, with its entry and its text, or a guild.
struct Heard {
    BankLogEntry entry;
    std::string text;
    GuildIdentity guild;
    bool isGuild = false, closed = false;
};

} // namespace

void ScanBankLogConcurrently(LineReader& lines, GuildIdentity& guild, const EntryHandler& onEntry, std::stop_token stop,
                             const std::function<void(std::uint64_t bytes)>& onRead,
                             const std::function<void(const BankLogEntry&)>& onUpcoming) {
    GuildIdentity scanned = guild;
    ScanThread<BankLogEntry> scanner(kBatchesAhead, [&](BatchQueue<BankLogEntry>& queue) {
        Batch<BankLogEntry> batch;
        ScanBankLog(
            lines, scanned,
            [&]() -> BankLogEntry& {
                BankLogEntry& entry = batch.next();
                // The handling thread touched the entries last: the next one is fetched while this
                // one is filled, not waited for when its first field is written.
                if (batch.size + 1 < batch.items.size())
                    Fetch<Use::Writing>(batch.items[batch.size + 1]);
                return entry;
            },
            [&](BankLogEntry&) {
                if (++batch.size < kBatchSize)
                    return;
                if (!queue.push(batch))
                    throw StopScan{};
                if (onRead)
                    onRead(lines.bytesRead());
            },
            stop);
        if (batch.size > 0)
            queue.push(batch);
        if (onRead)
            onRead(lines.bytesRead());
    });

    constexpr std::size_t kAhead = 8; // far enough for memory to answer, near enough to stay in the cache
    for (Batch<BankLogEntry> batch; !stop.stop_requested() && scanner.pop(batch);) {
        for (std::size_t i = 0; i < std::min(2 * kAhead, batch.size); ++i)
            Fetch<Use::Reading>(batch.items[i]);
        for (std::size_t i = 0; i < batch.size && !stop.stop_requested(); ++i) {
            if (i + 2 * kAhead < batch.size)
                Fetch<Use::Reading>(batch.items[i + 2 * kAhead]);
            if (i + kAhead < batch.size) {
                FetchTexts(batch.items[i + kAhead]);
                if (onUpcoming)
                    onUpcoming(batch.items[i + kAhead]);
            }
            onEntry(batch.items[i]);
        }
    }
    scanner.passFailureOn();
    if (!stop.stop_requested())
        guild = std::move(scanned);
}

void ScanBankLogElementsConcurrently(std::string_view text, GuildIdentity& guild, const ElementTextHooks& hooks) {
    GuildIdentity scanned = guild;
    ScanThread<Heard> scanner(kElementBatchesAhead, [&](BatchQueue<Heard>& queue) {
        Batch<Heard> batch;
        const auto handOver = [&] {
            if (++batch.size == kElementBatchSize && !queue.push(batch))
                throw StopScan{};
        };
        ElementTextHooks heard;
        heard.guildKey = [&](const GuildIdentity& named) {
            Heard& guildKey = batch.next();
            guildKey.guild = named;
            guildKey.isGuild = true;
            handOver();
        };
        heard.element = [&](const BankLogEntry& entry, std::string_view elementText, bool closed) {
            Heard& element = batch.next();
            element.entry = entry;
            element.text.assign(elementText);
            element.isGuild = false;
            element.closed = closed;
            handOver();
        };
        ScanBankLogElements(text, scanned, heard);
        if (batch.size > 0)
            queue.push(batch);
    });
    for (Batch<Heard> batch; scanner.pop(batch);)
        for (std::size_t i = 0; i < batch.size; ++i) {
            const Heard& heard = batch.items[i];
            if (!heard.isGuild && hooks.element)
                hooks.element(heard.entry, heard.text, heard.closed);
            else if (heard.isGuild && hooks.guildKey)
                hooks.guildKey(heard.guild);
        }
    scanner.passFailureOn();
    guild = std::move(scanned);
}

} // namespace coffer
