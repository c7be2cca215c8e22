#include "cad/db/AcGe.h"

#include <algorithm>
#include <cmath>

AcGeTol AcGeContext::gTol;
const AcGeVector2d AcGeVector2d::kXAxis(1, 0), AcGeVector2d::kYAxis(0, 1);
const AcGePoint2d AcGePoint2d::kOrigin(0, 0);
const AcGeVector3d AcGeVector3d::kIdentity(0, 0, 0), AcGeVector3d::kXAxis(1, 0, 0), AcGeVector3d::kYAxis(0, 1, 0),
    AcGeVector3d::kZAxis(0, 0, 1);
const AcGePoint3d AcGePoint3d::kOrigin(0, 0, 0);
const AcGeMatrix3d AcGeMatrix3d::kIdentity;

double AcGeVector2d::angle() const {
    double a = std::atan2(y, x);
    return a < 0 ? a + 2 * M_PI : a;
}
AcGeVector2d AcGeVector2d::normal() const {
    double l = length();
    return l > 0 ? AcGeVector2d(x / l, y / l) : *this;
}
bool AcGeVector2d::isEqualTo(const AcGeVector2d& v, const AcGeTol& tol) const {
    return (*this - v).length() <= tol.equalVector();
}

AcGeVector3d AcGeVector3d::normal(const AcGeTol& tol) const {
    double l = length();
    return l > tol.equalVector() ? *this / l : *this;
}
double AcGeVector3d::angleTo(const AcGeVector3d& v) const {
    double c = crossProduct(v).length(), d = dotProduct(v);
    return std::atan2(c, d);
}
AcGeVector3d AcGeVector3d::perpVector() const {
    return acgeArbitraryXAxis(*this);
}
bool AcGeVector3d::isParallelTo(const AcGeVector3d& v, const AcGeTol& tol) const {
    AcGeVector3d a = normal(), b = v.normal();
    return a.crossProduct(b).length() <= tol.equalVector() * 10 && !a.isZeroLength() && !b.isZeroLength();
}
bool AcGeVector3d::isEqualTo(const AcGeVector3d& v, const AcGeTol& tol) const {
    return (*this - v).length() <= tol.equalVector();
}
AcGeVector3d& AcGeVector3d::transformBy(const AcGeMatrix3d& m) {
    return *this = m * *this;
}
AcGePoint3d& AcGePoint3d::transformBy(const AcGeMatrix3d& m) {
    return *this = m * *this;
}

bool AcGeScale3d::isEqualTo(const AcGeScale3d& o, const AcGeTol& tol) const {
    return std::abs(sx - o.sx) <= tol.equalPoint() && std::abs(sy - o.sy) <= tol.equalPoint() &&
           std::abs(sz - o.sz) <= tol.equalPoint();
}

AcGeMatrix3d::AcGeMatrix3d() {
    setToIdentity();
}

AcGeMatrix3d& AcGeMatrix3d::setToIdentity() {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) entry[r][c] = r == c ? 1.0 : 0.0;
    return *this;
}

bool AcGeMatrix3d::isEqualTo(const AcGeMatrix3d& m, const AcGeTol& tol) const {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            if (std::abs(entry[r][c] - m.entry[r][c]) > tol.equalVector()) return false;
    return true;
}

AcGeMatrix3d AcGeMatrix3d::operator*(const AcGeMatrix3d& m) const {
    AcGeMatrix3d out;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            double s = 0;
            for (int k = 0; k < 4; ++k) s += entry[r][k] * m.entry[k][c];
            out.entry[r][c] = s;
        }
    return out;
}

AcGePoint3d operator*(const AcGeMatrix3d& m, const AcGePoint3d& p) {
    const auto& e = m.entry;
    double x = e[0][0] * p.x + e[0][1] * p.y + e[0][2] * p.z + e[0][3];
    double y = e[1][0] * p.x + e[1][1] * p.y + e[1][2] * p.z + e[1][3];
    double z = e[2][0] * p.x + e[2][1] * p.y + e[2][2] * p.z + e[2][3];
    double w = e[3][0] * p.x + e[3][1] * p.y + e[3][2] * p.z + e[3][3];
    if (w != 1.0 && w != 0.0) {
        x /= w;
        y /= w;
        z /= w;
    }
    return {x, y, z};
}

AcGeVector3d operator*(const AcGeMatrix3d& m, const AcGeVector3d& v) {
    const auto& e = m.entry;
    return {e[0][0] * v.x + e[0][1] * v.y + e[0][2] * v.z, e[1][0] * v.x + e[1][1] * v.y + e[1][2] * v.z,
            e[2][0] * v.x + e[2][1] * v.y + e[2][2] * v.z};
}

double AcGeMatrix3d::det() const {
    // Full 4x4 determinant by cofactor expansion over row 0 of 3x3 minors.
    const auto& m = entry;
    auto det3 = [&](int r0, int r1, int r2, int c0, int c1, int c2) {
        return m[r0][c0] * (m[r1][c1] * m[r2][c2] - m[r1][c2] * m[r2][c1]) -
               m[r0][c1] * (m[r1][c0] * m[r2][c2] - m[r1][c2] * m[r2][c0]) +
               m[r0][c2] * (m[r1][c0] * m[r2][c1] - m[r1][c1] * m[r2][c0]);
    };
    return m[0][0] * det3(1, 2, 3, 1, 2, 3) - m[0][1] * det3(1, 2, 3, 0, 2, 3) + m[0][2] * det3(1, 2, 3, 0, 1, 3) -
           m[0][3] * det3(1, 2, 3, 0, 1, 2);
}

bool AcGeMatrix3d::inverse(AcGeMatrix3d& result, double tol) const {
    double a[4][8];
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 8; ++c) a[r][c] = c < 4 ? entry[r][c] : (c - 4 == r ? 1.0 : 0.0);
    for (int col = 0; col < 4; ++col) {
        int piv = col;
        for (int r = col + 1; r < 4; ++r)
            if (std::abs(a[r][col]) > std::abs(a[piv][col])) piv = r;
        if (std::abs(a[piv][col]) <= tol) return false;
        if (piv != col)
            for (int c = 0; c < 8; ++c) std::swap(a[piv][c], a[col][c]);
        double d = a[col][col];
        for (int c = 0; c < 8; ++c) a[col][c] /= d;
        for (int r = 0; r < 4; ++r) {
            if (r == col) continue;
            double f = a[r][col];
            if (f == 0) continue;
            for (int c = 0; c < 8; ++c) a[r][c] -= f * a[col][c];
        }
    }
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) result.entry[r][c] = a[r][c + 4];
    return true;
}

AcGeMatrix3d AcGeMatrix3d::inverse() const {
    AcGeMatrix3d r;
    if (!inverse(r, 1e-300)) r.setToIdentity();
    return r;
}

bool AcGeMatrix3d::isSingular(const AcGeTol& tol) const {
    AcGeMatrix3d r;
    return !inverse(r, tol.equalPoint() * 1e-6);
}

AcGeMatrix3d AcGeMatrix3d::transpose() const {
    AcGeMatrix3d t;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) t.entry[r][c] = entry[c][r];
    return t;
}

bool AcGeMatrix3d::isScaledOrtho(const AcGeTol& tol) const {
    if (entry[3][0] != 0 || entry[3][1] != 0 || entry[3][2] != 0 || entry[3][3] != 1) return false;
    AcGeVector3d x(entry[0][0], entry[1][0], entry[2][0]), y(entry[0][1], entry[1][1], entry[2][1]),
        z(entry[0][2], entry[1][2], entry[2][2]);
    double lx = x.length(), ly = y.length(), lz = z.length();
    if (lx <= tol.equalVector() || ly <= tol.equalVector() || lz <= tol.equalVector()) return false;
    double eps = 1e-9;
    return std::abs(x.dotProduct(y)) <= eps * lx * ly && std::abs(y.dotProduct(z)) <= eps * ly * lz &&
           std::abs(x.dotProduct(z)) <= eps * lx * lz;
}

bool AcGeMatrix3d::isUniScaledOrtho(const AcGeTol& tol) const {
    if (!isScaledOrtho(tol)) return false;
    double lx = AcGeVector3d(entry[0][0], entry[1][0], entry[2][0]).length();
    double ly = AcGeVector3d(entry[0][1], entry[1][1], entry[2][1]).length();
    double lz = AcGeVector3d(entry[0][2], entry[1][2], entry[2][2]).length();
    double eps = 1e-9 * std::max({lx, ly, lz});
    return std::abs(lx - ly) <= eps && std::abs(ly - lz) <= eps;
}

double AcGeMatrix3d::scale() const {
    double lx = AcGeVector3d(entry[0][0], entry[1][0], entry[2][0]).length();
    double ly = AcGeVector3d(entry[0][1], entry[1][1], entry[2][1]).length();
    double lz = AcGeVector3d(entry[0][2], entry[1][2], entry[2][2]).length();
    return std::max({lx, ly, lz});
}

AcGeMatrix3d& AcGeMatrix3d::setToTranslation(const AcGeVector3d& v) {
    setToIdentity();
    entry[0][3] = v.x;
    entry[1][3] = v.y;
    entry[2][3] = v.z;
    return *this;
}

AcGeMatrix3d& AcGeMatrix3d::setToRotation(double angle, const AcGeVector3d& axisIn, const AcGePoint3d& center) {
    AcGeVector3d a = axisIn.normal();
    double c = std::cos(angle), s = std::sin(angle), t = 1 - c;
    setToIdentity();
    entry[0][0] = t * a.x * a.x + c;
    entry[0][1] = t * a.x * a.y - s * a.z;
    entry[0][2] = t * a.x * a.z + s * a.y;
    entry[1][0] = t * a.x * a.y + s * a.z;
    entry[1][1] = t * a.y * a.y + c;
    entry[1][2] = t * a.y * a.z - s * a.x;
    entry[2][0] = t * a.x * a.z - s * a.y;
    entry[2][1] = t * a.y * a.z + s * a.x;
    entry[2][2] = t * a.z * a.z + c;
    // Keep the centre fixed: p' = R(p - c) + c.
    AcGeVector3d cv = center.asVector();
    AcGeVector3d rc = *this * cv;
    entry[0][3] = cv.x - rc.x;
    entry[1][3] = cv.y - rc.y;
    entry[2][3] = cv.z - rc.z;
    return *this;
}

AcGeMatrix3d& AcGeMatrix3d::setToScaling(double s, const AcGePoint3d& center) {
    return setToScaling(AcGeScale3d(s), center);
}

AcGeMatrix3d& AcGeMatrix3d::setToScaling(const AcGeScale3d& s, const AcGePoint3d& center) {
    setToIdentity();
    entry[0][0] = s.sx;
    entry[1][1] = s.sy;
    entry[2][2] = s.sz;
    entry[0][3] = center.x * (1 - s.sx);
    entry[1][3] = center.y * (1 - s.sy);
    entry[2][3] = center.z * (1 - s.sz);
    return *this;
}

AcGeMatrix3d& AcGeMatrix3d::setToMirroring(const AcGePoint3d& p) {
    setToScaling(-1.0, p);
    return *this;
}

AcGeMatrix3d& AcGeMatrix3d::setCoordSystem(const AcGePoint3d& o, const AcGeVector3d& x, const AcGeVector3d& y,
                                           const AcGeVector3d& z) {
    setToIdentity();
    for (int r = 0; r < 3; ++r) {
        entry[r][0] = x[r];
        entry[r][1] = y[r];
        entry[r][2] = z[r];
        entry[r][3] = o[r];
    }
    return *this;
}

void AcGeMatrix3d::getCoordSystem(AcGePoint3d& o, AcGeVector3d& x, AcGeVector3d& y, AcGeVector3d& z) const {
    for (int r = 0; r < 3; ++r) {
        x[r] = entry[r][0];
        y[r] = entry[r][1];
        z[r] = entry[r][2];
        o[r] = entry[r][3];
    }
}

AcGeMatrix3d& AcGeMatrix3d::setToAlignCoordSys(const AcGePoint3d& fo, const AcGeVector3d& fx, const AcGeVector3d& fy,
                                               const AcGeVector3d& fz, const AcGePoint3d& to, const AcGeVector3d& tx,
                                               const AcGeVector3d& ty, const AcGeVector3d& tz) {
    AcGeMatrix3d from, toM;
    from.setCoordSystem(fo, fx, fy, fz);
    toM.setCoordSystem(to, tx, ty, tz);
    return *this = toM * from.inverse();
}

AcGeVector3d acgeArbitraryXAxis(const AcGeVector3d& nIn) {
    AcGeVector3d n = nIn.normal();
    const double lim = 1.0 / 64.0;
    AcGeVector3d ax = (std::abs(n.x) < lim && std::abs(n.y) < lim) ? AcGeVector3d::kYAxis.crossProduct(n)
                                                                   : AcGeVector3d::kZAxis.crossProduct(n);
    return ax.normal();
}

AcGeMatrix3d& AcGeMatrix3d::setToPlaneToWorld(const AcGeVector3d& normal) {
    // The world plane, where nearly everything lies: what the arbitrary axis rule gives there.
    if (normal.x == 0.0 && normal.y == 0.0 && normal.z == 1.0) return setToIdentity();
    AcGeVector3d z = normal.normal();
    if (z.isZeroLength()) z = AcGeVector3d::kZAxis;
    AcGeVector3d x = acgeArbitraryXAxis(z);
    AcGeVector3d y = z.crossProduct(x).normal();
    return setCoordSystem(AcGePoint3d::kOrigin, x, y, z);
}

AcGeMatrix3d& AcGeMatrix3d::setToWorldToPlane(const AcGeVector3d& normal) {
    setToPlaneToWorld(normal);
    return *this = transpose();
}

AcGeMatrix3d AcGeMatrix3d::translation(const AcGeVector3d& v) {
    return AcGeMatrix3d().setToTranslation(v);
}
AcGeMatrix3d AcGeMatrix3d::rotation(double a, const AcGeVector3d& axis, const AcGePoint3d& c) {
    return AcGeMatrix3d().setToRotation(a, axis, c);
}
AcGeMatrix3d AcGeMatrix3d::scaling(double s, const AcGePoint3d& c) {
    return AcGeMatrix3d().setToScaling(s, c);
}
AcGeMatrix3d AcGeMatrix3d::scaling(const AcGeScale3d& s, const AcGePoint3d& c) {
    return AcGeMatrix3d().setToScaling(s, c);
}
AcGeMatrix3d AcGeMatrix3d::mirroring(const AcGePoint3d& p) {
    return AcGeMatrix3d().setToMirroring(p);
}
AcGeMatrix3d AcGeMatrix3d::alignCoordSys(const AcGePoint3d& fo, const AcGeVector3d& fx, const AcGeVector3d& fy,
                                         const AcGeVector3d& fz, const AcGePoint3d& to, const AcGeVector3d& tx,
                                         const AcGeVector3d& ty, const AcGeVector3d& tz) {
    return AcGeMatrix3d().setToAlignCoordSys(fo, fx, fy, fz, to, tx, ty, tz);
}
AcGeMatrix3d AcGeMatrix3d::planeToWorld(const AcGeVector3d& n) {
    return AcGeMatrix3d().setToPlaneToWorld(n);
}
AcGeMatrix3d AcGeMatrix3d::worldToPlane(const AcGeVector3d& n) {
    return AcGeMatrix3d().setToWorldToPlane(n);
}

AcDbExtents::AcDbExtents()
    : min_(kDrawingReach, kDrawingReach, kDrawingReach), max_(-kDrawingReach, -kDrawingReach, -kDrawingReach) {}

Acad::ErrorStatus AcDbExtents::set(const AcGePoint3d& mn, const AcGePoint3d& mx) {
    if (mn.x > mx.x || mn.y > mx.y || mn.z > mx.z) return Acad::eInvalidExtents;
    min_ = mn;
    max_ = mx;
    return Acad::eOk;
}

void AcDbExtents::addPoint(const AcGePoint3d& p) {
    min_.set(std::min(min_.x, p.x), std::min(min_.y, p.y), std::min(min_.z, p.z));
    max_.set(std::max(max_.x, p.x), std::max(max_.y, p.y), std::max(max_.z, p.z));
}

void AcDbExtents::addExt(const AcDbExtents& e) {
    if (e.isEmpty()) return;
    addPoint(e.min_);
    addPoint(e.max_);
}

void AcDbExtents::expandBy(const AcGeVector3d& v) {
    if (isEmpty()) return;
    addPoint(min_ + v);
    addPoint(max_ + v);
}

void AcDbExtents::transformBy(const AcGeMatrix3d& m) {
    if (isEmpty()) return;
    AcDbExtents out;
    for (int i = 0; i < 8; ++i) {
        AcGePoint3d p((i & 1) ? max_.x : min_.x, (i & 2) ? max_.y : min_.y, (i & 4) ? max_.z : min_.z);
        out.addPoint(m * p);
    }
    *this = out;
}
