// hxwin: the desktop window of HX.
#include "u_main.h"

int main(int argc, char** argv) { return hx::hxwin_main(argc, argv); }
