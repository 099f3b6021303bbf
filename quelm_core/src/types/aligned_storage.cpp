#include "types/aligned_storage.hpp"

#include "types/internal_error.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>

namespace quelm {

namespace {

constexpr std::size_t alignment = 64;
constexpr std::uint64_t max_layout_bytes = (std::uint64_t{1} << 63) - alignment;

double* allocate_zeroed(std::size_t n) {
    if (n == 0)
        return nullptr;
    if (n > max_layout_bytes / sizeof(double)) {
        throw InternalError("Invalid layout for AlignedVec64: " + std::to_string(n) +
                            " doubles exceed the addressable size");
    }
    const std::size_t bytes = n * sizeof(double);
    void* memory = ::operator new (bytes, std::align_val_t{alignment}, std::nothrow);
    if (memory == nullptr) {
        throw InternalError("Memory allocation of size " + std::to_string(bytes) + " failed");
    }
    std::memset(memory, 0, bytes);
    return static_cast<double*>(memory);
}

std::size_t element_count(std::size_t rows, std::size_t cols) {
    if (cols != 0 && rows > SIZE_MAX / cols) {
        throw InternalError("Invalid layout for AlignedVec64: " + std::to_string(rows) + " x " +
                            std::to_string(cols) + " matrix");
    }
    return rows * cols;
}

void release(double* data) {
    if (data != nullptr)
        ::operator delete (data, std::align_val_t{alignment});
}

} // namespace

AlignedVec64::AlignedVec64(std::size_t n) : data_(allocate_zeroed(n)), length_(n) {}

AlignedVec64::AlignedVec64(const AlignedVec64& other)
    : data_(allocate_zeroed(other.length_)), length_(other.length_) {
    if (length_ != 0)
        std::memcpy(data_, other.data_, length_ * sizeof(double));
}

AlignedVec64::AlignedVec64(AlignedVec64&& other) noexcept
    : data_(other.data_), length_(other.length_) {
    other.data_ = nullptr;
    other.length_ = 0;
}

AlignedVec64& AlignedVec64::operator=(const AlignedVec64& other) {
    if (this != &other)
        *this = AlignedVec64(other);
    return *this;
}

AlignedVec64& AlignedVec64::operator=(AlignedVec64&& other) noexcept {
    if (this != &other) {
        release(data_);
        data_ = other.data_;
        length_ = other.length_;
        other.data_ = nullptr;
        other.length_ = 0;
    }
    return *this;
}

AlignedVec64::~AlignedVec64() {
    release(data_);
}

void AlignedVec64::fill(double value) {
    std::fill(data_, data_ + length_, value);
}

AlignedMatrix::AlignedMatrix(std::size_t rows, std::size_t cols)
    : rows_(rows), cols_(cols), data_(element_count(rows, cols)) {}

void require_shape(const AlignedMatrix& matrix, std::size_t n, const char* what) {
    if (matrix.rows() != n)
        throw InternalError(size_mismatch(what, matrix.rows(), n));
    if (matrix.cols() != n)
        throw InternalError(size_mismatch(what, matrix.cols(), n));
}

} // namespace quelm
