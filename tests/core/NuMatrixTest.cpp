#include "completion/NuMatrix.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

namespace {

NuMatrix makeMatrix(unsigned int m, unsigned int n, std::initializer_list<double> rowMajor)
{
    NuMatrix a(m, n);
    auto it = rowMajor.begin();
    for (unsigned int r = 0; r < m; ++r)
        for (unsigned int c = 0; c < n; ++c)
            a(r, c) = *it++;
    return a;
}

NuVector makeVector(std::initializer_list<double> values)
{
    NuVector v(static_cast<unsigned int>(values.size()));
    unsigned int i = 0;
    for (double value : values)
        v[i++] = value;
    return v;
}

}  // namespace

TEST(NuMatrixSolve, SquareLeastSquaresAndMinimumNorm)
{
    const struct {
        NuMatrix a;
        NuVector b;
        std::vector<double> x;
        std::string warning;
    } cases[] = {
        // Not symmetric: a transposed copy would give a different answer.
        {makeMatrix(2, 2, {1, 2, 3, 4}), makeVector({5, 6}), {-4.0, 4.5}, ""},
        // Tall: normal equations AᵀA·x = Aᵀb, [[6, 11], [11, 26]]·x = [8, 5].
        {makeMatrix(3, 2, {1, 0, 1, 1, 2, 5}), makeVector({6, 0, 1}), {153.0 / 35, -58.0 / 35}, ""},
        // Wide: the solution of least norm, x = Aᵀ(AAᵀ)⁻¹b.
        {makeMatrix(2, 3, {1, 2, 3, 4, 5, 7}), makeVector({1, 2}), {-8.0 / 35, 5.0 / 35, 11.0 / 35},
         "[libnumora/NuMatrix::solve warning] Make sure that code works for n > m.\n"},
    };
    for (const auto& c : cases) {
        CaptureStderr();
        const NuVector x = c.a.solve(c.b);
        EXPECT_EQ(GetCapturedStderr(), c.warning);
        ASSERT_EQ(x.size(), c.x.size());
        for (unsigned int i = 0; i < x.size(); ++i)
            EXPECT_NEAR(x[i], c.x[i], 1e-12) << c.a.rows() << " x " << c.a.cols() << ", x" << i;
    }
}

TEST(NuMatrixSolve, FailuresAreReported)
{
    CaptureStderr();
    EXPECT_EQ(NuMatrix(3, 2).solve(NuVector(2)).size(), 0u);
    EXPECT_EQ(GetCapturedStderr(),
              "[libnumora/NuMatrix::solve error] Input vector b needs to be of dimension 3x1 but is 2x1.\n");

    CaptureStderr();
    EXPECT_EQ(makeMatrix(2, 2, {1, 2, 2, 4}).solve(makeVector({1, 1})).size(), 2u);
    EXPECT_EQ(GetCapturedStderr(), "[libnumora/NuMatrix::solve error] LAPACK returned 2.\n");

    // Without elements LAPACK is not called (it would stop the program).
    EXPECT_EQ(NuMatrix().solve(NuVector()).size(), 0u);
}

TEST(NuMatrixArithmetic, SumAndScale)
{
    const NuMatrix sum = makeMatrix(2, 3, {1, 2, 3, 4, 5, 6}) + makeMatrix(2, 3, {10, 20, 30, 40, 50, 60}) * 2.0;
    EXPECT_EQ(sum.rowMajor(), (std::vector<double>{21, 42, 63, 84, 105, 126}));
    EXPECT_EQ((makeVector({1, 2}) * -1.5 + makeVector({1, 1})).elements(), (std::vector<double>{-0.5, -2}));
}
