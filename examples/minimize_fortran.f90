! The caller's loop in Fortran: kestro_ takes every argument by reference, as
! Fortran passes them, so an interface block with its C name is all it takes.
!
!   minimise   F(x) = (x1 - 1)^2 + (x2 - 2)^2 + (x3 - 3)^2 + x4^2
!   subject to G1 = x1 + x2 + x3 + x4 - 6 = 0   (an equality)
!              G2 = 8 - x1^2 - x2^2 - x4 >= 0
!              -5 <= x1, x2 <= 5,  0 <= x3, x4 <= 10,  x3 and x4 integers
!
! The optimum is F = 0 at (1, 2, 3, 0).
program minimize_fortran
  use, intrinsic :: iso_c_binding, only: c_int, c_double
  implicit none

  interface
    subroutine kestro(l, o, n, ni, m, me, x, f, g, xl, xu, iflag, istop, param, &
                      rw, lrw, iw, liw, pf, lpf) bind(c, name="kestro_")
      import :: c_int, c_double
      integer(c_int), intent(in) :: l, o, n, ni, m, me, lrw, liw, lpf
      real(c_double), intent(inout) :: x(*), f(*), g(*), param(13), rw(*), pf(*)
      real(c_double), intent(in) :: xl(*), xu(*)
      integer(c_int), intent(inout) :: iflag, istop, iw(*)
    end subroutine kestro
  end interface

  integer(c_int), parameter :: l = 4, o = 1, n = 4, ni = 2, m = 2, me = 1
  integer(c_int), parameter :: lrw = 120*n + 20*m + l*(m + 2*o + 20) + o*(o + 20) + 4990
  integer(c_int), parameter :: liw = l + 3*n + 990, lpf = 1
  real(c_double) :: x(l*n), f(l*o), g(l*m), xl(n), xu(n), param(13), rw(lrw), pf(lpf)
  integer(c_int) :: iw(liw), iflag, istop, evaluations, i

  xl = [-5d0, -5d0, 0d0, 0d0]
  xu = [5d0, 5d0, 10d0, 10d0]
  do i = 1, l                      ! L start points, all the same here
    x((i - 1)*n + 1:i*n) = [0d0, 0d0, 5d0, 5d0]
  end do
  param = 0
  param(2) = 7           ! RANDOM-SEED
  iflag = 0
  istop = 0
  evaluations = 0

  ! The loop: evaluate the L points of the block, hand them over, repeat
  ! until ISTOP = 1. After 200000 evaluations IFLAG = -999 asks the next call
  ! to return the best point.
  do
    do i = 1, l
      call evaluate(x((i - 1)*n + 1:i*n), f(i:i), g((i - 1)*m + 1:i*m))
    end do
    evaluations = evaluations + l
    if (evaluations >= 200000) iflag = -999
    call kestro(l, o, n, ni, m, me, x, f, g, xl, xu, iflag, istop, param, &
                rw, lrw, iw, liw, pf, lpf)
    if (istop == 1) exit
  end do

  print '(a, i0, a, i0, a)', 'IFLAG ', iflag, ' after ', evaluations, ' evaluations'
  print '(a, 4f12.6)', 'x =', x(1:n)
  print '(a, es14.6, a, 2es14.6)', 'F =', f(1), '   G =', g(1:m)
  if (iflag >= 1 .and. iflag <= 7 .and. abs(f(1)) < 1d-3 .and. abs(g(1)) <= 1d-3 &
      .and. g(2) >= -1d-3) then
    print '(a)', 'found the optimum'
  else
    print '(a)', 'did not find the optimum'
    error stop 1
  end if

contains

  subroutine evaluate(x, f, g)
    real(c_double), intent(in) :: x(n)
    real(c_double), intent(out) :: f(1), g(m)
    f(1) = (x(1) - 1)**2 + (x(2) - 2)**2 + (x(3) - 3)**2 + x(4)**2
    g(1) = x(1) + x(2) + x(3) + x(4) - 6
    g(2) = 8 - x(1)**2 - x(2)**2 - x(4)
  end subroutine evaluate

end program minimize_fortran
