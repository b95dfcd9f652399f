#include "kernel/archive.hpp"

#include <cmath>
#include <cstring>

#include "core/preset_names.hpp"
#include "kernel/preset_state.hpp"

namespace kestro::kernel {

double oracle_penalty(double f, double res, double omega, double acc) {
  const double d = f - omega;
  if (f <= omega) return res <= acc ? d : res;
  if (res <= d) return res * res / (2 * d) + d - res * 0.5;
  return d * d / (2 * res) + res - d * 0.5;
}

bool archive_fits(ConstRealView rw, const ArchivePositions& archive, Index k) {
  if (k <= 0 || archive.n < 0) return false;
  if (archive.n > 0 && !rw.holds(archive.x(1, 1), archive.n * k)) return false;
  return rw.holds(archive.f(1), k) && rw.holds(archive.res(1), k) && rw.holds(archive.pen(1), k);
}

namespace {

// Moves members first .. k-1 (points, F, residuals and penalties) one place
// down, over members first+1 .. k, each range in one block move. The caller
// has checked that the archive of k members lies inside RW.
void shift_members_down(RealView rw, const ArchivePositions& a, Index first, Index k) {
  const Index count = k - first;
  if (count <= 0) return;
  // RW(from .. from+length-1) to RW(from+by ..).
  auto move_down = [&](Index from, Index length, Index by) {
    double* p = rw.data() + (from - 1);
    std::memmove(p + by, p, static_cast<std::size_t>(length) * sizeof(double));
  };
  if (a.n > 0) move_down(a.x(first, 1), count * a.n, a.n);
  move_down(a.f(first), count, 1);
  move_down(a.res(first), count, 1);
  move_down(a.pen(first), count, 1);
}

void write_member(RealView rw, const ArchivePositions& a, Index member, ConstRealView xp, double fp,
                  double resp, double penp) {
  for (Index i = 1; i <= a.n; ++i) rw[a.x(member, i)] = xp[i];
  rw[a.f(member)] = fp;
  rw[a.res(member)] = resp;
  rw[a.pen(member)] = penp;
}

}  // namespace

Index insert_into_archive(RealView rw, const ArchivePositions& archive, Index k, ConstRealView xp,
                          double fp, double resp, double penp) {
  if (!archive_fits(rw, archive, k) || !xp.holds(1, archive.n)) return 0;
  // Only a point strictly better than the worst member gets in; written as
  // "not below" so that a NaN on either side refuses the point too.
  if (!(penp < rw[archive.pen(k)])) return 0;

  Index position = k;
  while (position > 1 && rw[archive.pen(position - 1)] >= penp) position = position - 1;

  shift_members_down(rw, archive, position, k);
  write_member(rw, archive, position, xp, fp, resp, penp);
  return position;
}

bool accept_locally(RealView rw, const ArchivePositions& archive, IntView iw, Index l, Index i,
                    ConstRealView xp, double fp, double resp, double penp, ConstIntView preset_i) {
  bool accepted = false;
  if (archive_fits(rw, archive, 1) && xp.holds(1, archive.n)) {
    const double t =
        std::pow(10.0,
                 static_cast<double>(preset(preset_i, PresetInteger::kLocalAcceptanceExponent))) +
        static_cast<double>(archive.n);
    const double ref_res = rw[archive.res(1)];
    if (resp > 0 || ref_res > 0) {
      const double p1 = rw[archive.pen(1)];
      accepted = penp < p1 - std::fabs(p1) / t;
    } else {
      const double f1 = rw[archive.f(1)];
      accepted = fp < f1 - std::fabs(f1) / t;
    }
    if (accepted) write_member(rw, archive, 1, xp, fp, resp, penp);
  }

  const Index flag = iw_cell::local_acceptance(i);
  if (iw.holds(flag)) iw[flag] = accepted ? 1 : 0;

  if (i == l) {
    int any = 0;
    for (Index p = 1; p <= l; ++p) {
      const Index cell = iw_cell::local_acceptance(p);
      if (!iw.holds(cell)) break;
      if (iw[cell] == 1) any = 1;
    }
    if (iw.holds(iw_cell::kBlockImproved)) iw[iw_cell::kBlockImproved] = any;
  }
  return accepted;
}

}  // namespace kestro::kernel
