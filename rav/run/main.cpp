#include "rav.h"
#include "rav_mpi.h"
#include "rav_safe_output.h"

// Under an MPI launcher the process joins the job first; run alone it is the whole run. A run
// stopped by SIGINT, SIGTERM or SIGHUP removes the files it was writing.
int main(int argc, char** argv) {
  rav_standard_streams();
  rav_mpi_start(argc, argv);
  rav_remove_files_on_signals();
  return rav_mpi_finish(RAV_VUZAV(argc, argv));
}
