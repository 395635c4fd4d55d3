#pragma once
// libnumora: a small dense linear algebra library. NuMatrix and NuVector own
// their doubles and copy deeply; NuMatrix::solve solves A·x = b through LAPACK,
// exactly for square systems and in the least-squares (or minimum-norm) sense
// otherwise. Problems are reported as "[libnumora/<function> <kind>] " lines on
// standard error and the operation returns an empty result.

#include <cstddef>
#include <memory>
#include <vector>

namespace numora {

// Write "[libnumora/<function> warning|error] " + the printf-formatted message
// + "\n" to standard error.
void warning(const char* function, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
void error(const char* function, const char* fmt, ...) __attribute__((format(printf, 2, 3)));

}  // namespace numora

class NuVector {
public:
    NuVector() = default;
    // All elements start at 0.
    explicit NuVector(unsigned int size);
    NuVector(const NuVector& other);
    NuVector(NuVector&& other) noexcept;
    NuVector& operator=(const NuVector& other);
    NuVector& operator=(NuVector&& other) noexcept;
    ~NuVector() = default;

    unsigned int size() const { return _size; }
    double& operator[](unsigned int i) { return _elements[i]; }
    const double& operator[](unsigned int i) const { return _elements[i]; }

    void fill(double value);
    // Element-wise sum; the empty vector (and an error line) when sizes differ.
    NuVector operator+(const NuVector& other) const;
    NuVector operator*(double s) const;
    std::vector<double> elements() const;

private:
    unsigned int _size = 0;
    std::unique_ptr<double[]> _elements;
};

class NuMatrix {
public:
    NuMatrix() = default;
    // m rows and n columns, all elements 0.
    NuMatrix(unsigned int m, unsigned int n);
    NuMatrix(const NuMatrix& other);
    NuMatrix(NuMatrix&& other) noexcept;
    NuMatrix& operator=(const NuMatrix& other);
    NuMatrix& operator=(NuMatrix&& other) noexcept;
    ~NuMatrix() = default;

    unsigned int rows() const { return _m; }
    unsigned int cols() const { return _n; }
    std::size_t size() const { return std::size_t(_m) * _n; }
    double& operator()(unsigned int r, unsigned int c) { return _elements[std::size_t(r) * _n + c]; }
    const double& operator()(unsigned int r, unsigned int c) const { return _elements[std::size_t(r) * _n + c]; }

    void fill(double value);
    // Element-wise sum; the empty matrix (and an error line) when dimensions differ.
    NuMatrix operator+(const NuMatrix& other) const;
    NuMatrix operator*(double s) const;
    std::vector<double> rowMajor() const;
    std::vector<double> columnMajor() const;

    // x with A·x = b for square A; the least-squares solution for m > n and
    // the minimum-norm solution for m < n. Returns the empty vector when b
    // does not have m entries.
    NuVector solve(const NuVector& b) const;

private:
    unsigned int _m = 0;
    unsigned int _n = 0;
    std::unique_ptr<double[]> _elements;  // row-major: (r, c) at r·n + c
};
