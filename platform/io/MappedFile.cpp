#include "io/MappedFile.h"

#include <atomic>
#include <csignal>
#include <cstdint>
#include <mutex>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace HostIO {
namespace {

// The live mappings, for the signal handler: fixed slots of atomics, as a handler may read only
// what needs no lock. A file is mapped only while a slot is free.
constexpr int kSlots = 16;
struct Slot {
    std::atomic<std::uintptr_t> begin{0};
    std::atomic<std::size_t> size{0};
    std::atomic<bool> damaged{false};
};
Slot slots[kSlots];
struct sigaction previousAction;
std::once_flag handlerInstalled;

std::uintptr_t PageSize() { return static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE)); }

void PassOn(int signalNumber, siginfo_t* info, void* context) {
    if (previousAction.sa_flags & SA_SIGINFO) {
        if (previousAction.sa_sigaction) {
            previousAction.sa_sigaction(signalNumber, info, context);
            return;
        }
    } else if (previousAction.sa_handler == SIG_IGN) {
        return;
    } else if (previousAction.sa_handler != SIG_DFL && previousAction.sa_handler != nullptr) {
        previousAction.sa_handler(signalNumber);
        return;
    }
    // The default action: end the process by this signal, as it would have without us.
    ::signal(signalNumber, SIG_DFL);
    ::raise(signalNumber);
}

extern "C" void OnBusError(int signalNumber, siginfo_t* info, void* context) {
    const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    for (Slot& slot : slots) {
        const std::uintptr_t begin = slot.begin.load();
        if (begin == 0 || address < begin || address - begin >= slot.size.load()) continue;
        const std::uintptr_t page = address & ~(PageSize() - 1);
        void* zeros = ::mmap(reinterpret_cast<void*>(page), PageSize(), PROT_READ,
                             MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
        if (zeros != MAP_FAILED) {
            slot.damaged.store(true);
            return;  // the read is made again, of the zeros
        }
        break;
    }
    PassOn(signalNumber, info, context);
}

void InstallHandler() {
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, &previousAction);
}

int TakeSlot(void* data, std::size_t size) {
    for (int i = 0; i < kSlots; ++i) {
        std::uintptr_t expected = 0;
        // Size and flag first: the handler looks at a slot whose begin is set.
        if (slots[i].begin.load() != 0) continue;
        slots[i].size.store(size);
        slots[i].damaged.store(false);
        if (slots[i].begin.compare_exchange_strong(expected, reinterpret_cast<std::uintptr_t>(data))) return i;
    }
    return -1;
}

}  // namespace

MappedFile::MappedFile(const std::string& path, std::uint64_t largest) {
    std::call_once(handlerInstalled, InstallHandler);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    struct stat info {};
    const auto page = static_cast<off_t>(PageSize());
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0 && info.st_size % page != 0 &&
        (largest == 0 || static_cast<std::uint64_t>(info.st_size) <= largest)) {
        const auto size = static_cast<std::size_t>(info.st_size);
        // Read-only, so that populating maps the cached pages themselves instead of copies.
        void* data = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
        if (data != MAP_FAILED) {
            slot_ = TakeSlot(data, size);
            if (slot_ >= 0) {
                data_ = data;
                size_ = size;
            } else {
                ::munmap(data, size);  // no slot to watch it: read as before
            }
        }
    }
    ::close(fd);
}

MappedFile::~MappedFile() { Release(); }

void MappedFile::Release() {
    if (!data_) return;
    damaged_ = slots[slot_].damaged.load();
    // Out of the handler's sight before the addresses can serve another mapping.
    slots[slot_].begin.store(0);
    ::munmap(data_, size_);
    slot_ = -1;
    data_ = nullptr;
    size_ = 0;
}

bool MappedFile::Damaged() const { return data_ ? slots[slot_].damaged.load() : damaged_; }

}  // namespace HostIO
