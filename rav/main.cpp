#include "rav.h"

int main(int argc, char** argv) { return RAV_VUZAV(argc, argv); }
