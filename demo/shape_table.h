// The score of the superformula ring: one row of curve parameters per new beat from beat 65 on.
#pragma once

namespace tc {

struct ShapeParams {
  float cosDivisor;
  float sinDivisor;
  float symmetry;
  float outerExponent;
  float cosExponent;
  float sinExponent;
  float stepNumerator;
  float stepDenominator;
};

constexpr int kShapeTableRows = 295;

struct ShapeTable {
  ShapeParams rows[kShapeTableRows];
};

// Fills all 295 rows; the table never changes afterwards.
void BuildShapeTable(ShapeTable& table);

}  // namespace tc
