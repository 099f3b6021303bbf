#include "types/aligned_storage.hpp"
#include "types/internal_error.hpp"

#include <cstdint>
#include <gtest/gtest.h>

namespace quelm {
namespace {

TEST(AlignedVec64, IsZeroFilledAndAlignedTo64Bytes) {
    AlignedVec64 v(13);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(v.data()) % 64, 0u);
    for (double x : v)
        EXPECT_EQ(x, 0.0);
    EXPECT_EQ(v.capacity(), v.size());
}

TEST(AlignedVec64, EmptyAllocatesNothing) {
    AlignedVec64 v(0);
    EXPECT_EQ(v.data(), nullptr);
    EXPECT_TRUE(v.empty());
}

TEST(AlignedVec64, CopyIsDeepAndAligned) {
    AlignedVec64 a(5);
    a[2] = 3.5;
    AlignedVec64 b = a;
    b[2] = -1.0;
    EXPECT_EQ(a[2], 3.5);
    EXPECT_NE(a.data(), b.data());
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(b.data()) % 64, 0u);
}

TEST(AlignedVec64, ImpossibleSizesAreInternalErrors) {
    try {
        AlignedVec64 v(std::size_t{1} << 61);
        FAIL() << "expected InternalError";
    } catch (const InternalError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Invalid layout for AlignedVec64", 0), 0u);
    }
    try {
        AlignedVec64 v((std::size_t{1} << 59) + 1); // 4 EiB: fits the layout, not memory
        FAIL() << "expected InternalError";
    } catch (const InternalError& e) {
        EXPECT_EQ(std::string(e.what()), "Memory allocation of size 4611686018427387912 failed");
    }
}

TEST(AlignedMatrix, IsRowMajorZeroFilledAndDeepCopied) {
    AlignedMatrix m(2, 3);
    EXPECT_EQ(m.size(), 6u);
    m(1, 2) = 7.0;
    EXPECT_EQ(m.data()[1 * 3 + 2], 7.0);
    AlignedMatrix copy = m;
    copy(1, 2) = 0.0;
    EXPECT_EQ(m(1, 2), 7.0);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(m.data()) % 64, 0u);
}

TEST(AlignedMatrix, ShapeCheckReportsTheMismatch) {
    AlignedMatrix m(2, 3);
    EXPECT_THROW(require_shape(m, 2, "Fock"), InternalError);
    EXPECT_NO_THROW(require_shape(AlignedMatrix(3, 3), 3, "Fock"));
}

} // namespace
} // namespace quelm
