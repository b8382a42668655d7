// Geometry in pixels: rectangles (left, top, right, bottom) and points.
#pragma once

#include <cstdint>

namespace vexo::math::geom {

template <typename T, int D>
struct Point;

template <typename T>
struct Point<T, 2>
{
  T x = 0;
  T y = 0;

  bool operator==(const Point& other) const { return x == other.x && y == other.y; }
};

template <typename T, int D>
struct Rectangle;

template <typename T>
struct Rectangle<T, 2>
{
  T left = 0;
  T top = 0;
  T right = 0;
  T bottom = 0;

  T Width() const { return right - left; }
  T Height() const { return bottom - top; }
  // Containment includes the right and bottom edges.
  bool Contains(const Point<T, 2>& p) const
  {
    return p.x >= left && p.x <= right && p.y >= top && p.y <= bottom;
  }
  bool operator==(const Rectangle& other) const
  {
    return left == other.left && top == other.top && right == other.right &&
           bottom == other.bottom;
  }
};

using Rect = Rectangle<int32_t, 2>;
using Pt = Point<int32_t, 2>;

} // namespace vexo::math::geom
