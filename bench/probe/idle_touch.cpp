// What touching memory again costs on this machine after it lay idle, in small pages and in
// huge ones. Some virtual machines give the host the guest's idle memory back and fault it in
// again page by page when it is next touched: then code that runs once a minute (a roster
// refresh) is kept from its work by every page it touches, whatever it does. Run beside a
// benchmark to tell a slow machine from a slow client:
//
//   build-bench/bench/idle_touch [SECONDS...]   (default 5 60)
//
// Prints, for each idle time, the microseconds per 4 KiB page touched again.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/mman.h>
#include <thread>
#include <vector>

namespace {

constexpr std::size_t kBytes = 64u << 20;
constexpr std::size_t kPage = 4096;
constexpr std::size_t kHugePage = 2u << 20;

struct Block
{
    const char* name;
    char* bytes;
};

char* Allocate(bool huge)
{
    void* bytes = std::aligned_alloc(kHugePage, kBytes);
    if (!bytes)
        return nullptr;
    (void)madvise(bytes, kBytes, huge ? MADV_HUGEPAGE : MADV_NOHUGEPAGE);
    std::memset(bytes, 1, kBytes);
    return static_cast<char*>(bytes);
}

double MicrosecondsPerPage(const char* bytes)
{
    const auto start = std::chrono::steady_clock::now();
    volatile long sum = 0;
    for (std::size_t offset = 0; offset < kBytes; offset += kPage)
        sum = sum + bytes[offset];
    const std::chrono::duration<double, std::micro> spent
        = std::chrono::steady_clock::now() - start;
    return spent.count() / double(kBytes / kPage);
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<int> waits;
    for (int i = 1; i < argc; ++i)
        waits.push_back(std::atoi(argv[i]));
    if (waits.empty())
        waits = { 5, 60 };
    const Block blocks[] = { { "small pages", Allocate(false) }, { "huge pages", Allocate(true) } };
    for (const Block& block : blocks) {
        if (!block.bytes) {
            std::fprintf(stderr, "idle_touch: cannot allocate %zu bytes\n", kBytes);
            return 1;
        }
    }
    for (const int seconds : waits) {
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        std::printf("idle %d s:", seconds);
        for (const Block& block : blocks)
            std::printf(
                " %.1f us per 4 KiB page (%s)", MicrosecondsPerPage(block.bytes), block.name);
        std::printf("\n");
        std::fflush(stdout);
    }
    return 0;
}
