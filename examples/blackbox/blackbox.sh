#!/bin/sh
# A black box for kestro-run: a constrained mixed-integer problem.
# $1 is a file holding the point "x y k" on one line. Prints the objective,
# then the constraint value (feasible when >= 0):
#   f = (x - 1)^2 + (y - 2)^2 + (k - 4)^2
#   g = 5 - x - y - k >= 0
# The optimum is x = 0.5, y = 1.5, k = 3 with f = 1.5.
exec awk '{ f = ($1 - 1)^2 + ($2 - 2)^2 + ($3 - 4)^2; g = 5 - $1 - $2 - $3;
            printf "%.17g %.17g\n", f, g }' "$1"
