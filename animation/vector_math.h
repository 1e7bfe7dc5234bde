// Three-float vectors and small row-major float matrices, with the exact
// single-precision arithmetic the demos were authored against: animations
// that accumulate over hundreds of frames only land where the author saw
// them if every rounding happens in the same place.
#pragma once

// Degrees to radians and back, as single-precision factors (not π/180).
constexpr float kDegreesToRadians = 0.017452868f;
constexpr float kRadiansToDegrees = 57.297176f;

// out = a × b.
void vecCross(const float* a, const float* b, float* out);
// a·b, summed in the order X, Y, Z.
float vecDot(const float* a, const float* b);
// v *= s, in place.
void vecScale(float* v, float s);
float vecLength(const float* v);
// Scales v by the reciprocal of its length; a zero vector is left as it is.
void vecNormalize(float* v);
// out = a + s·d; out may be a or d.
void vecAddScaled(const float* a, const float* d, float* out, float s);

// out (rowsA × colsB) = A × B; out may be A or B. Nothing at all happens
// when colsA differs from rowsB.
void matMultiply(const float* a, const float* b, float* out, int rowsA, int colsA, int rowsB, int colsB);
// Determinant of the n × n matrix m (n ≥ 2; m is left unchanged).
float matDeterminant(const float* m, int n);
// Cofactor of element [row][col] of the 3 × 3 matrix m (n = 3).
float matCofactor(const float* m, int row, int col, int n);
// Replaces the 3 × 3 matrix m (n = 3) by its inverse.
void matInvert(float* m, int n);
// out (3 × 3) gets the columns axis, a vector perpendicular to it and their
// cross product, each normalised when `normalize` is set. A zero axis leaves
// out unchanged.
void matBasisFromAxis(const float* axis, float* out, bool normalize);
// Rotates p in place, right-handed, by `angle` degrees about the axis through
// the origin. A zero axis names no rotation: p is left as it is.
void rotateAboutAxis(float angle, const float* axis, float* p);
