// The shared library is assembled from the static parts linked into it.
