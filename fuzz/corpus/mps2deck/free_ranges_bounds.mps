NAME small
ROWS
 N obj
 L c1
 G c2
 E c3
COLUMNS
 x obj 1 c1 2
 x c2 1
 y obj -1 c1 1
 y c3 1
 z c2 3 c3 -1
RHS
 rhs c1 10 c2 2
 rhs c3 1
RANGES
 rng c1 4
BOUNDS
 UP bnd x 4
 LO bnd y -2
 FR bnd z
ENDATA
