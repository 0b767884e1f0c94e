#include "vxmain.h"

int main(int argc, char **argv) { vx_main(argc, argv); }
