// Eigenvalues and eigenvectors of a real symmetric matrix: Householder
// reduction to tridiagonal form, then the QL algorithm with implicit shifts
// (the EISPACK procedures TRED2 and TQL2).  Matrices are n x n, column by
// column (element (i, j) at (i - 1) + n (j - 1)).
#pragma once

#include "keldana/model/model_store.h"

#include <array>
#include <span>

// Reduces the symmetric matrix (its lower triangle is read) to tridiagonal
// form: diagonal in d, sub-diagonal in e(2..n) (e(1) = 0), and the orthogonal
// transformation in the matrix.  d and e are 1-based views of n values each
// (d[0] is element 1).
void reduce_to_tridiagonal(int n, std::span<double> d, std::span<double> e, std::span<double> matrix);

// Eigenvalues of the tridiagonal matrix (d, e) into d in ascending order, the
// accumulated transformation in `matrix` turned into the eigenvectors
// (column k for eigenvalue k).  error_index 0 on success, l when eigenvalue l
// needed more than 30 iterations (values and vectors are then partial and
// unsorted).
void solve_tridiagonal_ql(int n, std::span<double> d, std::span<double> e, std::span<double> matrix,
                          int& error_index);

// The symmetric matrix is replaced by its orthonormal eigenvectors (columns),
// the eigenvalues are written in ascending order, `work` (n values) is
// destroyed.  error_index as above; -1 when n is below 1, a span is too
// short for n or the matrix holds a value that is not finite (nothing is
// changed then).
void solve_symmetric_eigenproblem(std::span<double> matrix, std::span<double> eigenvalues, std::span<double> work,
                                  int n, int& error_index);

// The 3 x 3 case of the Hessians: returns the error index.
int solve_symmetric_eigenproblem(Matrix3& matrix, std::array<double, 3>& eigenvalues);
