// SysExStore: the SysEx set (model/SysEx.h) of every program, as the audio
// thread sends it. A program's set is never edited: an editing thread builds
// a new one and publishes it in place of the old (one atomic pointer swap),
// and the old one is freed once nothing reads it any more.
//
// Threads:
//   - publishers (editor, chunk load, learning thread): Publish and Collect,
//     one at a time under the store's mutex; they free retired sets;
//   - other readers (editor, chunk save, learning): Reader, which holds the
//     same mutex while it is alive, so no set is freed under it;
//   - the one audio thread: Pin / Unpin. Pin takes no lock, allocates
//     nothing and makes no system call; a set stays valid while it is
//     pinned, across as many blocks as the sending takes.
// Only one set can be pinned at a time (one hazard slot, one audio thread):
// Pin again replaces the pin.
#pragma once

#include "model/SysEx.h"
#include "model/VSTPluginProgramBank.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class SysExStore
{
public:
  static constexpr int32_t kPrograms = kBankPrograms;

  SysExStore() = default;
  // Frees every set. The audio thread must be done with the store.
  ~SysExStore()
  {
    for (auto& slot : current)
      delete slot.load(std::memory_order_acquire);
  }
  SysExStore(const SysExStore&) = delete;
  SysExStore& operator=(const SysExStore&) = delete;

  // Any thread but the audio thread, and not while this thread holds a
  // Reader (the mutex is not recursive). Makes `set` program `program`'s
  // (nullptr or an empty set: no SysEx) and frees what it can of the sets
  // replaced so far. A program out of range: nothing happens (`set` is
  // freed).
  void Publish(int32_t program, std::unique_ptr<const SysExSet> set)
  {
    if (program < 0 || program >= kPrograms)
      return;
    if (set && set->Empty())
      set.reset();
    std::lock_guard<std::mutex> hold(mutex);
    // seq_cst on both sides: the swap and Pin's hazard store are ordered,
    // so a publisher that reads the hazard after the swap sees every pin
    // the audio thread took on the old set (see Pin).
    const SysExSet* old = current[program].exchange(set.release(), std::memory_order_seq_cst);
    if (old)
      retired.emplace_back(old);
    CollectLocked();
  }

  // Frees the replaced sets that the audio thread no longer holds. Any
  // thread but the audio thread.
  void Collect()
  {
    std::lock_guard<std::mutex> hold(mutex);
    CollectLocked();
  }

  // The sets waiting to be freed (for tests and diagnostics).
  size_t Retired()
  {
    std::lock_guard<std::mutex> hold(mutex);
    return retired.size();
  }

  // A non-audio thread's view of the store: while it lives no set is
  // published or freed, so the pointers it gives stay valid.
  class Reader
  {
  public:
    explicit Reader(SysExStore& store) : store(store), hold(store.mutex) {}
    // Program `program`'s set; nullptr when it has no SysEx or is out of
    // range.
    const SysExSet* Current(int32_t program) const noexcept
    {
      if (program < 0 || program >= kPrograms)
        return nullptr;
      return store.current[program].load(std::memory_order_acquire);
    }

  private:
    SysExStore& store;
    std::lock_guard<std::mutex> hold;
  };

  // Audio thread only. Pins program `program`'s set and returns it
  // (nullptr: no SysEx, or a program out of range; nothing is pinned then).
  // The set stays valid until Unpin or the next Pin. Real-time safe.
  const SysExSet* Pin(int32_t program) noexcept
  {
    if (program < 0 || program >= kPrograms) {
      Unpin();
      return nullptr;
    }
    // Announce the set, then check that it is still the published one: if
    // it is, any publisher that replaces it later reads the announcement
    // before freeing it. If it was replaced meanwhile, announce the new
    // one. Publishing is rare, so this settles at once in practice.
    const SysExSet* set = current[program].load(std::memory_order_acquire);
    for (;;) {
      hazard.store(set, std::memory_order_seq_cst);
      const SysExSet* again = current[program].load(std::memory_order_seq_cst);
      if (again == set)
        return set;
      set = again;
    }
  }

  // Audio thread only. Lets the pinned set go (it may be freed from now on).
  void Unpin() noexcept { hazard.store(nullptr, std::memory_order_release); }

private:
  // Under `mutex`. A set in `retired` is no longer published anywhere, so
  // only the audio thread's pin can still hold it.
  void CollectLocked()
  {
    const SysExSet* pinned = hazard.load(std::memory_order_seq_cst);
    auto keep = retired.begin();
    for (auto it = retired.begin(); it != retired.end(); ++it) {
      if (it->get() == pinned)
        std::swap(*keep++, *it);
    }
    retired.erase(keep, retired.end());
  }

  // Serialises publishers and Readers; guards `retired`. Never taken by the
  // audio thread.
  std::mutex mutex;
  // The published set of each program (nullptr: no SysEx). Written by
  // publishers under `mutex` (exchange), read by Readers under `mutex` and
  // by the audio thread without it (Pin). A set here is never freed.
  std::atomic<const SysExSet*> current[kPrograms] = {};
  // The set the audio thread is sending from (nullptr: none). Written by
  // the audio thread only, read by publishers before they free a retired
  // set: a retired set equal to it is kept for a later Collect.
  std::atomic<const SysExSet*> hazard{nullptr};
  // Sets replaced but not yet freed. Publishers only, under `mutex`.
  std::vector<std::unique_ptr<const SysExSet>> retired;
};
