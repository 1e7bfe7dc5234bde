#include "animation/vector_math.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace {

// Work space for an n × n (or rows × cols) matrix: on the stack for the sizes
// the player uses, on the heap beyond.
class Work {
public:
    explicit Work(int count) : heap_(count > kSmall ? size_t(count) : 0)
    {
        data_ = count > kSmall ? heap_.data() : small_;
    }
    float* data() { return data_; }
    float& operator[](int i) { return data_[i]; }

private:
    static constexpr int kSmall = 16;
    float small_[kSmall];
    std::vector<float> heap_;
    float* data_;
};

}  // namespace

void vecCross(const float* a, const float* b, float* out)
{
    // Computed whole before writing, so out may even be a or b.
    const float x = a[1] * b[2] - a[2] * b[1];
    const float y = a[2] * b[0] - a[0] * b[2];
    const float z = a[0] * b[1] - a[1] * b[0];
    out[0] = x;
    out[1] = y;
    out[2] = z;
}

float vecDot(const float* a, const float* b)
{
    float sum = 0;
    for (int i = 0; i < 3; ++i)
        sum = sum + a[i] * b[i];
    return sum;
}

void vecScale(float* v, float s)
{
    for (int i = 0; i < 3; ++i)
        v[i] = s * v[i];
}

float vecLength(const float* v)
{
    return std::sqrt(vecDot(v, v));
}

void vecNormalize(float* v)
{
    const float length = vecLength(v);
    if (length == 0)
        return;  // 1/0 would turn the vector into NaNs
    vecScale(v, 1.0f / length);
}

void vecAddScaled(const float* a, const float* d, float* out, float s)
{
    for (int i = 0; i < 3; ++i)
        out[i] = a[i] + s * d[i];
}

void matMultiply(const float* a, const float* b, float* out, int rowsA, int colsA, int rowsB, int colsB)
{
    if (colsA != rowsB || rowsA <= 0 || colsA <= 0 || colsB <= 0)
        return;
    Work product(rowsA * colsB);
    for (int i = 0; i < rowsA; ++i) {
        for (int j = 0; j < colsB; ++j) {
            float sum = 0;
            for (int k = 0; k < colsA; ++k)
                sum = sum + a[i * colsA + k] * b[k * colsB + j];
            product[i * colsB + j] = sum;
        }
    }
    std::memcpy(out, product.data(), sizeof(float) * size_t(rowsA * colsB));
}

float matDeterminant(const float* m, int n)
{
    if (n < 2)
        return n == 1 ? m[0] : 1.0f;
    Work w(n * n);
    std::memcpy(w.data(), m, sizeof(float) * size_t(n * n));
    auto at = [&](int r, int c) -> float& { return w[r * n + c]; };
    float pivots = 1;
    // Column elimination down to the lower-right 2 × 2 block.
    for (int i = 0; i <= n - 3; ++i) {
        if (at(i, i) == 0) {
            int c = 0;
            while (c < n && at(i, c) == 0)
                ++c;
            if (c == n)
                return 0;
            // Adding another column leaves the determinant as it is.
            for (int r = i; r < n; ++r)
                at(r, i) += at(r, c);
        }
        const float q = at(i, i);
        for (int r = 0; r < n; ++r)
            at(r, i) /= q;
        pivots *= q;
        for (int c = i + 1; c < n; ++c) {
            const float f = at(i, c);
            for (int r = i; r < n; ++r)
                at(r, c) = at(r, c) - f * at(r, i);
        }
    }
    return pivots * (at(n - 2, n - 2) * at(n - 1, n - 1) - at(n - 2, n - 1) * at(n - 1, n - 2));
}

float matCofactor(const float* m, int row, int col, int n)
{
    if (n < 2 || row < 0 || row >= n || col < 0 || col >= n)
        return 0;
    Work q(n * n);
    std::memcpy(q.data(), m, sizeof(float) * size_t(n * n));
    auto at = [&](int r, int c) -> float& { return q[r * n + c]; };
    // Moves the struck-out row and column to the front and replaces them by
    // the identity's, which leaves the minor's determinant up to a sign.
    for (int i = 0; i < n; ++i) {
        at(row, i) = at(0, i);
        at(i, col) = at(i, 0);
        at(0, i) = 0;
        at(i, 0) = 0;
    }
    at(0, 0) = 1;
    float x = matDeterminant(q.data(), n);
    if ((row > 1) != (col > 1))
        x = -x;
    if ((row + col) % 2 != 0)
        x = -x;
    return x;
}

void matInvert(float* m, int n)
{
    if (n < 2)
        return;
    const float d = matDeterminant(m, n);
    const float reciprocal = 1.0f / d;
    Work t(n * n);
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j)
            t[j * n + i] = reciprocal * matCofactor(m, i, j, n);
    }
    std::memcpy(m, t.data(), sizeof(float) * size_t(n * n));
}

void matBasisFromAxis(const float* axis, float* out, bool normalize)
{
    float v[3] = {axis[0], axis[1], axis[2]};
    int i = 0;
    while (i < 3 && v[i] == 0)
        ++i;
    if (i == 3)
        return;
    const int j = i == 0 ? 1 : 0;
    const int k = 3 - i - j;
    float u[3];
    u[j] = 1;
    u[k] = 1;
    u[i] = -(v[k] + v[j]) / v[i];
    float w[3];
    vecCross(v, u, w);
    if (normalize) {
        vecNormalize(v);
        vecNormalize(u);
        vecNormalize(w);
    }
    for (int r = 0; r < 3; ++r) {
        out[r * 3 + 0] = v[r];
        out[r * 3 + 1] = u[r];
        out[r * 3 + 2] = w[r];
    }
}

void rotateAboutAxis(float angle, const float* axis, float* p)
{
    // Without an axis there is no basis to rotate in.
    if (axis[0] == 0 && axis[1] == 0 && axis[2] == 0)
        return;
    const float theta = angle * kDegreesToRadians;
    // Computed in double and rounded once: the float functions differ in the
    // last bit for some angles.
    const float c = float(std::cos(double(theta)));
    const float s = float(std::sin(double(theta)));
    const float rx[9] = {1, 0, 0, 0, c, -s, 0, s, c};
    float r[9];
    matBasisFromAxis(axis, r, true);
    float inverse[9];
    std::memcpy(inverse, r, sizeof r);
    matInvert(inverse, 3);
    matMultiply(inverse, p, p, 3, 3, 3, 1);
    matMultiply(rx, p, p, 3, 3, 3, 1);
    matMultiply(r, p, p, 3, 3, 3, 1);
}
