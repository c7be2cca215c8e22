#pragma once
// Geometry: points, vectors, matrices, scales, extents and the point tolerance.
#include <cmath>

#include "cad/db/AcDbCore.h"

class AcGeTol {
public:
    AcGeTol() = default;
    double equalPoint() const { return equalPoint_; }
    double equalVector() const { return equalVector_; }
    void setEqualPoint(double v) { equalPoint_ = v; }
    void setEqualVector(double v) { equalVector_ = v; }

private:
    double equalPoint_ = 1e-10;
    double equalVector_ = 1e-10;
};

class AcGeContext {
public:
    static AcGeTol gTol;
};

class AcGeMatrix2d;
class AcGeMatrix3d;
class AcGeVector3d;

class AcGeVector2d {
public:
    AcGeVector2d() = default;
    AcGeVector2d(double xx, double yy) : x(xx), y(yy) {}
    static const AcGeVector2d kXAxis, kYAxis;
    double length() const { return std::hypot(x, y); }
    double angle() const; // 0..2pi from the X axis
    AcGeVector2d normal() const;
    double dotProduct(const AcGeVector2d& v) const { return x * v.x + y * v.y; }
    double crossProduct(const AcGeVector2d& v) const { return x * v.y - y * v.x; }
    AcGeVector2d operator+(const AcGeVector2d& v) const { return {x + v.x, y + v.y}; }
    AcGeVector2d operator-(const AcGeVector2d& v) const { return {x - v.x, y - v.y}; }
    AcGeVector2d operator*(double s) const { return {x * s, y * s}; }
    AcGeVector2d operator-() const { return {-x, -y}; }
    bool isEqualTo(const AcGeVector2d& v, const AcGeTol& tol = AcGeContext::gTol) const;
    double x = 0, y = 0;
};

class AcGePoint2d {
public:
    AcGePoint2d() = default;
    AcGePoint2d(double xx, double yy) : x(xx), y(yy) {}
    static const AcGePoint2d kOrigin;
    double distanceTo(const AcGePoint2d& p) const { return std::hypot(p.x - x, p.y - y); }
    bool isEqualTo(const AcGePoint2d& p, const AcGeTol& tol = AcGeContext::gTol) const {
        return distanceTo(p) <= tol.equalPoint();
    }
    AcGePoint2d operator+(const AcGeVector2d& v) const { return {x + v.x, y + v.y}; }
    AcGePoint2d operator-(const AcGeVector2d& v) const { return {x - v.x, y - v.y}; }
    AcGeVector2d operator-(const AcGePoint2d& p) const { return {x - p.x, y - p.y}; }
    AcGePoint2d& set(double xx, double yy) {
        x = xx;
        y = yy;
        return *this;
    }
    friend bool operator==(const AcGePoint2d& a, const AcGePoint2d& b) { return a.isEqualTo(b); }
    friend bool operator!=(const AcGePoint2d& a, const AcGePoint2d& b) { return !a.isEqualTo(b); }
    double operator[](int i) const { return i == 0 ? x : y; }
    double& operator[](int i) { return i == 0 ? x : y; }
    double x = 0, y = 0;
};

class AcGeVector3d {
public:
    AcGeVector3d() = default;
    AcGeVector3d(double xx, double yy, double zz) : x(xx), y(yy), z(zz) {}
    static const AcGeVector3d kIdentity, kXAxis, kYAxis, kZAxis;
    double length() const { return std::sqrt(x * x + y * y + z * z); }
    double lengthSqrd() const { return x * x + y * y + z * z; }
    AcGeVector3d normal(const AcGeTol& tol = AcGeContext::gTol) const;
    AcGeVector3d& normalize(const AcGeTol& tol = AcGeContext::gTol) { return *this = normal(tol); }
    double dotProduct(const AcGeVector3d& v) const { return x * v.x + y * v.y + z * v.z; }
    AcGeVector3d crossProduct(const AcGeVector3d& v) const {
        return {y * v.z - z * v.y, z * v.x - x * v.z, x * v.y - y * v.x};
    }
    double angleTo(const AcGeVector3d& v) const;
    AcGeVector3d perpVector() const;
    bool isZeroLength(const AcGeTol& tol = AcGeContext::gTol) const { return length() <= tol.equalVector(); }
    bool isParallelTo(const AcGeVector3d& v, const AcGeTol& tol = AcGeContext::gTol) const;
    bool isEqualTo(const AcGeVector3d& v, const AcGeTol& tol = AcGeContext::gTol) const;
    AcGeVector3d& transformBy(const AcGeMatrix3d& m);
    AcGeVector3d operator+(const AcGeVector3d& v) const { return {x + v.x, y + v.y, z + v.z}; }
    AcGeVector3d operator-(const AcGeVector3d& v) const { return {x - v.x, y - v.y, z - v.z}; }
    AcGeVector3d operator*(double s) const { return {x * s, y * s, z * s}; }
    AcGeVector3d operator/(double s) const { return {x / s, y / s, z / s}; }
    AcGeVector3d operator-() const { return {-x, -y, -z}; }
    AcGeVector3d& operator+=(const AcGeVector3d& v) {
        x += v.x;
        y += v.y;
        z += v.z;
        return *this;
    }
    AcGeVector3d& operator-=(const AcGeVector3d& v) {
        x -= v.x;
        y -= v.y;
        z -= v.z;
        return *this;
    }
    AcGeVector3d& operator*=(double s) {
        x *= s;
        y *= s;
        z *= s;
        return *this;
    }
    friend AcGeVector3d operator*(double s, const AcGeVector3d& v) { return v * s; }
    friend bool operator==(const AcGeVector3d& a, const AcGeVector3d& b) { return a.isEqualTo(b); }
    friend bool operator!=(const AcGeVector3d& a, const AcGeVector3d& b) { return !a.isEqualTo(b); }
    AcGeVector3d& set(double xx, double yy, double zz) {
        x = xx;
        y = yy;
        z = zz;
        return *this;
    }
    double operator[](int i) const { return i == 0 ? x : i == 1 ? y : z; }
    double& operator[](int i) { return i == 0 ? x : i == 1 ? y : z; }
    double x = 0, y = 0, z = 0;
};

class AcGePoint3d {
public:
    AcGePoint3d() = default;
    AcGePoint3d(double xx, double yy, double zz) : x(xx), y(yy), z(zz) {}
    static const AcGePoint3d kOrigin;
    double distanceTo(const AcGePoint3d& p) const {
        return std::sqrt((p.x - x) * (p.x - x) + (p.y - y) * (p.y - y) + (p.z - z) * (p.z - z));
    }
    bool isEqualTo(const AcGePoint3d& p, const AcGeTol& tol = AcGeContext::gTol) const {
        return distanceTo(p) <= tol.equalPoint();
    }
    AcGePoint3d& transformBy(const AcGeMatrix3d& m);
    AcGePoint3d operator+(const AcGeVector3d& v) const { return {x + v.x, y + v.y, z + v.z}; }
    AcGePoint3d operator-(const AcGeVector3d& v) const { return {x - v.x, y - v.y, z - v.z}; }
    AcGeVector3d operator-(const AcGePoint3d& p) const { return {x - p.x, y - p.y, z - p.z}; }
    AcGePoint3d& operator+=(const AcGeVector3d& v) {
        x += v.x;
        y += v.y;
        z += v.z;
        return *this;
    }
    AcGePoint3d& operator-=(const AcGeVector3d& v) {
        x -= v.x;
        y -= v.y;
        z -= v.z;
        return *this;
    }
    AcGeVector3d asVector() const { return {x, y, z}; }
    AcGePoint2d convert2d() const { return {x, y}; }
    AcGePoint3d& set(double xx, double yy, double zz) {
        x = xx;
        y = yy;
        z = zz;
        return *this;
    }
    friend bool operator==(const AcGePoint3d& a, const AcGePoint3d& b) { return a.isEqualTo(b); }
    friend bool operator!=(const AcGePoint3d& a, const AcGePoint3d& b) { return !a.isEqualTo(b); }
    friend AcGePoint3d operator*(const AcGeMatrix3d& m, const AcGePoint3d& p);
    double operator[](int i) const { return i == 0 ? x : i == 1 ? y : z; }
    double& operator[](int i) { return i == 0 ? x : i == 1 ? y : z; }
    double x = 0, y = 0, z = 0;
};

class AcGeScale3d {
public:
    AcGeScale3d() = default;
    explicit AcGeScale3d(double s) : sx(s), sy(s), sz(s) {}
    AcGeScale3d(double a, double b, double c) : sx(a), sy(b), sz(c) {}
    double operator[](int i) const { return i == 0 ? sx : i == 1 ? sy : sz; }
    double& operator[](int i) { return i == 0 ? sx : i == 1 ? sy : sz; }
    bool isEqualTo(const AcGeScale3d& o, const AcGeTol& tol = AcGeContext::gTol) const;
    friend bool operator==(const AcGeScale3d& a, const AcGeScale3d& b) { return a.isEqualTo(b); }
    double sx = 1, sy = 1, sz = 1;
};

// Row-major 4x4 affine matrix acting on column vectors: p' = M * p.
class AcGeMatrix3d {
public:
    AcGeMatrix3d();
    static const AcGeMatrix3d kIdentity;

    double entry[4][4];
    double operator()(int r, int c) const { return entry[r][c]; }
    double& operator()(int r, int c) { return entry[r][c]; }

    AcGeMatrix3d& setToIdentity();
    bool isEqualTo(const AcGeMatrix3d& m, const AcGeTol& tol = AcGeContext::gTol) const;
    friend bool operator==(const AcGeMatrix3d& a, const AcGeMatrix3d& b) { return a.isEqualTo(b); }
    AcGeMatrix3d operator*(const AcGeMatrix3d& m) const;
    AcGeMatrix3d& operator*=(const AcGeMatrix3d& m) { return *this = *this * m; }
    AcGeMatrix3d& preMultBy(const AcGeMatrix3d& left) { return *this = left * *this; }
    AcGeMatrix3d& postMultBy(const AcGeMatrix3d& right) { return *this = *this * right; }
    AcGeMatrix3d& setToProduct(const AcGeMatrix3d& a, const AcGeMatrix3d& b) { return *this = a * b; }

    // The inverse; a singular matrix gives the identity (and false from the tolerance form).
    AcGeMatrix3d inverse() const;
    bool inverse(AcGeMatrix3d& result, double tol) const;
    AcGeMatrix3d& invert() { return *this = inverse(); }
    bool isSingular(const AcGeTol& tol = AcGeContext::gTol) const;
    double det() const;
    AcGeMatrix3d transpose() const;
    // Orthogonal axes of one common length (no skew, no uneven scale); mirroring allowed.
    bool isUniScaledOrtho(const AcGeTol& tol = AcGeContext::gTol) const;
    bool isScaledOrtho(const AcGeTol& tol = AcGeContext::gTol) const;
    double scale() const; // the largest axis length

    AcGeMatrix3d& setToTranslation(const AcGeVector3d& v);
    AcGeMatrix3d& setToRotation(double angle, const AcGeVector3d& axis,
                                const AcGePoint3d& center = AcGePoint3d::kOrigin);
    AcGeMatrix3d& setToScaling(double s, const AcGePoint3d& center = AcGePoint3d::kOrigin);
    AcGeMatrix3d& setToScaling(const AcGeScale3d& s, const AcGePoint3d& center = AcGePoint3d::kOrigin);
    AcGeMatrix3d& setToMirroring(const AcGePoint3d& p);
    AcGeMatrix3d& setCoordSystem(const AcGePoint3d& origin, const AcGeVector3d& x, const AcGeVector3d& y,
                                 const AcGeVector3d& z);
    void getCoordSystem(AcGePoint3d& origin, AcGeVector3d& x, AcGeVector3d& y, AcGeVector3d& z) const;
    AcGeMatrix3d& setToAlignCoordSys(const AcGePoint3d& fromOrigin, const AcGeVector3d& fromX,
                                     const AcGeVector3d& fromY, const AcGeVector3d& fromZ, const AcGePoint3d& toOrigin,
                                     const AcGeVector3d& toX, const AcGeVector3d& toY, const AcGeVector3d& toZ);
    // The matrix from the plane of the given normal (arbitrary-axis rule) to world, and back.
    AcGeMatrix3d& setToPlaneToWorld(const AcGeVector3d& normal);
    AcGeMatrix3d& setToWorldToPlane(const AcGeVector3d& normal);
    AcGeVector3d translation() const { return {entry[0][3], entry[1][3], entry[2][3]}; }

    static AcGeMatrix3d translation(const AcGeVector3d& v);
    static AcGeMatrix3d rotation(double angle, const AcGeVector3d& axis,
                                 const AcGePoint3d& center = AcGePoint3d::kOrigin);
    static AcGeMatrix3d scaling(double s, const AcGePoint3d& center = AcGePoint3d::kOrigin);
    static AcGeMatrix3d scaling(const AcGeScale3d& s, const AcGePoint3d& center = AcGePoint3d::kOrigin);
    static AcGeMatrix3d mirroring(const AcGePoint3d& p);
    static AcGeMatrix3d alignCoordSys(const AcGePoint3d& fromOrigin, const AcGeVector3d& fromX,
                                      const AcGeVector3d& fromY, const AcGeVector3d& fromZ, const AcGePoint3d& toOrigin,
                                      const AcGeVector3d& toX, const AcGeVector3d& toY, const AcGeVector3d& toZ);
    static AcGeMatrix3d planeToWorld(const AcGeVector3d& normal);
    static AcGeMatrix3d worldToPlane(const AcGeVector3d& normal);
};

AcGePoint3d operator*(const AcGeMatrix3d& m, const AcGePoint3d& p);
AcGeVector3d operator*(const AcGeMatrix3d& m, const AcGeVector3d& v);

// The object coordinate system X axis of a plane normal (the drawing format's arbitrary-axis rule).
AcGeVector3d acgeArbitraryXAxis(const AcGeVector3d& normal);

using AcGePoint2dArray = AcArray<AcGePoint2d>;
using AcGePoint3dArray = AcArray<AcGePoint3d>;
using AcGeVector3dArray = AcArray<AcGeVector3d>;

// How far from the origin a drawing's coordinates reach: an empty box's corners sit at this
// distance, so a point beyond it could not be told from no point at all.
constexpr double kDrawingReach = 1e20;

// An axis-aligned box; a new one is empty (minimum above maximum) until a point is added.
class AcDbExtents {
public:
    AcDbExtents();
    AcDbExtents(const AcGePoint3d& mn, const AcGePoint3d& mx) : min_(mn), max_(mx) {}
    const AcGePoint3d& minPoint() const { return min_; }
    const AcGePoint3d& maxPoint() const { return max_; }
    Acad::ErrorStatus set(const AcGePoint3d& mn, const AcGePoint3d& mx);
    void addPoint(const AcGePoint3d& p);
    void addExt(const AcDbExtents& e);
    bool isEmpty() const { return min_.x > max_.x; }
    void expandBy(const AcGeVector3d& v);
    void transformBy(const AcGeMatrix3d& m);

private:
    AcGePoint3d min_, max_;
};
