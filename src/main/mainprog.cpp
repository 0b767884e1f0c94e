// The program's main(): hands over to vx_main().

#include "vxmain.h"

int main(int argc, char **argv) { vx_main(argc, argv); }
