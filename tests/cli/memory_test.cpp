// The heap grows in steps marked for huge pages, and large blocks come from it.
#include <gtest/gtest.h>

#include <QFile>
#include <cstdint>
#include <memory>

#include "headless/memory.h"

namespace {

// The flags the kernel gives the region of this process that holds `address`.
QByteArray FlagsOfRegion(std::uintptr_t address) {
    QFile maps(QStringLiteral("/proc/self/smaps"));
    if (!maps.open(QIODevice::ReadOnly)) return {};
    bool inside = false;
    for (QByteArray line = maps.readLine(); !line.isEmpty(); line = maps.readLine()) {
        const QByteArray first = line.left(line.indexOf(' '));
        if (const QList<QByteArray> range = first.split('-'); range.size() == 2) {
            inside = range[0].toULongLong(nullptr, 16) <= address &&
                     address < range[1].toULongLong(nullptr, 16);
        } else if (inside && first == "VmFlags:") {
            return line.trimmed();
        }
    }
    return {};
}

TEST(LargeHeapPages, LargeBlocksComeFromTheMarkedHeap) {
#if !defined(__linux__) || !defined(__GLIBC__) || defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the C library's malloc is not the one in use";
#endif
    if (!QFile::exists(QStringLiteral("/sys/kernel/mm/transparent_hugepage/enabled")))
        GTEST_SKIP() << "no huge pages in this kernel";
    ASSERT_TRUE(cfg::UseLargeHeapPages());
    // As large as a read's vector of items: not a mapping of its own, but the marked heap (at
    // its end: the heap before its first huge page boundary is not marked).
    constexpr std::size_t kSize = 8 << 20;
    const auto block = std::make_unique<char[]>(kSize);
    const QByteArray flags = FlagsOfRegion(reinterpret_cast<std::uintptr_t>(&block[kSize - 1]));
    EXPECT_TRUE(flags.contains(" hg")) << flags.constData();
}

}  // namespace
