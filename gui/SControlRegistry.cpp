#include "gui/SControlRegistry.h"

#include "gui/SControl.h"

#include <sys/mman.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

namespace vexo::gui::registry {

namespace {

struct Entry
{
  uint32_t handle = 0;
  unsigned long window = 0;
  bool dying = false;
  int waiters = 0; // threads inside Unregister for this control
  // One element per dispatch in progress.
  std::vector<std::thread::id> pinners;
};

struct Registry
{
  std::mutex lock;
  std::condition_variable released;
  std::unordered_map<const SControl*, Entry> controls;
  std::unordered_map<uint32_t, SControl*> handles;
  // The X window of each live control, for telling the toolkit's events
  // from others' without asking the server.
  std::unordered_map<unsigned long, SControl*> windows;
  uint32_t nextHandle = 0;

  void ForgetWindow(unsigned long window, const SControl* control)
  {
    auto found = windows.find(window);
    if (found != windows.end() && found->second == control)
      windows.erase(found);
  }

  // A handle in 1 .. 2^31 - 1 that is not in use (the property value may be
  // sign-extended when a host reads it as a long).
  uint32_t IssueHandle()
  {
    do {
      nextHandle = (nextHandle % 0x7FFFFFFFu) + 1;
    } while (handles.count(nextHandle));
    return nextHandle;
  }
};

Registry& Instance()
{
  static Registry registry;
  return registry;
}

SControl* Lookup(Registry& registry, long value)
{
#if defined(__x86_64__)
  auto found = registry.handles.find(static_cast<uint32_t>(value));
  return found == registry.handles.end() ? nullptr : found->second;
#else
  // The address is only compared, never followed, until it is known.
  auto found = registry.controls.find(reinterpret_cast<const SControl*>(value));
  return found == registry.controls.end() ? nullptr : const_cast<SControl*>(found->first);
#endif
}

#if defined(__x86_64__)
// movabs rax, imm64; jmp rax. The arguments pass through untouched.
struct Trampoline
{
  void* page = MAP_FAILED;

  Trampoline()
  {
    page =
        mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
    if (page == MAP_FAILED)
      return;
    const uint64_t target = reinterpret_cast<uint64_t>(&SControl::eventProc);
    unsigned char code[12] = {0x48, 0xB8};
    std::memcpy(code + 2, &target, sizeof target);
    code[10] = 0xFF;
    code[11] = 0xE0;
    std::memcpy(page, code, sizeof code);
    if (mprotect(page, 4096, PROT_READ | PROT_EXEC) != 0 ||
        reinterpret_cast<uintptr_t>(page) >= 0x80000000u) {
      munmap(page, 4096);
      page = MAP_FAILED;
    }
  }
  ~Trampoline()
  {
    if (page != MAP_FAILED)
      munmap(page, 4096);
  }
};
#endif

} // namespace

long Register(SControl* control)
{
  Registry& registry = Instance();
  std::lock_guard<std::mutex> hold(registry.lock);
  Entry& entry = registry.controls[control];
  if (!entry.handle || entry.dying) {
    entry.handle = registry.IssueHandle();
    registry.handles[entry.handle] = control;
  }
  entry.dying = false;
  if (entry.window && entry.window != control->window)
    registry.ForgetWindow(entry.window, control);
  entry.window = control->window;
  if (entry.window)
    registry.windows[entry.window] = control;
#if defined(__x86_64__)
  return static_cast<long>(entry.handle);
#else
  return reinterpret_cast<long>(control);
#endif
}

void Unregister(SControl* control)
{
  Registry& registry = Instance();
  std::unique_lock<std::mutex> hold(registry.lock);
  auto found = registry.controls.find(control);
  if (found == registry.controls.end())
    return;
  Entry& entry = found->second;
  if (!entry.dying) {
    entry.dying = true;
    registry.handles.erase(entry.handle);
    registry.ForgetWindow(entry.window, control);
  }
  // A handler of this very thread may be deleting its own control; only
  // dispatches of other threads are waited for.
  const auto self = std::this_thread::get_id();
  ++entry.waiters;
  registry.released.wait(hold, [&] {
    return std::all_of(entry.pinners.begin(), entry.pinners.end(),
                       [&](std::thread::id id) { return id == self; });
  });
  --entry.waiters;
  // With a pin of this thread left, the last Pin erases the entry.
  if (entry.pinners.empty() && entry.waiters == 0)
    registry.controls.erase(control);
}

bool IsLive(const SControl* control)
{
  Registry& registry = Instance();
  std::lock_guard<std::mutex> hold(registry.lock);
  auto found = registry.controls.find(control);
  return found != registry.controls.end() && !found->second.dying;
}

long ValueOf(const SControl* control)
{
  Registry& registry = Instance();
  std::lock_guard<std::mutex> hold(registry.lock);
  auto found = registry.controls.find(control);
  if (found == registry.controls.end() || found->second.dying)
    return 0;
#if defined(__x86_64__)
  return static_cast<long>(found->second.handle);
#else
  return reinterpret_cast<long>(control);
#endif
}

size_t LiveCount()
{
  Registry& registry = Instance();
  std::lock_guard<std::mutex> hold(registry.lock);
  return registry.handles.size();
}

bool OwnsWindow(unsigned long window)
{
  if (!window)
    return false;
  Registry& registry = Instance();
  std::lock_guard<std::mutex> hold(registry.lock);
  return registry.windows.count(window) != 0;
}

long EventProcValue()
{
#if defined(__x86_64__)
  static Trampoline trampoline;
  return trampoline.page == MAP_FAILED ? 0 : reinterpret_cast<long>(trampoline.page);
#else
  return reinterpret_cast<long>(&SControl::eventProc);
#endif
}

Pin::Pin(long value, unsigned long window)
{
  Registry& registry = Instance();
  std::lock_guard<std::mutex> hold(registry.lock);
  SControl* found = Lookup(registry, value);
  if (!found)
    return;
  Entry& entry = registry.controls[found];
  if (entry.dying || found->window != window)
    return;
  entry.pinners.push_back(std::this_thread::get_id());
  control = found;
}

Pin::~Pin()
{
  if (!control)
    return;
  Registry& registry = Instance();
  std::lock_guard<std::mutex> hold(registry.lock);
  auto found = registry.controls.find(control);
  if (found == registry.controls.end())
    return;
  auto& pinners = found->second.pinners;
  auto mine = std::find(pinners.begin(), pinners.end(), std::this_thread::get_id());
  if (mine != pinners.end())
    pinners.erase(mine);
  if (found->second.dying && pinners.empty() && found->second.waiters == 0)
    registry.controls.erase(found);
  registry.released.notify_all();
}

} // namespace vexo::gui::registry
