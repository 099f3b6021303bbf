#pragma once
// Dense double-precision storage on 64-byte boundaries (one cache line, one AVX-512
// register), zero-filled on creation so that a fresh workspace is a valid zero state.

#include <cstddef>

namespace quelm {

class AlignedVec64 {
  public:
    AlignedVec64() = default;
    // n zero-filled doubles; n = 0 allocates nothing. An impossible size or a failed
    // allocation throws InternalError.
    explicit AlignedVec64(std::size_t n);
    AlignedVec64(const AlignedVec64& other);
    AlignedVec64(AlignedVec64&& other) noexcept;
    AlignedVec64& operator=(const AlignedVec64& other);
    AlignedVec64& operator=(AlignedVec64&& other) noexcept;
    ~AlignedVec64();

    std::size_t size() const { return length_; }
    std::size_t capacity() const { return length_; }
    bool empty() const { return length_ == 0; }
    double* data() { return data_; }
    const double* data() const { return data_; }
    double& operator[](std::size_t i) { return data_[i]; }
    const double& operator[](std::size_t i) const { return data_[i]; }
    double* begin() { return data_; }
    double* end() { return data_ + length_; }
    const double* begin() const { return data_; }
    const double* end() const { return data_ + length_; }
    void fill(double value);

  private:
    double* data_ = nullptr;
    std::size_t length_ = 0;
};

// Row-major dense matrix: element (i, j) lives at i * cols + j.
class AlignedMatrix {
  public:
    AlignedMatrix() = default;
    AlignedMatrix(std::size_t rows, std::size_t cols);

    std::size_t rows() const { return rows_; }
    std::size_t cols() const { return cols_; }
    std::size_t size() const { return data_.size(); }
    double* data() { return data_.data(); }
    const double* data() const { return data_.data(); }
    double* row(std::size_t i) { return data_.data() + i * cols_; }
    const double* row(std::size_t i) const { return data_.data() + i * cols_; }
    double& operator()(std::size_t i, std::size_t j) { return data_[i * cols_ + j]; }
    double operator()(std::size_t i, std::size_t j) const { return data_[i * cols_ + j]; }
    void fill(double value) { data_.fill(value); }
    bool is_square() const { return rows_ == cols_; }

  private:
    std::size_t rows_ = 0;
    std::size_t cols_ = 0;
    AlignedVec64 data_;
};

// Throws InternalError unless the matrix is n x n.
void require_shape(const AlignedMatrix& matrix, std::size_t n, const char* what);

} // namespace quelm
