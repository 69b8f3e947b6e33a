#include "rav.h"
#include "rav_mpi.h"

// Under an MPI launcher the process joins the job first; run alone it is the whole run.
int main(int argc, char** argv) {
  rav_mpi_start(argc, argv);
  return rav_mpi_finish(RAV_VUZAV(argc, argv));
}
