// The vector and matrix library: results against textbook values, and the
// aliasing forms the dynamics depend on.
#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "animation/vector_math.h"

namespace {

using M3 = std::array<float, 9>;
using V3 = std::array<float, 3>;

// Textbook 3 × 3 determinant (cofactor expansion along row 0), in double.
double textbookDeterminant(const float* m)
{
    return double(m[0]) * (double(m[4]) * m[8] - double(m[5]) * m[7]) -
           double(m[1]) * (double(m[3]) * m[8] - double(m[5]) * m[6]) +
           double(m[2]) * (double(m[3]) * m[7] - double(m[4]) * m[6]);
}

// (−1)^(row+col) × the minor of [row][col].
double textbookCofactor(const float* m, int row, int col)
{
    double minor[4];
    int n = 0;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            if (r != row && c != col)
                minor[n++] = m[r * 3 + c];
        }
    }
    double d = minor[0] * minor[3] - minor[1] * minor[2];
    return (row + col) % 2 ? -d : d;
}

void expectNear(const V3& expected, const float* actual, float tolerance)
{
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(expected[size_t(i)], actual[i], tolerance) << "component " << i;
}

}  // namespace

TEST(VecOperations, CrossProductIsRightHandedAndAntiCommutative)
{
    V3 x{1, 0, 0}, y{0, 1, 0}, out{9, 9, 9};
    vecCross(x.data(), y.data(), out.data());
    EXPECT_EQ((V3{0, 0, 1}), out);
    vecCross(y.data(), x.data(), out.data());
    EXPECT_EQ((V3{0, 0, -1}), out);
    V3 a{1, 2, 3}, b{4, 5, 6};
    vecCross(a.data(), b.data(), out.data());
    EXPECT_EQ((V3{-3, 6, -3}), out);
    EXPECT_EQ(0, vecDot(out.data(), a.data()));
    EXPECT_EQ(0, vecDot(out.data(), b.data()));
}

TEST(VecOperations, DotLengthScaleAndNormalize)
{
    V3 a{1, 2, 3}, b{4, -5, 6};
    EXPECT_EQ(12.0f, vecDot(a.data(), b.data()));
    V3 v{3, 4, 0};
    EXPECT_EQ(5.0f, vecLength(v.data()));
    vecScale(v.data(), -2);
    EXPECT_EQ((V3{-6, -8, 0}), v);
    vecNormalize(v.data());
    EXPECT_FLOAT_EQ(-0.6f, v[0]);
    EXPECT_FLOAT_EQ(-0.8f, v[1]);
    EXPECT_EQ(0, v[2]);
    EXPECT_FLOAT_EQ(1, vecLength(v.data()));
    // Normalising is scaling by the reciprocal of the length, taken once.
    V3 w{1, 1, 1};
    const float reciprocal = 1.0f / std::sqrt(3.0f);
    vecNormalize(w.data());
    EXPECT_EQ((V3{reciprocal, reciprocal, reciprocal}), w);
    // A zero vector has no direction; it stays zero instead of turning into NaNs.
    V3 zero{0, 0, 0};
    vecNormalize(zero.data());
    EXPECT_EQ((V3{0, 0, 0}), zero);
}

TEST(VecOperations, AddScaledWorksInPlaceOnEitherInput)
{
    V3 p{1, 2, 3}, d{1, -1, 0.5f}, out{};
    vecAddScaled(p.data(), d.data(), out.data(), 2);
    EXPECT_EQ((V3{3, 0, 4}), out);
    // out = a: the form translations use on a parameter.
    vecAddScaled(p.data(), d.data(), p.data(), 2);
    EXPECT_EQ((V3{3, 0, 4}), p);
    // out = d.
    V3 a{1, 2, 3};
    vecAddScaled(a.data(), d.data(), d.data(), 2);
    EXPECT_EQ((V3{3, 0, 4}), d);
}

TEST(MatMultiply, ProductsOfEveryShapeAndAliasedOutputs)
{
    // 2 × 3 times 3 × 2.
    const float a[6] = {1, 2, 3, 4, 5, 6};
    const float b[6] = {7, 8, 9, 10, 11, 12};
    float out[4] = {};
    matMultiply(a, b, out, 2, 3, 3, 2);
    EXPECT_EQ((std::array<float, 4>{58, 64, 139, 154}), (std::array<float, 4>{out[0], out[1], out[2], out[3]}));

    // Mismatched inner sizes: out is not touched at all.
    float untouched[9];
    for (float& f : untouched)
        f = -7;
    matMultiply(a, b, untouched, 2, 3, 2, 3);
    for (float f : untouched)
        EXPECT_EQ(-7, f);

    // out = B, the form rotations use: R · p into p.
    const float r[9] = {0, -1, 0, 1, 0, 0, 0, 0, 1};
    V3 p{1, 2, 3};
    matMultiply(r, p.data(), p.data(), 3, 3, 3, 1);
    EXPECT_EQ((V3{-2, 1, 3}), p);

    // out = A: the product is complete before anything is written.
    float m[4] = {1, 2, 3, 4};
    const float n[4] = {0, 1, 1, 0};
    matMultiply(m, n, m, 2, 2, 2, 2);
    EXPECT_EQ((std::array<float, 4>{2, 1, 4, 3}), (std::array<float, 4>{m[0], m[1], m[2], m[3]}));

    // 4 × 4, as the collision world multiplies.
    float s[16] = {}, t[16] = {};
    for (int i = 0; i < 16; ++i)
        s[i] = float(i);
    for (int i = 0; i < 4; ++i)
        t[i * 4 + i] = 2;
    matMultiply(s, t, t, 4, 4, 4, 4);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(2.0f * float(i), t[i]) << i;
}

TEST(MatDeterminant, AgreesWithTheTextbookIncludingZeroPivots)
{
    const M3 cases[] = {
        {2, -3, 1, 2, 0, -1, 1, 4, 5},
        {0, 2, 0, 3, 1, 4, 5, 6, 7},     // zero pivot, repaired from column 1
        {0, 0, 5, 1, 2, 3, 4, 6, 9},     // zero pivot, repaired from column 2
        {1, 2, 3, 4, 5, 6, 7, 8, 9},     // singular
        {0.5f, -1.25f, 3, 2, 0.75f, -4, 1, 1, 1},
    };
    for (const M3& m : cases) {
        M3 before = m;
        double expected = textbookDeterminant(m.data());
        EXPECT_NEAR(expected, matDeterminant(m.data(), 3), 1e-4 * std::max(1.0, std::fabs(expected)));
        EXPECT_EQ(before, m);  // works on a copy
    }
    // Row 0 all zero: 0 at once.
    const M3 zeroRow{0, 0, 0, 1, 2, 3, 4, 5, 7};
    EXPECT_EQ(0.0f, matDeterminant(zeroRow.data(), 3));
    // n = 2: the plain determinant.
    const float two[4] = {3, 8, 4, 6};
    EXPECT_EQ(-14.0f, matDeterminant(two, 2));
}

TEST(MatCofactor, AllNinePositionsAreTheTextbookCofactors)
{
    const M3 cases[] = {
        {2, -3, 1, 2, 0, -1, 1, 4, 5},
        {0, 2, 7, 3, 0, 4, 5, 6, 0},  // zeros on the diagonal
        {0.3f, -1.5f, 2.25f, 4, 0.125f, -6, 7.5f, 8, 0.5f},
    };
    for (const M3& m : cases) {
        for (int row = 0; row < 3; ++row) {
            for (int col = 0; col < 3; ++col) {
                double expected = textbookCofactor(m.data(), row, col);
                EXPECT_NEAR(expected, matCofactor(m.data(), row, col, 3), 1e-4 * std::max(1.0, std::fabs(expected)))
                    << "row " << row << ", col " << col;
            }
        }
    }
}

TEST(MatInvert, OrthonormalBasisGivesItsTransposeAndAGeneralMatrixItsInverse)
{
    const float axis[3] = {1, 2, -3};
    M3 basis{};
    matBasisFromAxis(axis, basis.data(), true);
    M3 inverse = basis;
    matInvert(inverse.data(), 3);
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(basis[size_t(c * 3 + r)], inverse[size_t(r * 3 + c)], 1e-6) << r << "," << c;
    }

    M3 m{2, -3, 1, 2, 0, -1, 1, 4, 5};
    M3 inv = m;
    matInvert(inv.data(), 3);
    M3 product{};
    matMultiply(m.data(), inv.data(), product.data(), 3, 3, 3, 3);
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(r == c ? 1 : 0, product[size_t(r * 3 + c)], 1e-6) << r << "," << c;
    }
}

TEST(MatBasis, ColumnsAreTheAxisAPerpendicularAndTheirCross)
{
    // (0, 0, 2): i = 2, j = 0, k = 1, u = (1, 1, 0) before normalising.
    const float axis[3] = {0, 0, 2};
    M3 out{};
    matBasisFromAxis(axis, out.data(), true);
    const float h = 1.0f / std::sqrt(2.0f);
    const M3 expected{0, h, -h, 0, h, h, 1, 0, 0};
    for (size_t i = 0; i < 9; ++i)
        EXPECT_NEAR(expected[i], out[i], 1e-7) << i;

    // Without normalising, the raw vectors: axis (0, 1, 0) gives u = (1, 0, 1)
    // and w = v × u = (1, 0, −1).
    const float y[3] = {0, 3, 0};
    matBasisFromAxis(y, out.data(), false);
    const M3 raw{0, 1, 3, 3, 0, 0, 0, 1, -3};
    for (size_t i = 0; i < 9; ++i)
        EXPECT_EQ(raw[i], out[i]) << i;

    // u[i] = −(v[k] + v[j]) / v[i]: perpendicular for any axis.
    const float skew[3] = {2, -1, 4};
    matBasisFromAxis(skew, out.data(), false);
    EXPECT_EQ((V3{2, -1, 4}), (V3{out[0], out[3], out[6]}));
    EXPECT_EQ((V3{-1.5f, 1, 1}), (V3{out[1], out[4], out[7]}));
    EXPECT_EQ(0, skew[0] * out[1] + skew[1] * out[4] + skew[2] * out[7]);

    // A zero axis names no basis: out stays as it was.
    const float zero[3] = {0, 0, 0};
    M3 kept{1, 2, 3, 4, 5, 6, 7, 8, 9};
    matBasisFromAxis(zero, kept.data(), true);
    EXPECT_EQ((M3{1, 2, 3, 4, 5, 6, 7, 8, 9}), kept);
}

TEST(MatRotateAboutAxis, NinetyDegreesAboutYWithTheSinglePrecisionFactor)
{
    const float axis[3] = {0, 1, 0};
    V3 p{1, 0, 0};
    rotateAboutAxis(90, axis, p.data());
    // 90 × 0.017452868 = 1.5707581, a little short of π/2.
    const float theta = 90 * 0.017452868f;
    EXPECT_FLOAT_EQ(1.5707581f, theta);
    EXPECT_NEAR(std::cos(theta), p[0], 1e-6);
    EXPECT_NEAR(0.0000382f, p[0], 1e-6);
    EXPECT_NEAR(0, p[1], 1e-6);
    EXPECT_NEAR(-1, p[2], 1e-6);
}

TEST(MatRotateAboutAxis, RightHandedLengthKeepingAndIdentityAtZero)
{
    // About +Z, X turns towards Y.
    const float z[3] = {0, 0, 5};
    V3 p{1, 0, 0};
    rotateAboutAxis(30, z, p.data());
    const float theta = 30 * kDegreesToRadians;
    expectNear({std::cos(theta), std::sin(theta), 0}, p.data(), 1e-6f);

    // Any axis: the length and the component along the axis stay.
    const float axis[3] = {1, 2, -2};
    V3 q{4, -5, 6};
    const float along = vecDot(q.data(), axis) / 3;
    const float length = vecLength(q.data());
    rotateAboutAxis(123, axis, q.data());
    EXPECT_NEAR(along, vecDot(q.data(), axis) / 3, 1e-4);
    EXPECT_NEAR(length, vecLength(q.data()), 1e-4);
    EXPECT_GT(std::fabs(q[0] - 4), 0.5f);

    // Angle 0 leaves the point where it was, to float precision.
    V3 r{4, -5, 6};
    rotateAboutAxis(0, axis, r.data());
    expectNear({4, -5, 6}, r.data(), 1e-5f);

    // A zero axis turns nothing.
    const float none[3] = {0, 0, 0};
    V3 s{4, -5, 6};
    rotateAboutAxis(45, none, s.data());
    EXPECT_EQ((V3{4, -5, 6}), s);
}

TEST(MatRotateAboutAxis, CosAndSinAreRoundedToFloatOnceFromDouble)
{
    // The float functions miss the correctly rounded value by one bit for
    // some angles; the rotation must carry the rounded ones. The reference is
    // the rotation's three products built from the functions tested above.
    const float axis[3] = {0.3f, 1, -0.2f};
    M3 basis{};
    matBasisFromAxis(axis, basis.data(), true);
    M3 inverse = basis;
    matInvert(inverse.data(), 3);
    int checked = 0;
    for (int k = 0; k < 2000; ++k) {
        const float angle = float(k) * 0.0371f - 300;
        const float theta = angle * kDegreesToRadians;
        const float c = float(std::cos(double(theta))), s = float(std::sin(double(theta)));
        const M3 rx{1, 0, 0, 0, c, -s, 0, s, c};
        V3 expected{1, 0.5f, -2};
        matMultiply(inverse.data(), expected.data(), expected.data(), 3, 3, 3, 1);
        matMultiply(rx.data(), expected.data(), expected.data(), 3, 3, 3, 1);
        matMultiply(basis.data(), expected.data(), expected.data(), 3, 3, 3, 1);
        V3 p{1, 0.5f, -2};
        rotateAboutAxis(angle, axis, p.data());
        ASSERT_EQ(expected, p) << "angle " << angle;
        checked += std::cos(theta) != c || std::sin(theta) != s;
    }
    EXPECT_GT(checked, 0) << "no angle where the float functions differ";
}
