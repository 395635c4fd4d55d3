#include "completion/NuMatrix.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <utility>

extern "C" {
// LAPACK (column-major, Fortran calling convention; the hidden size_t is the
// length of the character argument).
void dgesv_(const int* n, const int* nrhs, double* a, const int* lda, int* ipiv, double* b, const int* ldb,
            int* info);
void dgels_(const char* trans, const int* m, const int* n, const int* nrhs, double* a, const int* lda, double* b,
            const int* ldb, double* work, const int* lwork, int* info, std::size_t transLength);
}

namespace numora {

namespace {

void report(const char* function, const char* kind, const char* fmt, va_list args)
{
    std::fprintf(stderr, "[libnumora/%s %s] ", function, kind);
    std::vfprintf(stderr, fmt, args);
    std::fputc('\n', stderr);
}

}  // namespace

void warning(const char* function, const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    report(function, "warning", fmt, args);
    va_end(args);
}

void error(const char* function, const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    report(function, "error", fmt, args);
    va_end(args);
}

}  // namespace numora

namespace {

// Zero-filled array of count doubles; no array at all for count 0.
std::unique_ptr<double[]> allocate(std::size_t count)
{
    return count > 0 ? std::make_unique<double[]>(count) : nullptr;
}

std::unique_ptr<double[]> copyOf(const double* source, std::size_t count)
{
    std::unique_ptr<double[]> copy = allocate(count);
    std::copy_n(source, count, copy.get());
    return copy;
}

void addInto(const double* a, const double* b, double* sum, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i)
        sum[i] = a[i] + b[i];
}

void scale(double* values, std::size_t count, double s)
{
    for (std::size_t i = 0; i < count; ++i)
        values[i] *= s;
}

// Solves the n×n system in columnMajor with dgesv_; b holds the right-hand
// side on entry and the solution on exit. Returns LAPACK's INFO.
int solveSquare(std::vector<double> columnMajor, int n, double* b)
{
    const int nrhs = 1;
    std::vector<int> pivots(n);
    int info = 0;
    dgesv_(&n, &nrhs, columnMajor.data(), &n, pivots.data(), b, &n, &info);
    return info;
}

// Least-squares (m > n) or minimum-norm (m < n) solution of the m×n system
// given by its row-major elements. LAPACK reads that array as the column-major
// n×m transpose, so TRANS = 'T' makes it work with A itself. b has max(m, n)
// entries, the first m being the right-hand side; the solution comes back in
// the first n. Returns LAPACK's INFO.
int solveLeastSquares(std::vector<double> rowMajor, int m, int n, double* b)
{
    const char trans = 'T';
    const int nrhs = 1;
    const int ldb = std::max(m, n);
    const int lwork = 2 * std::min(m, n);
    std::vector<double> workspace(lwork);
    int info = 0;
    dgels_(&trans, &n, &m, &nrhs, rowMajor.data(), &n, b, &ldb, workspace.data(), &lwork, &info, 1);
    return info;
}

}  // namespace

// ---------------------------------------------------------------------------
// NuVector

NuVector::NuVector(unsigned int size) : _size(size), _elements(allocate(size))
{
}

NuVector::NuVector(const NuVector& other) : _size(other._size), _elements(copyOf(other._elements.get(), other._size))
{
}

NuVector::NuVector(NuVector&& other) noexcept
    : _size(std::exchange(other._size, 0u)), _elements(std::move(other._elements))
{
}

NuVector& NuVector::operator=(const NuVector& other)
{
    if (this != &other)
        *this = NuVector(other);
    return *this;
}

NuVector& NuVector::operator=(NuVector&& other) noexcept
{
    if (this != &other) {
        _size = std::exchange(other._size, 0u);
        _elements = std::move(other._elements);
    }
    return *this;
}

void NuVector::fill(double value)
{
    std::fill_n(_elements.get(), _size, value);
}

NuVector NuVector::operator+(const NuVector& other) const
{
    if (_size != other._size) {
        numora::error("NuVector::operator +", "vector dimensions do not agree");
        return {};
    }
    NuVector sum(_size);
    addInto(_elements.get(), other._elements.get(), sum._elements.get(), _size);
    return sum;
}

NuVector NuVector::operator*(double s) const
{
    NuVector product(*this);
    scale(product._elements.get(), _size, s);
    return product;
}

std::vector<double> NuVector::elements() const
{
    return std::vector<double>(_elements.get(), _elements.get() + _size);
}

// ---------------------------------------------------------------------------
// NuMatrix

NuMatrix::NuMatrix(unsigned int m, unsigned int n) : _m(m), _n(n), _elements(allocate(size()))
{
}

NuMatrix::NuMatrix(const NuMatrix& other)
    : _m(other._m), _n(other._n), _elements(copyOf(other._elements.get(), other.size()))
{
}

NuMatrix::NuMatrix(NuMatrix&& other) noexcept
    : _m(std::exchange(other._m, 0u)), _n(std::exchange(other._n, 0u)), _elements(std::move(other._elements))
{
}

NuMatrix& NuMatrix::operator=(const NuMatrix& other)
{
    if (this != &other)
        *this = NuMatrix(other);
    return *this;
}

NuMatrix& NuMatrix::operator=(NuMatrix&& other) noexcept
{
    if (this != &other) {
        _m = std::exchange(other._m, 0u);
        _n = std::exchange(other._n, 0u);
        _elements = std::move(other._elements);
    }
    return *this;
}

void NuMatrix::fill(double value)
{
    std::fill_n(_elements.get(), size(), value);
}

NuMatrix NuMatrix::operator+(const NuMatrix& other) const
{
    if (_m != other._m || _n != other._n) {
        numora::error("NuMatrix::operator +", "matrix dimensions do not agree");
        return {};
    }
    NuMatrix sum(_m, _n);
    addInto(_elements.get(), other._elements.get(), sum._elements.get(), size());
    return sum;
}

NuMatrix NuMatrix::operator*(double s) const
{
    NuMatrix product(*this);
    scale(product._elements.get(), size(), s);
    return product;
}

std::vector<double> NuMatrix::rowMajor() const
{
    return std::vector<double>(_elements.get(), _elements.get() + size());
}

std::vector<double> NuMatrix::columnMajor() const
{
    std::vector<double> out;
    out.reserve(size());
    for (unsigned int c = 0; c < _n; ++c)
        for (unsigned int r = 0; r < _m; ++r)
            out.push_back((*this)(r, c));
    return out;
}

NuVector NuMatrix::solve(const NuVector& b) const
{
    if (_m < _n)
        numora::warning("NuMatrix::solve", "Make sure that code works for n > m.");
    if (b.size() != _m) {
        numora::error("NuMatrix::solve", "Input vector b needs to be of dimension %ix1 but is %ix1.",
                      static_cast<int>(_m), static_cast<int>(b.size()));
        return {};
    }

    // b on entry, the solution in the first n entries on exit.
    std::vector<double> work(std::max(_m, _n), 0.0);
    for (unsigned int i = 0; i < _m; ++i)
        work[i] = b[i];

    // LAPACK rejects a zero leading dimension (and stops the program); a
    // matrix without elements leaves the solution at zero.
    if (size() > 0) {
        const int m = static_cast<int>(_m);
        const int n = static_cast<int>(_n);
        const int info = m == n ? solveSquare(columnMajor(), m, work.data())
                                : solveLeastSquares(rowMajor(), m, n, work.data());
        if (info != 0)
            numora::error("NuMatrix::solve", "LAPACK returned %i.", info);
    }

    NuVector x(_n);
    for (unsigned int i = 0; i < _n; ++i)
        x[i] = work[i];
    return x;
}
