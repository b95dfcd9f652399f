/* Uses the installed C ABI: one first call of a run that the library must
 * refuse (an integer variable's start value is not whole: IFLAG 881), and
 * the text of that code. Exits with 0 only when both are as expected. */
#include <stdio.h>
#include <string.h>

#include <kestro.h>

int main(void) {
  int l = 1, o = 1, n = 1, ni = 1, m = 0, me = 0, iflag = 0, istop = 0, lpf = 1;
  int lrw = 120 * n + 20 * m + l * (m + 2 * o + 20) + o * (o + 20) + 4990;
  int liw = l + 3 * n + 990;
  static double rw[6000];
  static int iw[1000];
  double x = 0.5, f = 0, g = 0, xl = 0, xu = 1, pf = 0, param[13] = {0};
  const char* text;
  kestro_(&l, &o, &n, &ni, &m, &me, &x, &f, &g, &xl, &xu, &iflag, &istop, param, rw, &lrw, iw, &liw,
          &pf, &lpf);
  text = kestro_iflag_text(&iflag);
  printf("IFLAG %d: %s\n", iflag, text);
  return iflag == 881 && istop == 1 && strstr(text, "integer") != NULL ? 0 : 1;
}
